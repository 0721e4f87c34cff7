#pragma once
// The program's own traces in the system: the entry in the list of installed programs, the
// start-menu shortcuts, and the uninstaller that removes both and has the files deleted at the
// next restart. The user's settings are left alone.
#include "common/CString.h"

#include <windows.h>

#include <functional>
#include <shlobj.h>
#include <vector>

// Where the traces go. Each pair is tried in order, machine-wide first: a standard user cannot
// write the machine-wide places, so the user's own are the fallback (and are cleaned too).
// The real run takes everything from the system (SystemInstallPlaces); tests point the places
// at folders and keys they own.
struct InstallPlaces {
    CString program;                        // the program file's full path
    HKEY registryRoots[2] = {};             // the uninstall key goes under one of these
    CString startMenus[2];                  // "" when it cannot be located
    CString programsFolders[2];             // idem
    // Has the paths (files first, the folder last) deleted at the next restart; false when
    // the system would not take them all.
    std::function<bool(const std::vector<CString>& paths)> scheduleDeletion;
};

InstallPlaces SystemInstallPlaces();

// Writes the uninstall entry (rewritten at every start, so it follows a moved program).
void registerUninstaller(const InstallPlaces& places);
// The start-menu shortcut and the program folder's four; COM must be initialised.
void createShortcuts(const InstallPlaces& places);
// Deletes the shortcuts in every place; false when one that exists could not be deleted.
bool removeShortcuts(const InstallPlaces& places);
HRESULT makeShortcut(IShellLinkA* link, const CString& target, const char* description,
                     const CString& shortcutPath, const char* arguments);
// Asks, then removes the entry and the shortcuts and schedules the files; says what was done.
// Returns the exit code: -1 when the user declined (nothing changed), 0 otherwise.
int uninstall(const InstallPlaces& places);

// The older platforms' (95, 98, Me) boot-time deletion list: appends a "NUL=" line with the
// short form of each path to the "[rename]" section of the file at iniPath, adding the section
// when the file has none. Paths without a short form (absent files) are skipped.
bool AppendBootDeletions(const CString& iniPath, const std::vector<CString>& paths);

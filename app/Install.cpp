#include "app/Install.h"

#include <algorithm>
#include <cctype>
#include <string>

namespace {

const char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tarnwick2";
const char kProgramFolderName[] = "\\Tarnwick2";

struct ProgramShortcut {
    const char* file;
    const char* target; // in the program's folder
    const char* description;
    const char* arguments;
};
const ProgramShortcut kProgramShortcuts[] = {
    {"\\Tarnwick2.lnk", "Tarnwick2.exe", "Tarnwick2", ""},
    {"\\Readme.lnk", "Readme.txt", "Readme", ""},
    {"\\help.lnk", "main.htm", "Help", ""},
    {"\\UninstallMe.lnk", "Tarnwick2.exe", "UninstallMe", "-U"},
};

// The program's folder with its trailing backslash ("" when the path has none).
CString programFolder(const CString& program) {
    return program.Left(program.ReverseFind('\\') + 1);
}

CString shellFolder(int csidl) {
    LPITEMIDLIST list = nullptr;
    if (FAILED(SHGetSpecialFolderLocation(nullptr, csidl, &list)) || !list)
        return CString();
    char path[MAX_PATH] = "";
    BOOL found = SHGetPathFromIDListA(list, path);
    CoTaskMemFree(list);
    return found ? CString(path) : CString();
}

bool setText(HKEY key, const char* name, const CString& value) {
    return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>(value.size() + 1)) == ERROR_SUCCESS;
}

bool writeUninstallEntry(HKEY root, const CString& program) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(root, kUninstallKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE,
                        nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    // Quoted: under "C:\Program Files\..." the system would otherwise try "C:\Program" first.
    bool written = setText(key, "UninstallString", "\"" + program + "\" -U") &&
                   setText(key, "DisplayName", "Tarnwick2");
    RegCloseKey(key);
    return written;
}

IShellLinkA* newShellLink() {
    IShellLinkA* link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                reinterpret_cast<void**>(&link))))
        return nullptr;
    return link;
}

// A file that is gone, or was never there, counts as deleted.
bool deleteIfThere(const CString& path) {
    return DeleteFileA(path.c_str()) || GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES;
}

bool deleteProgramFolder(const CString& folder) {
    bool clean = true;
    for (const ProgramShortcut& shortcut : kProgramShortcuts)
        clean = deleteIfThere(folder + shortcut.file) && clean;
    RemoveDirectoryA(folder.c_str()); // only when nothing else is in it
    return clean;
}

bool makeProgramFolder(IShellLinkA* link, const CString& programs, const CString& program) {
    const CString folder = programs + kProgramFolderName;
    if (!CreateDirectoryA(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
        return false;
    bool complete = true;
    for (const ProgramShortcut& shortcut : kProgramShortcuts)
        complete = SUCCEEDED(makeShortcut(link, programFolder(program) + shortcut.target,
                                          shortcut.description, folder + shortcut.file,
                                          shortcut.arguments)) &&
                   complete;
    // Half a folder here and a whole one in the next place would leave doubled entries.
    if (!complete)
        deleteProgramFolder(folder);
    return complete;
}

bool scheduleWithSystem(const std::vector<CString>& paths) {
    if (GetVersion() & 0x80000000) {
        char system[MAX_PATH] = "";
        UINT length = GetSystemDirectoryA(system, MAX_PATH);
        if (length == 0 || length >= MAX_PATH)
            return false;
        return AppendBootDeletions(programFolder(system) + "Wininit.ini", paths);
    }
    bool all = true;
    for (const CString& path : paths) {
        // A file that was never installed needs no deleting.
        if (!MoveFileExA(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) &&
            GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES)
            all = false;
    }
    return all;
}

} // namespace

InstallPlaces SystemInstallPlaces() {
    InstallPlaces places;
    char path[MAX_PATH] = "";
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (length > 0 && length < MAX_PATH)
        places.program = CString(path, length);
    places.registryRoots[0] = HKEY_LOCAL_MACHINE;
    places.registryRoots[1] = HKEY_CURRENT_USER;
    places.startMenus[0] = shellFolder(CSIDL_COMMON_STARTMENU);
    places.startMenus[1] = shellFolder(CSIDL_STARTMENU);
    places.programsFolders[0] = shellFolder(CSIDL_COMMON_PROGRAMS);
    places.programsFolders[1] = shellFolder(CSIDL_PROGRAMS);
    places.scheduleDeletion = scheduleWithSystem;
    return places;
}

void registerUninstaller(const InstallPlaces& places) {
    if (places.program.empty())
        return;
    for (HKEY root : places.registryRoots) {
        if (root && writeUninstallEntry(root, places.program))
            return;
    }
}

HRESULT makeShortcut(IShellLinkA* link, const CString& target, const char* description,
                     const CString& shortcutPath, const char* arguments) {
    IPersistFile* file = nullptr;
    HRESULT result = link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
    if (FAILED(result))
        return result;
    link->SetPath(target.c_str());
    link->SetDescription(description);
    // Always set, also when empty: a link object used again must not keep earlier arguments.
    link->SetArguments(arguments);
    WCHAR wide[MAX_PATH];
    if (MultiByteToWideChar(CP_ACP, 0, shortcutPath.c_str(), -1, wide, MAX_PATH) == 0)
        result = E_INVALIDARG;
    else
        result = file->Save(wide, TRUE);
    file->Release();
    return result;
}

void createShortcuts(const InstallPlaces& places) {
    IShellLinkA* link = newShellLink();
    if (!link)
        return;
    for (const CString& menu : places.startMenus) {
        if (!menu.empty() && SUCCEEDED(makeShortcut(link, places.program, "Tarnwick2",
                                                    menu + "\\Tarnwick2.lnk", "")))
            break;
    }
    for (const CString& programs : places.programsFolders) {
        if (!programs.empty() && makeProgramFolder(link, programs, places.program))
            break;
    }
    link->Release();
}

bool removeShortcuts(const InstallPlaces& places) {
    bool clean = true;
    for (const CString& menu : places.startMenus) {
        if (!menu.empty())
            clean = deleteIfThere(menu + "\\Tarnwick2.lnk") && clean;
    }
    for (const CString& programs : places.programsFolders) {
        if (!programs.empty())
            clean = deleteProgramFolder(programs + kProgramFolderName) && clean;
    }
    return clean;
}

int uninstall(const InstallPlaces& places) {
    if (MessageBoxA(nullptr,
                    "Tarnwick2 is about to uninstall.\r\n\r\nAre you sure you want to do this?",
                    "Tarnwick2", MB_YESNO | MB_ICONQUESTION) != IDYES)
        return -1;
    bool entryLeft = false;
    for (HKEY root : places.registryRoots) {
        HKEY there = nullptr;
        if (!root || RegOpenKeyExA(root, kUninstallKey, 0, KEY_READ, &there) != ERROR_SUCCESS)
            continue;
        RegCloseKey(there);
        if (RegDeleteKeyA(root, kUninstallKey) != ERROR_SUCCESS)
            entryLeft = true;
    }
    bool shortcutsLeft = !removeShortcuts(places);

    const CString folder = programFolder(places.program);
    const CString bareFolder = folder.Left(folder.GetLength() - 1);
    std::vector<CString> paths = {places.program,
                                  folder + "Readme.txt",
                                  folder + "account_details_dialog.htm",
                                  folder + "account_manager_dialog.htm",
                                  folder + "tarnwick_error_dialog.htm",
                                  folder + "main.htm",
                                  bareFolder};
    bool scheduled = places.scheduleDeletion && places.scheduleDeletion(paths);

    CString report;
    if (entryLeft)
        report += "The entry in the list of installed programs could not be removed; an "
                  "administrator can remove it.\r\n\r\n";
    if (shortcutsLeft)
        report += "Some start-menu shortcuts of Tarnwick2 could not be removed.\r\n\r\n";
    if (scheduled)
        report += "You must restart your machine to complete the uninstall";
    else
        report += "The program's files could not be scheduled for deletion at the next restart. "
                  "Once Tarnwick2 has closed, you can delete its folder yourself:\r\n\r\n" +
                  bareFolder;
    MessageBoxA(nullptr, report.c_str(), "Tarnwick2", MB_OK);
    return 0;
}

bool AppendBootDeletions(const CString& iniPath, const std::vector<CString>& paths) {
    HANDLE file = CreateFileA(iniPath.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_RANDOM_ACCESS, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    char start[10000];
    DWORD got = 0;
    bool ok = ReadFile(file, start, sizeof start, &got, nullptr) != 0;
    std::string head(start, got);
    std::transform(head.begin(), head.end(), head.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    CString text;
    if (head.find("[rename]") == std::string::npos) {
        // A last line without its line end would run into the header.
        char last = '\n';
        DWORD one = 0;
        if (SetFilePointer(file, -1, nullptr, FILE_END) != INVALID_SET_FILE_POINTER)
            ReadFile(file, &last, 1, &one, nullptr);
        if (one == 1 && last != '\n')
            text += "\r\n";
        text += "[rename]\r\n";
    }
    for (const CString& path : paths) {
        char shortPath[MAX_PATH];
        DWORD length = GetShortPathNameA(path.c_str(), shortPath, MAX_PATH);
        if (length > 0 && length < MAX_PATH)
            text += "NUL=" + CString(shortPath, length) + "\r\n";
    }
    DWORD written = 0;
    ok = ok && SetFilePointer(file, 0, nullptr, FILE_END) != INVALID_SET_FILE_POINTER &&
         WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
         written == text.size();
    ok = FlushFileBuffers(file) && ok;
    CloseHandle(file);
    return ok;
}

#include "settings/IniFile.h"
#include "settings/Prefs.h"

#include "common/Files.h"

// Without a registry the sections stay in the file itself.
void RegisterPrefSection(const char*) {}

namespace prefstore {

bool Read(const CString& path, const char* section, const char* key, CString& value) {
    std::string text;
    if (!files::ReadAll(path, text))
        return false;
    std::string found;
    if (!CIniFile(text).Get(section, key, found))
        return false;
    value = found;
    return true;
}

void Write(const CString& path, const char* section, const char* key, const char* value) {
    std::string text;
    if (files::Exists(path) && !files::ReadAll(path, text))
        return; // never replace a file we could not read: it holds the user's accounts
    CIniFile ini(text);
    ini.Set(section, key, value);
    files::WriteAllAtomic(path, ini.Text());
}

} // namespace prefstore

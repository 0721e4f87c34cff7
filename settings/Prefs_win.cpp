#include "settings/Prefs.h"

#include <windows.h>

#include <cstdio>
#include <vector>

void RegisterPrefSection(const char* section) {
    HKEY mapping = nullptr;
    DWORD disposition = 0;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE,
                        "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\IniFileMapping\\"
                        "Tarnwick2.ini",
                        0, nullptr, 0, KEY_WRITE, nullptr, &mapping,
                        &disposition) != ERROR_SUCCESS) {
        printf("Error in creating appname.ini key\n");
        return;
    }
    CString data = CString("USR:Tarnwick2\\") + section;
    LONG set = RegSetValueExA(mapping, section, 0, REG_SZ,
                              reinterpret_cast<const BYTE*>(data.c_str()),
                              static_cast<DWORD>(data.size()));
    RegCloseKey(mapping);
    if (set != ERROR_SUCCESS) {
        printf("Error in setting Section1 value\n");
        return;
    }
    HKEY user = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, "Tarnwick2", 0, nullptr, 0, KEY_WRITE, nullptr, &user,
                        &disposition) != ERROR_SUCCESS) {
        printf("Error in creating App Name key\n");
        return;
    }
    RegCloseKey(user);
    WritePrivateProfileStringW(nullptr, nullptr, nullptr, L"Tarnwick2.ini");
}

namespace prefstore {

bool Read(const CString& path, const char* section, const char* key, CString& value) {
    // Two different defaults tell an absent key from a present one without a second file.
    std::vector<char> buffer(kMaxPrefText + 1);
    const DWORD size = static_cast<DWORD>(buffer.size());
    DWORD n = GetPrivateProfileStringA(section, key, "\x01", buffer.data(), size, path.c_str());
    if (n == 1 && buffer[0] == '\x01') {
        n = GetPrivateProfileStringA(section, key, "\x02", buffer.data(), size, path.c_str());
        if (n == 1 && buffer[0] == '\x02')
            return false;
    }
    value.assign(buffer.data(), n);
    return true;
}

void Write(const CString& path, const char* section, const char* key, const char* value) {
    WritePrivateProfileStringA(section, key, value, path.c_str());
}

} // namespace prefstore

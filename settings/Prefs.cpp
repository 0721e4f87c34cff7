#include "settings/Prefs.h"

#include "common/Files.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

CString GetPrefFilePath() {
    const char* over = getenv("TARNWICK2_INI");
    if (over && *over)
        return CString(over);
#ifdef _WIN32
    const char* appData = getenv("APPDATA");
    CString base = appData && *appData ? CString(appData) : CString(".");
    return base + "\\Tarnwick2\\Tarnwick2.ini";
#else
    const char* xdg = getenv("XDG_CONFIG_HOME");
    CString base;
    if (xdg && *xdg) {
        base = xdg;
    } else {
        const char* home = getenv("HOME");
        base = CString(home && *home ? home : ".") + "/.config";
    }
    return base + "/tarnwick2/Tarnwick2.ini";
#endif
}

CString GetPrefString(const char* section, const char* key, const char* defaultText) {
    CString value;
    if (!section || !key || !prefstore::Read(GetPrefFilePath(), section, key, value))
        return CString(defaultText);
    return value.Left(kMaxPrefText);
}

int ParsePrefInt(const char* text) {
    if (!text)
        return 0;
    while (*text == ' ' || *text == '\t')
        ++text;
    bool negative = false;
    if (*text == '-' || *text == '+')
        negative = *text++ == '-';
    long long value = 0;
    while (*text >= '0' && *text <= '9') {
        value = value * 10 + (*text++ - '0');
        if (value > 0x7fffffffLL + 1)
            value = 0x7fffffffLL + 1; // saturate; the stored texts are short anyway
    }
    if (negative)
        value = -value;
    if (value > 0x7fffffffLL)
        value = 0x7fffffffLL;
    return static_cast<int>(value);
}

int GetPrefInt(const char* section, const char* key, int defaultValue) {
    CString text = GetPrefString(section, key, "");
    if (text.empty())
        return defaultValue;
    return ParsePrefInt(text.c_str());
}

// Keys and values are single lines of the file: a line break inside one would split it and
// change what every later reader sees.
static CString oneLine(const char* text) {
    CString out(text);
    out.erase(std::remove_if(out.begin(), out.end(),
                             [](char c) { return c == '\r' || c == '\n' || c == '\0'; }),
              out.end());
    return out;
}

static bool needsQuotes(const CString& value) {
    auto special = [](char c) { return c == ' ' || c == '\t' || c == '"' || c == '\''; };
    return !value.empty() && (special(value.front()) || special(value.back()));
}

void SetPrefString(const char* section, const char* key, const char* value) {
    if (!section || !key)
        return;
    CString stored = oneLine(value);
    if (needsQuotes(stored))
        stored = "\"" + stored + "\"";
    RegisterPrefSection(section);
    CString path = GetPrefFilePath();
    CString folder = files::ParentFolder(path);
    if (!folder.empty())
        files::CreateFolders(folder);
    prefstore::Write(path, oneLine(section).c_str(), oneLine(key).c_str(), stored.c_str());
}

void SetPrefInt(const char* section, const char* key, int value) {
    char text[16];
    snprintf(text, sizeof text, "%ld", static_cast<long>(value));
    SetPrefString(section, key, text);
}

CString AccountSection(const CString& account) { return PREFS_ACCOUNT_PREFIX + account; }

CString CurrentAccountName() { return GetPrefString(PREFS_SECTION, "DEFAULT", nullptr); }

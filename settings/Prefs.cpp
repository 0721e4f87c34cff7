#include "settings/Prefs.h"

#include "common/Files.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>
#include <string>

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

namespace {

// The values read so far, kept while the file stays as it was: the engine asks for the same
// few keys for every command and data connection, and reading the file each time (twice for
// an absent key on Windows) cost more than a small file's transfer. A change of the file's
// size or write time, another file, or a write of ours starts afresh.
struct ReadCache {
    std::mutex lock;
    CString path;
    files::FileStamp stamp;
    std::map<std::string, std::pair<bool, CString>> values; // found, value
};

ReadCache& readCache() {
    static ReadCache cache;
    return cache;
}

// Section and key names compare without regard to case, as the profile API compares them.
std::string cacheKey(const char* section, const char* key) {
    std::string name = std::string(section) + '\n' + key;
    for (char& c : name)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return name;
}

bool cachedRead(const char* section, const char* key, CString& value) {
    const CString path = GetPrefFilePath();
    files::FileStamp stamp;
    files::Stamp(path, stamp); // an absent file keeps size -1
    ReadCache& cache = readCache();
    std::lock_guard<std::mutex> hold(cache.lock);
    if (!(path == cache.path) || !(stamp == cache.stamp)) {
        cache.values.clear();
        cache.path = path;
        cache.stamp = stamp;
    }
    const std::string name = cacheKey(section, key);
    auto found = cache.values.find(name);
    if (found == cache.values.end()) {
        CString read;
        bool present = prefstore::Read(path, section, key, read);
        found = cache.values.emplace(name, std::make_pair(present, read)).first;
    }
    value = found->second.second;
    return found->second.first;
}

void forgetReads() {
    ReadCache& cache = readCache();
    std::lock_guard<std::mutex> hold(cache.lock);
    cache.values.clear();
    cache.path.clear();
}

} // namespace

CString GetPrefString(const char* section, const char* key, const char* defaultText) {
    CString value;
    if (!section || !key || !cachedRead(section, key, value))
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
    // Our own write may leave size and time as they were (same length, same clock tick).
    forgetReads();
}

void SetPrefInt(const char* section, const char* key, int value) {
    char text[16];
    snprintf(text, sizeof text, "%ld", static_cast<long>(value));
    SetPrefString(section, key, text);
}

CString AccountSection(const CString& account) { return PREFS_ACCOUNT_PREFIX + account; }

CString CurrentAccountName() { return GetPrefString(PREFS_SECTION, "DEFAULT", nullptr); }

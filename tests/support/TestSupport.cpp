#include "tests/support/TestSupport.h"

#include "common/Files.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <vector>
#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace testing_support {

static void setEnv(const char* name, const char* value) {
#ifdef _WIN32
    _putenv_s(name, value ? value : "");
#else
    if (value)
        setenv(name, value, 1);
    else
        unsetenv(name);
#endif
}

ScopedEnv::ScopedEnv(const char* name, const char* value) : m_name(name) {
    const char* old = getenv(name);
    m_had = old != nullptr;
    if (old)
        m_old = old;
    setEnv(name, value);
}

ScopedEnv::~ScopedEnv() {
    setEnv(m_name.c_str(), m_had ? m_old.c_str() : nullptr);
}

TempDir::TempDir() {
    static std::atomic<int> counter{0};
#ifdef _WIN32
    char buffer[MAX_PATH + 1];
    const CString base(buffer, GetTempPathA(sizeof buffer, buffer)); // ends in a separator
    const long pid = static_cast<long>(GetCurrentProcessId());
#else
    const char* dir = getenv("TMPDIR");
    const CString base = CString(dir && *dir ? dir : "/tmp") + "/";
    const long pid = static_cast<long>(getpid());
#endif
    for (int attempt = 0; attempt < 1000 && m_path.empty(); ++attempt) {
        const CString candidate = base + FormatString("tw-test-%ld-%d", pid, counter++);
        if (files::CreateFolder(candidate))
            m_path = candidate;
    }
    if (m_path.empty()) {
        fprintf(stderr, "TempDir: cannot create a temporary folder\n");
        abort();
    }
}

TempDir::~TempDir() {
    RemoveTree(m_path);
}

CString TempDir::file(const char* name) const {
#ifdef _WIN32
    return m_path + "\\" + name;
#else
    return m_path + "/" + name;
#endif
}

ScopedPrefs::ScopedPrefs()
    : m_path(m_dir.file("settings-under-test.ini")), m_env("TARNWICK2_INI", m_path.c_str()) {}

void RemoveTree(const CString& path) {
    if (path.empty())
        return;
    if (!files::IsFolder(path)) {
        files::Remove(path);
        return;
    }
    std::vector<CString> children;
    files::Enumerate(path, [&](const CString& name, bool, int64_t) { children.push_back(name); });
    for (const CString& name : children)
        RemoveTree(path + "/" + name);
    files::RemoveFolder(path);
}

bool WriteFile(const CString& path, const std::string& data) {
    FILE* f = fopen(path.c_str(), "wb");
    if (!f)
        return false;
    bool ok = fwrite(data.data(), 1, data.size(), f) == data.size();
    return fclose(f) == 0 && ok;
}

std::string ReadFile(const CString& path) {
    std::string data;
    files::ReadAll(path, data);
    return data;
}

bool RunningUnderWine() {
#ifdef _WIN32
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
#else
    return false;
#endif
}

std::string RandomBytes(size_t count, uint32_t seed) {
    std::string out(count, '\0');
    uint32_t x = seed ? seed : 1;
    for (size_t i = 0; i < count; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        out[i] = static_cast<char>(x & 0xff);
    }
    return out;
}

} // namespace testing_support

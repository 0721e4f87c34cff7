#pragma once
// Small helpers shared by the test programs of both builds.
#include "common/CString.h"

#include <cstdint>
#include <string>

namespace testing_support {

// Sets an environment variable for the life of the object and restores the old value.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string m_name;
    std::string m_old;
    bool m_had = false;
};

// A fresh folder under the system's temporary folder, removed with all its content at the end.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const CString& path() const { return m_path; }
    // path + separator + name
    CString file(const char* name) const;

private:
    CString m_path;
};

// A private settings file for one test: TARNWICK2_INI points into a fresh folder.
class ScopedPrefs {
public:
    ScopedPrefs();
    const CString& path() const { return m_path; }

private:
    TempDir m_dir;
    CString m_path;
    ScopedEnv m_env;
};

void RemoveTree(const CString& path);
bool WriteFile(const CString& path, const std::string& data);
std::string ReadFile(const CString& path);
// True when this Windows program runs under Wine (whose sockets differ from Windows' in places).
bool RunningUnderWine();
// Deterministic pseudo-random bytes.
std::string RandomBytes(size_t count, uint32_t seed);

} // namespace testing_support

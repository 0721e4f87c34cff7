#pragma once
// The settings store: one private INI file per user, read and written through four accessors.
// Nothing is cached: every reader asks at the moment it needs a value, so a change made
// anywhere takes effect at the next use.
#include "common/CString.h"

// The program-wide section and the prefix of every account's section.
#define PREFS_SECTION "USERPREFS"
#define PREFS_ACCOUNT_PREFIX "USERPREFS/"

// Longest text value handed back (a 4 KiB buffer, terminator included): room for the account
// list of a few hundred accounts and for any password, where a short buffer would cut them.
constexpr int kMaxPrefText = 4095;

// The settings file: $TARNWICK2_INI when set, otherwise the per-user default
// (%APPDATA%\Tarnwick2\Tarnwick2.ini, or ${XDG_CONFIG_HOME:-~/.config}/tarnwick2/Tarnwick2.ini).
CString GetPrefFilePath();

// The stored text, or defaultText (null: empty) when the key is absent; at most kMaxPrefText
// characters.
CString GetPrefString(const char* section, const char* key, const char* defaultText);
// The stored decimal value ("-1" reads as -1), or defaultValue when the key is absent or empty.
int GetPrefInt(const char* section, const char* key, int defaultValue);
// Line breaks are dropped. A value that begins or ends with a blank, a tab or a quote is
// stored inside double quotes, which the readers take off again, so that it reads back as
// written (unquoted, the readers would trim the blanks and strip a pair of quotes).
void SetPrefString(const char* section, const char* key, const char* value);
void SetPrefInt(const char* section, const char* key, int value);
// Asks the platform to keep the section in the current user's registry (Windows only).
void RegisterPrefSection(const char* section);

// "USERPREFS/" followed by the account name.
CString AccountSection(const CString& account);
// The current account's name ("USERPREFS"/"DEFAULT").
CString CurrentAccountName();

// Reads a decimal integer the way the profile functions do: leading blanks, an optional sign,
// digits up to the first non-digit; no digits gives 0.
int ParsePrefInt(const char* text);

namespace prefstore {
// The platform's raw access to one value of the file at path; no cutting, no defaults.
bool Read(const CString& path, const char* section, const char* key, CString& value);
void Write(const CString& path, const char* section, const char* key, const char* value);
} // namespace prefstore

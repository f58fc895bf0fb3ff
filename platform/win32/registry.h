// Stand-in for the registry calls in use. Keys and values live in one settings file under
// $XDG_CONFIG_HOME/marovant/ (else ~/.config/marovant/), with the current-user and the
// local-machine trees kept apart. Key and value names match ignoring case. The file is read
// at each call and rewritten whole (temporary file and rename) at each change, under an
// exclusive lock on "settings.reg.lock" beside it. A file that is there but cannot be read,
// or is over the size cap, is never replaced: reads see no values and changes fail with
// ERROR_ACCESS_DENIED.
#pragma once

#include "platform/win32/win32.h"

#include <string>

struct PlatformRegKey;
using HKEY = PlatformRegKey*;
using PHKEY = HKEY*;
using REGSAM = DWORD;
using LPBYTE = BYTE*;

inline HKEY const HKEY_CURRENT_USER = reinterpret_cast<HKEY>(uintptr_t{0x80000001u});
inline HKEY const HKEY_LOCAL_MACHINE = reinterpret_cast<HKEY>(uintptr_t{0x80000002u});

// Value types.
constexpr DWORD REG_NONE = 0;
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_EXPAND_SZ = 2;
constexpr DWORD REG_BINARY = 3;
constexpr DWORD REG_DWORD = 4;

// Access rights (accepted, not enforced) and options.
constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
constexpr REGSAM KEY_SET_VALUE = 0x0002;
constexpr REGSAM KEY_READ = 0x20019;
constexpr REGSAM KEY_WRITE = 0x20006;
constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;
constexpr DWORD REG_OPTION_NON_VOLATILE = 0;
constexpr DWORD REG_CREATED_NEW_KEY = 1;
constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

constexpr DWORD ERROR_MORE_DATA = 234;
constexpr DWORD ERROR_NO_MORE_ITEMS = 259;

// Opens the key, creating it and any missing parents.
LONG RegCreateKeyExA(HKEY key, const char* subKey, DWORD reserved, char* className, DWORD options,
                     REGSAM access, void* security, PHKEY result, DWORD* disposition);
// ERROR_FILE_NOT_FOUND when the key does not exist.
LONG RegOpenKeyExA(HKEY key, const char* subKey, DWORD options, REGSAM access, PHKEY result);
LONG RegCloseKey(HKEY key);
// With data null only the type and size are given. A buffer too small gives ERROR_MORE_DATA
// and the size needed. Strings always come back with their terminator.
LONG RegQueryValueExA(HKEY key, const char* valueName, DWORD* reserved, DWORD* type, LPBYTE data,
                      DWORD* size);
// Strings (REG_SZ, REG_EXPAND_SZ) are stored up to their first zero and always with one.
LONG RegSetValueExA(HKEY key, const char* valueName, DWORD reserved, DWORD type, const BYTE* data,
                    DWORD size);

// The sub-key `index` of the key, in name order ignoring case. `nameSize` holds the buffer's size
// in characters and receives the name's length without its terminator. ERROR_NO_MORE_ITEMS
// past the last one; ERROR_MORE_DATA when the name and its terminator do not fit.
LONG RegEnumKeyExA(HKEY key, DWORD index, char* name, DWORD* nameSize, DWORD* reserved,
                   char* className, DWORD* classSize, void* lastWriteTime);
// Deletes a key that has no sub-keys (ERROR_ACCESS_DENIED while it has some).
LONG RegDeleteKeyA(HKEY key, const char* subKey);
LONG RegDeleteValueA(HKEY key, const char* valueName);

// Test seam: the settings file to use; empty for the default location.
void PlatformSetRegistryFile(const std::string& path);
std::string PlatformRegistryFile();
// The settings file's folder, made with its parents when missing; empty when it cannot be.
std::string PlatformSettingsFolder();

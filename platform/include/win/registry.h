// The registry: one file-backed tree per hive (the current user's and the
// machine's) under the stand-in machine's registry folder. Key and value names
// compare case-insensitively and keep the case they were created with. Every
// change replaces the hive file atomically under an exclusive lock, so other
// processes see either the old or the new tree, and see it on their next call.
//
// String data crosses this interface as wchar_t text (4 bytes per character
// here) and is kept in the hive as UTF-16LE; sizes are always in the caller's
// bytes. Return values are error codes (ERROR_SUCCESS ...), not last errors.
// A hive file that does not parse makes every call on that hive answer
// ERROR_BADDB and is never overwritten.
#pragma once

#include "win/base.h"

typedef struct registry_key_tag* HKEY;
typedef HKEY* PHKEY;
typedef ACCESS_MASK REGSAM;

// The predefined roots. HKEY_CLASSES_ROOT is the machine's "Software\Classes".
#define HKEY_CLASSES_ROOT (reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x80000000u)))
#define HKEY_CURRENT_USER (reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x80000001u)))
#define HKEY_LOCAL_MACHINE (reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x80000002u)))

// Value types.
#define REG_NONE 0u
#define REG_SZ 1u
#define REG_EXPAND_SZ 2u
#define REG_BINARY 3u
#define REG_DWORD 4u
#define REG_MULTI_SZ 7u

// Access rights of a key handle. Querying needs KEY_QUERY_VALUE, setting and
// deleting values KEY_SET_VALUE; RegOpenKeyW and RegCreateKeyW grant all.
#define KEY_QUERY_VALUE 0x0001u
#define KEY_SET_VALUE 0x0002u
#define KEY_CREATE_SUB_KEY 0x0004u
#define KEY_ENUMERATE_SUB_KEYS 0x0008u
#define KEY_NOTIFY 0x0010u
#define KEY_CREATE_LINK 0x0020u
#define KEY_WOW64_64KEY 0x0100u
#define KEY_WOW64_32KEY 0x0200u
#define KEY_READ 0x00020019u
#define KEY_WRITE 0x00020006u
#define KEY_EXECUTE KEY_READ
#define KEY_ALL_ACCESS 0x000F003Fu
#define MAXIMUM_ALLOWED 0x02000000u

// RegCreateKeyExW options (accepted; every key here persists) and dispositions.
#define REG_OPTION_NON_VOLATILE 0x0u
#define REG_OPTION_VOLATILE 0x1u
#define REG_CREATED_NEW_KEY 1u
#define REG_OPENED_EXISTING_KEY 2u

// Creates the subkey and any missing keys on its path, or opens it when it
// exists. An empty or null subkey opens the key itself.
LONG RegCreateKeyW(HKEY key, LPCWSTR subkey, PHKEY result);
LONG RegCreateKeyExW(HKEY key, LPCWSTR subkey, DWORD reserved, LPWSTR key_class, DWORD options,
                     REGSAM access, LPSECURITY_ATTRIBUTES security, PHKEY result,
                     LPDWORD disposition);

// ERROR_FILE_NOT_FOUND when the subkey does not exist.
LONG RegOpenKeyW(HKEY key, LPCWSTR subkey, PHKEY result);
LONG RegOpenKeyExW(HKEY key, LPCWSTR subkey, DWORD options, REGSAM access, PHKEY result);

// A null or empty name is the key's default value. With data null, only the
// type and the size are reported. ERROR_MORE_DATA (with the size needed in
// *size) when the buffer is too small; ERROR_FILE_NOT_FOUND when the value
// does not exist.
LONG RegQueryValueExW(HKEY key, LPCWSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data,
                      LPDWORD size);

// REG_SZ, REG_EXPAND_SZ and REG_MULTI_SZ data is wchar_t text of size bytes
// (normally with its terminating NUL); other types are stored as given.
LONG RegSetValueExW(HKEY key, LPCWSTR name, DWORD reserved, DWORD type, const BYTE* data,
                    DWORD size);

LONG RegDeleteValueW(HKEY key, LPCWSTR name);

// Deletes a subkey that has no subkeys of its own (ERROR_ACCESS_DENIED
// otherwise), with its values.
LONG RegDeleteKeyW(HKEY key, LPCWSTR subkey);

// Closing a predefined root succeeds and does nothing.
LONG RegCloseKey(HKEY key);

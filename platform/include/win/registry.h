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

#include <string>
#include <vector>

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

// Deletes the subkey with everything below it; a null or empty subkey
// deletes the key's values and subkeys and keeps the key.
LONG RegDeleteTreeW(HKEY key, LPCWSTR subkey);

// The index-th subkey or value in name order (needs KEY_ENUMERATE_SUB_KEYS
// and KEY_QUERY_VALUE respectively); ERROR_NO_MORE_ITEMS past the last.
// *name_count is the buffer's size in characters on entry and the name's
// length without its NUL on return; ERROR_MORE_DATA when the name and its
// NUL do not fit. Key classes and times are not kept: the class comes back
// empty and the time zero. The value's data as RegQueryValueExW gives it.
LONG RegEnumKeyExW(HKEY key, DWORD index, LPWSTR name, LPDWORD name_count, LPDWORD reserved,
                   LPWSTR key_class, LPDWORD class_count, LPFILETIME last_write);
LONG RegEnumValueW(HKEY key, DWORD index, LPWSTR name, LPDWORD name_count, LPDWORD reserved,
                   LPDWORD type, LPBYTE data, LPDWORD data_size);
// Counts of subkeys and values and the longest names (in characters) and
// data (in the caller's bytes); the other outputs are zero.
LONG RegQueryInfoKeyW(HKEY key, LPWSTR key_class, LPDWORD class_count, LPDWORD reserved,
                      LPDWORD subkeys, LPDWORD longest_subkey, LPDWORD longest_class,
                      LPDWORD values, LPDWORD longest_value_name, LPDWORD longest_value_data,
                      LPDWORD security_descriptor, LPFILETIME last_write);

// Closing a predefined root succeeds and does nothing.
LONG RegCloseKey(HKEY key);

namespace win_test {

// While a hive is read-only (root HKEY_LOCAL_MACHINE, HKEY_CLASSES_ROOT or
// HKEY_CURRENT_USER), in this process every call that would change it fails
// with ERROR_ACCESS_DENIED and changes nothing; reading and opening keys
// that exist still work, as for a user without write access.
void set_registry_read_only(HKEY root, bool read_only);

// The keys and values below a key, one line each, depth-first in name
// order, paths relative to the key ("\" between names):
//   CLSID\{...}                          a key
//   CLSID\{...}: @ = REG_SZ "Calvimora"   its default value
//   CLSID\{...}\ShellFolder: Attributes = REG_DWORD 0xB8C00153
// Binary data as lower-case hexadecimal, REG_EXPAND_SZ and REG_MULTI_SZ
// like REG_SZ (a string's terminating NUL is not shown). Empty when the
// key does not exist.
std::vector<std::wstring> registry_tree(HKEY root, const std::wstring& path);

// How many key handles of this process are open (the predefined roots do
// not count): a test of code that opens keys sees it close them.
size_t open_registry_keys();

}  // namespace win_test

// The tree of one registry hive and its file format.
//
// Names compare case-insensitively (by a fixed Unicode case fold, the same in
// every process) and keep the case they were created with. String data is
// held as the bytes the hive stores (UTF-16LE); conversion to the callers'
// wide text happens at the API.
//
// File format, version 1, all integers little-endian:
//   magic "CVMHIVE\0" (8 bytes), u32 version, u32 reserved (0),
//   u64 payload size, 32-byte SHA-256 of the payload, then the payload:
//   key   := name, u32 value count, values, u32 subkey count, subkeys
//   value := name, u32 type, u32 data size, data
//   name  := u32 size, UTF-8 bytes
// The root key has an empty name. A file that fails any check is rejected
// whole.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "win/base.h"

namespace win_detail {

struct registry_value {
    std::wstring name;
    DWORD type = 0;
    std::vector<BYTE> data;
};

struct registry_key {
    std::wstring name;
    // Both maps are keyed by the folded name.
    std::map<std::wstring, registry_value> values;
    std::map<std::wstring, std::unique_ptr<registry_key>> subkeys;

    registry_key* find_subkey(const std::wstring& subkey_name) const;
    const registry_value* find_value(const std::wstring& value_name) const;
};

// The key under which names are compared.
std::wstring fold_registry_name(const std::wstring& name);

// Keys deeper than this are refused, in files and in calls.
inline constexpr size_t max_registry_depth = 512;

std::string serialize_hive(const registry_key& root);

// Null when the bytes are not a well-formed hive of a known version.
std::unique_ptr<registry_key> parse_hive(const std::string& bytes);

}  // namespace win_detail

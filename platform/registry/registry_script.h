// The registrar's scripts read into a tree of keys and values.
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "win/registry.h"

namespace win_detail {

struct script_value {
    std::wstring name;  // empty: the key's default value
    DWORD type = REG_SZ;
    std::vector<BYTE> data;  // as RegSetValueExW takes it
};

enum class script_key_kind { plain, kept, recreated };

struct script_key {
    std::wstring name;
    script_key_kind kind = script_key_kind::plain;
    std::optional<script_value> default_value;
    std::vector<script_value> values;
    std::vector<script_key> subkeys;
};

struct script_root {
    HKEY root = nullptr;
    std::vector<script_key> keys;
};

// The replacement text for a name; nullopt when there is none.
using script_replacements = std::function<std::optional<std::wstring>(const std::wstring& name)>;

// The script's roots; nullopt when it does not parse or names a missing
// replacement. Nesting deeper than the registry allows is refused.
std::optional<std::vector<script_root>> parse_registry_script(
    const std::wstring& script, const script_replacements& replacements);

}  // namespace win_detail

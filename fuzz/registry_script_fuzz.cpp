// The registrar's scripts (the extension's own, and any a module hands
// over): any text, with the replacements a module registers. A script that
// reads gives values of the types it names with whole data, and written
// back as a script of its own it reads as the same keys and values.
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "registry/registry_script.h"

using calvimora_fuzz::require;
using namespace win_detail;

namespace {

std::optional<std::wstring> replacement(const std::wstring& name) {
    static const std::map<std::wstring, std::wstring> known{
        {L"MODULE", L"/opt/calvimora/Calvimora.so"},
        {L"CLSID", L"{2C2577A1-3F2B-4E4B-9A7B-1B5A2C3D4E5F}"},
        {L"APP_NAME", L"Calvimora 'shell' 100%"}};
    const auto found = known.find(name);
    if (found == known.end()) return std::nullopt;
    return found->second;
}

std::wstring quoted(const std::wstring& text) {
    std::wstring out = L"'";
    for (const wchar_t c : text) {
        if (c == L'\'')
            out += L"''";
        else if (c == L'%')
            out += L"%%";
        else
            out += c;
    }
    return out + L"'";
}

void check_value(const script_value& value) {
    switch (value.type) {
        case REG_SZ:
        case REG_EXPAND_SZ:
            require(
                value.data.size() % sizeof(wchar_t) == 0 && value.data.size() >= sizeof(wchar_t),
                "a text value that is not whole characters");
            for (std::size_t i = value.data.size() - sizeof(wchar_t); i < value.data.size(); ++i)
                require(value.data[i] == 0, "a text value without its terminator");
            break;
        case REG_DWORD:
            require(value.data.size() == 4, "a number that is not four bytes");
            break;
        case REG_BINARY:
            break;
        default:
            require(false, "a value of a type no script names");
    }
}

std::wstring written(const script_value& value) {
    std::wstring text;
    if (value.type == REG_DWORD) {
        DWORD number = 0;
        for (int i = 0; i < 4; ++i) number |= DWORD{value.data[i]} << (8 * i);
        return L"d " + quoted(std::to_wstring(number));
    }
    if (value.type == REG_BINARY) {
        static const wchar_t hex[] = L"0123456789ABCDEF";
        for (const BYTE b : value.data) {
            text += hex[b >> 4];
            text += hex[b & 15];
        }
        return L"b " + quoted(text);
    }
    const auto* characters = reinterpret_cast<const wchar_t*>(value.data.data());
    text.assign(characters, value.data.size() / sizeof(wchar_t) - 1);
    return (value.type == REG_SZ ? L"s " : L"e ") + quoted(text);
}

void write_key(const script_key& key, std::wstring& out) {
    if (key.default_value) check_value(*key.default_value);
    if (key.kind == script_key_kind::kept) out += L"NoRemove ";
    if (key.kind == script_key_kind::recreated) out += L"ForceRemove ";
    out += quoted(key.name);
    if (key.default_value) out += L" = " + written(*key.default_value);
    out += L"\n{\n";
    for (const script_value& value : key.values) {
        check_value(value);
        out += L"val " + quoted(value.name) + L" = " + written(value) + L"\n";
    }
    for (const script_key& subkey : key.subkeys) write_key(subkey, out);
    out += L"}\n";
}

bool same_values(const script_value& a, const script_value& b) {
    return a.name == b.name && a.type == b.type && a.data == b.data;
}

bool same_keys(const script_key& a, const script_key& b) {
    if (a.name != b.name || a.kind != b.kind ||
        a.default_value.has_value() != b.default_value.has_value() ||
        (a.default_value && !same_values(*a.default_value, *b.default_value)) ||
        a.values.size() != b.values.size() || a.subkeys.size() != b.subkeys.size())
        return false;
    for (std::size_t i = 0; i < a.values.size(); ++i)
        if (!same_values(a.values[i], b.values[i])) return false;
    for (std::size_t i = 0; i < a.subkeys.size(); ++i)
        if (!same_keys(a.subkeys[i], b.subkeys[i])) return false;
    return true;
}

const wchar_t* root_name(HKEY root) {
    if (root == HKEY_CLASSES_ROOT) return L"HKCR";
    if (root == HKEY_LOCAL_MACHINE) return L"HKLM";
    require(root == HKEY_CURRENT_USER, "a root no script names");
    return L"HKCU";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::wstring script;
    for (const std::wstring& text : calvimora_fuzz::texts_of(data, size)) script += text;
    const auto roots = parse_registry_script(script, replacement);
    if (!roots) return 0;
    std::wstring again;
    for (const script_root& root : *roots) {
        again += std::wstring(root_name(root.root)) + L"\n{\n";
        for (const script_key& key : root.keys) write_key(key, again);
        again += L"}\n";
    }
    const auto reread = parse_registry_script(again, replacement);
    require(reread.has_value(), "a script written from a read one does not read");
    require(reread->size() == roots->size(), "a written script has other roots");
    for (std::size_t r = 0; r < roots->size(); ++r) {
        const auto& first = (*roots)[r];
        const auto& second = (*reread)[r];
        require(first.root == second.root && first.keys.size() == second.keys.size(),
                "a written script's root holds other keys");
        for (std::size_t k = 0; k < first.keys.size(); ++k)
            require(same_keys(first.keys[k], second.keys[k]),
                    "a written script reads as other keys or values");
    }
    return 0;
}

#include "vfs/saved_login.h"

#include <cstdint>

#include "vfs/pc_id.h"
#include "win/registry.h"

namespace vfs_calvimora {

namespace {

// The key's class id and the scramble constant are fixed for the life of the
// product: every saved login is read back with them.
const wchar_t* const saved_login_key = L"CLSID\\{6D3F2A61-9C84-4E1B-B57A-2C0E8F4D9A13}";
const wchar_t* const saved_login_value = L"Data1";
constexpr std::uint16_t scramble_constant = 0x3B71;

char16_t scrambled(char16_t unit, std::size_t index) {
    const auto mask =
        static_cast<std::uint16_t>(static_cast<std::uint16_t>(index) - scramble_constant);
    return static_cast<char16_t>(unit ^ mask);
}

void append_field(const std::wstring& text, std::vector<char16_t>& units) {
    const auto add = [&](std::uint32_t unit) {
        units.push_back(scrambled(static_cast<char16_t>(unit), units.size()));
    };
    for (const wchar_t character : text) {
        auto code = static_cast<std::uint32_t>(character);
        if (code == 0) continue;
        if (code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) code = 0xFFFD;
        if (code < 0x10000) {
            add(code);
        } else {
            add(0xD800 + ((code - 0x10000) >> 10));
            add(0xDC00 + ((code - 0x10000) & 0x3FF));
        }
    }
    units.push_back(0);
}

bool is_high_surrogate(char16_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}

bool is_low_surrogate(char16_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

// The characters of the field's units. Only a unit that pairs into no
// character, or that reads as U+0000 (a hostile value's), is replaced.
std::wstring decode_field(const std::u16string& units) {
    std::wstring text;
    for (std::size_t at = 0; at < units.size(); ++at) {
        const char16_t unit = units[at];
        if (is_high_surrogate(unit) && at + 1 < units.size() && is_low_surrogate(units[at + 1])) {
            const char32_t high = unit - 0xD800u, low = units[at + 1] - 0xDC00u;
            text += static_cast<wchar_t>(0x10000u + (high << 10) + low);
            ++at;
        } else if (unit == 0 || is_high_surrogate(unit) || is_low_surrogate(unit)) {
            text += L'\uFFFD';
        } else {
            text += static_cast<wchar_t>(unit);
        }
    }
    return text;
}

}  // namespace

std::vector<char16_t> scramble_login(const saved_login& login) {
    std::vector<char16_t> units;
    append_field(login.user_name, units);
    append_field(login.password, units);
    return units;
}

saved_login unscramble_login(const std::vector<char16_t>& units) {
    std::u16string fields[2];
    int field = 0;
    for (std::size_t index = 0; index < units.size() && field < 2; ++index) {
        if (units[index] == 0) {
            ++field;
            continue;
        }
        fields[field] += scrambled(units[index], index);
    }
    return {decode_field(fields[0]), decode_field(fields[1])};
}

bool reads_back_identically(const saved_login& login) {
    const saved_login back = unscramble_login(scramble_login(login));
    return back.user_name == login.user_name && back.password == login.password;
}

bool store_saved_login(const saved_login& login) {
    if (!reads_back_identically(login)) return false;
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, saved_login_key, 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_WRITE, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    const registry_key owned(key);
    std::vector<BYTE> bytes;
    for (const char16_t unit : scramble_login(login)) {
        bytes.push_back(static_cast<BYTE>(unit & 0xFF));
        bytes.push_back(static_cast<BYTE>(unit >> 8));
    }
    return RegSetValueExW(key, saved_login_value, 0, REG_BINARY, bytes.data(),
                          static_cast<DWORD>(bytes.size())) == ERROR_SUCCESS;
}

bool load_saved_login(saved_login& login) {
    HKEY key = nullptr;
    if (RegOpenKeyW(HKEY_CURRENT_USER, saved_login_key, &key) != ERROR_SUCCESS) return false;
    const registry_key owned(key);
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExW(key, saved_login_value, nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
        return false;
    std::vector<char16_t> units(size / sizeof(char16_t));
    std::vector<BYTE> bytes(size);
    if (size > 0 && RegQueryValueExW(key, saved_login_value, nullptr, &type, bytes.data(), &size) !=
                        ERROR_SUCCESS)
        return false;
    for (std::size_t index = 0; index < units.size() && 2 * index + 1 < size; ++index)
        units[index] = static_cast<char16_t>(bytes[2 * index] | (bytes[2 * index + 1] << 8));
    login = unscramble_login(units);
    return true;
}

}  // namespace vfs_calvimora

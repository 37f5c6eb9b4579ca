// The saved login "Data1". Any bytes, taken as the stored value, read as two
// fields of whole characters without U+0000, one character for each unit or
// pair; a value whose fields are whole UTF-16 comes back unit for unit when
// what was read is scrambled again. Any units, taken as a login, are written
// exactly when every one is a character UTF-16 can hold and none scrambles
// to zero at its place, and such a login reads back as it was.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "vfs/saved_login.h"

namespace {

using calvimora_fuzz::require;
using vfs_calvimora::saved_login;

constexpr std::uint16_t scramble_constant = 0x3B71;

char16_t mask(std::size_t index) {
    return static_cast<char16_t>(static_cast<std::uint16_t>(index) - scramble_constant);
}

bool is_surrogate(std::uint32_t code) {
    return code >= 0xD800 && code <= 0xDFFF;
}

std::vector<char16_t> units_of(const std::uint8_t* data, std::size_t size) {
    std::vector<char16_t> units;
    for (std::size_t at = 0; at + 1 < size; at += 2)
        units.push_back(static_cast<char16_t>(data[at] | (data[at + 1] << 8)));
    return units;
}

bool whole_characters(const std::wstring& text) {
    for (const wchar_t c : text) {
        const auto code = static_cast<std::uint32_t>(c);
        if (code == 0 || code > 0x10FFFF || is_surrogate(code)) return false;
    }
    return true;
}

// The stored units up to the second field's end, with the ends a short value
// lacks.
std::vector<char16_t> two_fields(const std::vector<char16_t>& units) {
    std::vector<char16_t> out;
    int ended = 0;
    for (std::size_t at = 0; at < units.size() && ended < 2; ++at) {
        out.push_back(units[at]);
        if (units[at] == 0) ++ended;
    }
    for (; ended < 2; ++ended) out.push_back(0);
    return out;
}

// Whether the scrambled fields are whole UTF-16 in which no unit reads as 0.
bool whole_utf16(const std::vector<char16_t>& stored) {
    for (std::size_t at = 0; at < stored.size(); ++at) {
        if (stored[at] == 0) continue;
        const char16_t unit = static_cast<char16_t>(stored[at] ^ mask(at));
        if (unit == 0) return false;
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            if (at + 1 >= stored.size() || stored[at + 1] == 0) return false;
            const char16_t next = static_cast<char16_t>(stored[at + 1] ^ mask(at + 1));
            if (next < 0xDC00 || next > 0xDFFF) return false;
            ++at;
        } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
            return false;
        }
    }
    return true;
}

void check_stored_value(const std::vector<char16_t>& units) {
    const saved_login read = vfs_calvimora::unscramble_login(units);
    require(whole_characters(read.user_name) && whole_characters(read.password),
            "a field read holds U+0000 or what is no character");
    const std::vector<char16_t> stored = two_fields(units);
    const std::vector<char16_t> again = vfs_calvimora::scramble_login(read);
    require(again.size() == stored.size(), "reading lost or added units");
    if (whole_utf16(stored)) {
        require(again == stored, "a whole value does not come back unit for unit");
        require(vfs_calvimora::reads_back_identically(read), "a whole value read is refused");
    }
}

// Whether the writer must keep the login: every character one UTF-16 holds,
// and no unit equal to the mask of its place.
bool writable(const saved_login& login) {
    std::size_t index = 0;
    for (const std::wstring* field : {&login.user_name, &login.password}) {
        for (const wchar_t c : *field) {
            const auto code = static_cast<std::uint32_t>(c);
            if (code == 0 || code > 0x10FFFF || is_surrogate(code)) return false;
            if (code < 0x10000) {
                if (code == mask(index++)) return false;
            } else {
                if (0xD800 + ((code - 0x10000) >> 10) == mask(index++)) return false;
                if (0xDC00 + ((code - 0x10000) & 0x3FF) == mask(index++)) return false;
            }
        }
        ++index;  // the field's end
    }
    return true;
}

void check_login(const std::uint8_t* data, std::size_t size) {
    // Four bytes a character, any value: the first half names the user.
    std::wstring codes;
    for (std::size_t at = 0; at + 3 < size; at += 4) {
        std::uint32_t code = 0;
        for (int byte = 3; byte >= 0; --byte) code = (code << 8) | data[at + byte];
        codes += static_cast<wchar_t>(code);
    }
    const saved_login login{codes.substr(0, codes.size() / 2), codes.substr(codes.size() / 2)};
    const bool kept = vfs_calvimora::reads_back_identically(login);
    require(kept == writable(login), "the writer keeps a login it should refuse, or the reverse");
    if (kept) {
        const saved_login back =
            vfs_calvimora::unscramble_login(vfs_calvimora::scramble_login(login));
        require(back.user_name == login.user_name && back.password == login.password,
                "a kept login reads back otherwise");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    check_stored_value(units_of(data, size));
    check_login(data, size);
    return 0;
}

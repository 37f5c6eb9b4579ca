#include "folder/item_ids/utf16_text.h"

#include <algorithm>

namespace shell_text {

namespace {

constexpr char32_t replacement = 0xFFFD;

bool is_high_surrogate(char32_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}
bool is_low_surrogate(char32_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

}  // namespace

std::u16string to_utf16(const std::wstring& text, size_t max_units) {
    std::u16string out;
    for (const wchar_t c : text) {
        char32_t code = static_cast<char32_t>(c);
        if (code > 0x10FFFF || is_high_surrogate(code) || is_low_surrogate(code))
            code = replacement;
        const size_t needed = code > 0xFFFF ? 2 : 1;
        if (out.size() + needed > max_units) break;
        if (code > 0xFFFF) {
            code -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (code >> 10));
            out += static_cast<char16_t>(0xDC00 + (code & 0x3FF));
        } else {
            out += static_cast<char16_t>(code);
        }
    }
    return out;
}

std::wstring from_utf16(const char16_t* units, size_t max_units) {
    size_t length = 0;
    while (length < max_units && units[length] != 0) ++length;
    std::wstring out;
    for (size_t i = 0; i < length; ++i) {
        const char32_t unit = units[i];
        if (is_high_surrogate(unit) && i + 1 < length && is_low_surrogate(units[i + 1])) {
            out +=
                static_cast<wchar_t>(0x10000 + ((unit - 0xD800) << 10) + (units[i + 1] - 0xDC00));
            ++i;
        } else if (is_high_surrogate(unit) || is_low_surrogate(unit)) {
            out += static_cast<wchar_t>(replacement);
        } else {
            out += static_cast<wchar_t>(unit);
        }
    }
    return out;
}

void write_field(char16_t* field, size_t width, const std::wstring& text) {
    if (width == 0) return;
    const std::u16string units = to_utf16(text, width - 1);
    std::copy(units.begin(), units.end(), field);
    std::fill(field + units.size(), field + width, u'\0');
}

}  // namespace shell_text

#include "wide_text.h"

#include <utf8.h>

#include <iterator>

namespace win_detail {

namespace {

constexpr char32_t replacement = 0xFFFD;

bool encodable(wchar_t c) {
    const auto cp = static_cast<uint32_t>(c);
    return cp <= 0x10FFFF && (cp < 0xD800 || cp > 0xDFFF);
}

std::u32string sanitized(std::wstring_view text) {
    std::u32string out;
    out.reserve(text.size());
    for (wchar_t c : text) out.push_back(encodable(c) ? static_cast<char32_t>(c) : replacement);
    return out;
}

bool is_high_surrogate(char16_t u) {
    return u >= 0xD800 && u <= 0xDBFF;
}
bool is_low_surrogate(char16_t u) {
    return u >= 0xDC00 && u <= 0xDFFF;
}

}  // namespace

std::string to_utf8(std::wstring_view text) {
    const std::u32string clean = sanitized(text);
    std::string out;
    utf8::utf32to8(clean.begin(), clean.end(), std::back_inserter(out));
    return out;
}

std::wstring from_utf8(std::string_view text) {
    std::string clean;
    utf8::replace_invalid(text.begin(), text.end(), std::back_inserter(clean), replacement);
    std::wstring out;
    utf8::utf8to32(clean.begin(), clean.end(), std::back_inserter(out));
    return out;
}

std::wstring wide_or_empty(LPCWSTR text) {
    return text ? std::wstring(text) : std::wstring();
}

std::string to_utf16le(std::wstring_view text) {
    const std::string utf8_text = to_utf8(text);
    std::u16string units;
    utf8::utf8to16(utf8_text.begin(), utf8_text.end(), std::back_inserter(units));
    std::string out;
    out.reserve(units.size() * 2);
    for (char16_t u : units) {
        out.push_back(static_cast<char>(u & 0xFF));
        out.push_back(static_cast<char>(u >> 8));
    }
    return out;
}

std::wstring from_utf16le(const BYTE* data, size_t size) {
    std::u16string units;
    units.reserve(size / 2);
    for (size_t i = 0; i + 1 < size; i += 2)
        units.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
    // Lone surrogates cannot be decoded; they stand for themselves as U+FFFD.
    for (size_t i = 0; i < units.size(); ++i) {
        if (is_high_surrogate(units[i]) && i + 1 < units.size() && is_low_surrogate(units[i + 1]))
            ++i;
        else if (is_high_surrogate(units[i]) || is_low_surrogate(units[i]))
            units[i] = replacement;
    }
    std::string utf8_text;
    utf8::utf16to8(units.begin(), units.end(), std::back_inserter(utf8_text));
    return from_utf8(utf8_text);
}

}  // namespace win_detail

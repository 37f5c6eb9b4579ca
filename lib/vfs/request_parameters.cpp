#include "vfs/request_parameters.h"

#include <algorithm>
#include <cstdint>

namespace vfs_calvimora {

namespace {

// A sort key that orders code points as their first UTF-16 unit would:
// characters beyond the basic plane (sent as surrogates, 0xD800 to 0xDBFF)
// come before 0xE000 to 0xFFFF.
std::uint32_t utf16_rank(wchar_t character) {
    const auto code = static_cast<std::uint32_t>(character);
    if (code >= 0xE000 && code <= 0xFFFF) {
        return code + 0x110000;
    }
    return code;
}

bool is_escaped(std::uint32_t code) {
    static const std::string escaped = "\"#%&+/<>?[\\]^`{|}";
    return escaped.find(static_cast<char>(code)) != std::string::npos;
}

bool is_scalar_value(std::uint32_t code) {
    return code <= 0x10FFFF && !(code >= 0xD800 && code <= 0xDFFF);
}

void append_utf8(std::uint32_t code, std::string& out) {
    if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    }
    out += static_cast<char>(0x80 | (code & 0x3F));
}

}  // namespace

bool utf16_key_order::operator()(const std::wstring& left, const std::wstring& right) const {
    return std::lexicographical_compare(
        left.begin(), left.end(), right.begin(), right.end(),
        [](wchar_t a, wchar_t b) { return utf16_rank(a) < utf16_rank(b); });
}

std::string url_encode(const std::wstring& text, bool escape) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (const wchar_t character : text) {
        std::uint32_t code = static_cast<std::uint32_t>(character);
        if (code < 0x80) {
            if (escape && is_escaped(code)) {
                out += '%';
                out += hex[code >> 4];
                out += hex[code & 0xF];
            } else {
                out += static_cast<char>(code);
            }
            continue;
        }
        if (!is_scalar_value(code)) {
            code = 0xFFFD;
        }
        append_utf8(code, out);
    }
    return out;
}

std::string form_body(const request_parameters& parameters) {
    std::string body;
    for (const auto& [key, value] : parameters) {
        if (!body.empty()) {
            body += '&';
        }
        body += url_encode(key, true);
        body += '=';
        body += url_encode(value, true);
    }
    return body;
}

}  // namespace vfs_calvimora

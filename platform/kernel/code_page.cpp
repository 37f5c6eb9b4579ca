// Conversions between wide text and 8-bit text in Windows-1252 or UTF-8.
#include "win/code_page.h"

#include <cstring>
#include <cwchar>
#include <string>

#include "wide_text.h"

namespace {

// 0x80 to 0x9F; the five the code page leaves undefined stand for
// themselves.
const wchar_t upper_controls[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

wchar_t from_1252(unsigned char byte) {
    return byte >= 0x80 && byte < 0xA0 ? upper_controls[byte - 0x80] : static_cast<wchar_t>(byte);
}

int to_1252(wchar_t character) {
    if (character < 0x80 || (character >= 0xA0 && character <= 0xFF)) return character;
    for (int i = 0; i < 32; ++i)
        if (upper_controls[i] == character) return 0x80 + i;
    return -1;
}

bool known(UINT code_page) {
    return code_page == CP_ACP || code_page == CP_WINDOWS_1252 || code_page == CP_UTF8;
}

template <typename Char>
int copy_out(const std::basic_string<Char>& text, Char* out, int out_size) {
    if (out_size == 0) return static_cast<int>(text.size());
    if (static_cast<size_t>(out_size) < text.size()) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::memcpy(out, text.data(), text.size() * sizeof(Char));
    return static_cast<int>(text.size());
}

}  // namespace

UINT GetACP() {
    return CP_WINDOWS_1252;
}

int MultiByteToWideChar(UINT code_page, DWORD, LPCSTR text, int length, LPWSTR out, int out_size) {
    if (!known(code_page) || !text || length < -1 || out_size < 0 || (out_size && !out)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const size_t count = length == -1 ? std::strlen(text) + 1 : static_cast<size_t>(length);
    std::wstring wide;
    if (code_page == CP_UTF8) {
        wide = win_detail::from_utf8(std::string_view(text, count));
    } else {
        for (size_t i = 0; i < count; ++i) wide += from_1252(static_cast<unsigned char>(text[i]));
    }
    return copy_out(wide, out, out_size);
}

int WideCharToMultiByte(UINT code_page, DWORD, LPCWSTR text, int length, LPSTR out, int out_size,
                        LPCSTR default_char, BOOL* used_default) {
    if (!known(code_page) || !text || length < -1 || out_size < 0 || (out_size && !out)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const size_t count = length == -1 ? std::wcslen(text) + 1 : static_cast<size_t>(length);
    std::string bytes;
    if (used_default) *used_default = FALSE;
    if (code_page == CP_UTF8) {
        bytes = win_detail::to_utf8(std::wstring_view(text, count));
    } else {
        for (size_t i = 0; i < count; ++i) {
            const int byte = to_1252(text[i]);
            if (byte >= 0) {
                bytes += static_cast<char>(byte);
                continue;
            }
            bytes += default_char && *default_char ? *default_char : '?';
            if (used_default) *used_default = TRUE;
        }
    }
    return copy_out(bytes, out, out_size);
}

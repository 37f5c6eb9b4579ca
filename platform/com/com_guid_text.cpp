// Class and interface identifiers as text, in the registry's braced form.
#include <cwchar>
#include <string>

#include "com_internal.h"

namespace {

constexpr size_t text_length = 38;  // without the terminator

int hex_digit(wchar_t c) {
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    return -1;
}

// Reads count hexadecimal digits at text[at]; false for anything else.
bool read_hex(const wchar_t* text, size_t at, int count, unsigned long long* value) {
    *value = 0;
    for (int i = 0; i < count; ++i) {
        const int digit = hex_digit(text[at + static_cast<size_t>(i)]);
        if (digit < 0) return false;
        *value = *value * 16 + static_cast<unsigned>(digit);
    }
    return true;
}

// The length of a text, looking no further than one character past the
// identifier's length.
size_t bounded_length(LPCOLESTR text) {
    size_t length = 0;
    while (length <= text_length && text[length]) ++length;
    return length;
}

bool parse_guid(LPCOLESTR text, GUID* out) {
    if (bounded_length(text) != text_length || text[0] != L'{' || text[37] != L'}' ||
        text[9] != L'-' || text[14] != L'-' || text[19] != L'-' || text[24] != L'-')
        return false;
    unsigned long long value = 0;
    GUID guid{};
    if (!read_hex(text, 1, 8, &value)) return false;
    guid.Data1 = static_cast<DWORD>(value);
    if (!read_hex(text, 10, 4, &value)) return false;
    guid.Data2 = static_cast<WORD>(value);
    if (!read_hex(text, 15, 4, &value)) return false;
    guid.Data3 = static_cast<WORD>(value);
    static const size_t byte_at[8] = {20, 22, 25, 27, 29, 31, 33, 35};
    for (int i = 0; i < 8; ++i) {
        if (!read_hex(text, byte_at[i], 2, &value)) return false;
        guid.Data4[i] = static_cast<BYTE>(value);
    }
    *out = guid;
    return true;
}

HRESULT guid_from_string(LPCOLESTR text, GUID* out, HRESULT malformed) {
    if (!out) return E_INVALIDARG;
    *out = GUID_NULL;
    if (!text) return S_OK;
    return parse_guid(text, out) ? S_OK : malformed;
}

HRESULT allocated_text(REFGUID guid, LPOLESTR* out) {
    if (!out) return E_INVALIDARG;
    *out = static_cast<LPOLESTR>(CoTaskMemAlloc((text_length + 1) * sizeof(OLECHAR)));
    if (!*out) return E_OUTOFMEMORY;
    StringFromGUID2(guid, *out, static_cast<int>(text_length + 1));
    return S_OK;
}

}  // namespace

namespace win_com {

std::wstring guid_text(REFGUID guid) {
    wchar_t text[text_length + 1];
    std::swprintf(text, text_length + 1, L"{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                  static_cast<unsigned>(guid.Data1), guid.Data2, guid.Data3, guid.Data4[0],
                  guid.Data4[1], guid.Data4[2], guid.Data4[3], guid.Data4[4], guid.Data4[5],
                  guid.Data4[6], guid.Data4[7]);
    return text;
}

}  // namespace win_com

int StringFromGUID2(REFGUID guid, LPOLESTR text, int max_count) {
    if (!text || max_count < static_cast<int>(text_length + 1)) return 0;
    const std::wstring formatted = win_com::guid_text(guid);
    std::wmemcpy(text, formatted.c_str(), text_length + 1);
    return static_cast<int>(text_length + 1);
}

HRESULT StringFromCLSID(REFCLSID clsid, LPOLESTR* text) {
    return allocated_text(clsid, text);
}

HRESULT StringFromIID(REFIID iid, LPOLESTR* text) {
    return allocated_text(iid, text);
}

HRESULT CLSIDFromString(LPCOLESTR text, LPCLSID clsid) {
    return guid_from_string(text, clsid, CO_E_CLASSSTRING);
}

HRESULT IIDFromString(LPCOLESTR text, LPIID iid) {
    return guid_from_string(text, iid, E_INVALIDARG);
}

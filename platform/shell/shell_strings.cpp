// Strings that folders hand out: task-allocated copies and STRRET records.
#include <cstring>
#include <cwchar>

#include "win/code_page.h"
#include "win/shell_folder2.h"

HRESULT SHStrDupW(LPCWSTR text, LPWSTR* copy) {
    if (!copy) return E_INVALIDARG;
    *copy = nullptr;
    if (!text) return E_INVALIDARG;
    const size_t bytes = (std::wcslen(text) + 1) * sizeof(WCHAR);
    *copy = static_cast<LPWSTR>(CoTaskMemAlloc(bytes));
    if (!*copy) return E_OUTOFMEMORY;
    std::memcpy(*copy, text, bytes);
    return S_OK;
}

namespace {

// Characters of the ANSI code page, at most `limit` bytes of them.
HRESULT from_ansi(const char* text, size_t limit, LPWSTR* out) {
    const size_t length = strnlen(text, limit);
    const int units = MultiByteToWideChar(CP_ACP, 0, text, static_cast<int>(length), nullptr, 0);
    auto* wide = static_cast<LPWSTR>(CoTaskMemAlloc((units + 1) * sizeof(WCHAR)));
    if (!wide) return E_OUTOFMEMORY;
    MultiByteToWideChar(CP_ACP, 0, text, static_cast<int>(length), wide, units);
    wide[units] = L'\0';
    *out = wide;
    return S_OK;
}

}  // namespace

HRESULT StrRetToStrW(STRRET* name, PCUITEMID_CHILD list, LPWSTR* text) {
    if (!text) return E_INVALIDARG;
    *text = nullptr;
    if (!name) return E_INVALIDARG;
    switch (name->uType) {
        case STRRET_WSTR:
            if (!name->pOleStr) return E_INVALIDARG;
            *text = name->pOleStr;
            name->pOleStr = nullptr;
            return S_OK;
        case STRRET_CSTR:
            return from_ansi(name->cStr, sizeof name->cStr, text);
        case STRRET_OFFSET: {
            if (!list) return E_INVALIDARG;
            WORD size = 0;
            std::memcpy(&size, list, sizeof size);
            if (name->uOffset >= size) return E_INVALIDARG;
            const char* start = reinterpret_cast<const char*>(list) + name->uOffset;
            return from_ansi(start, size - name->uOffset, text);
        }
        default:
            return E_INVALIDARG;
    }
}

// The shell's property sheet of a selection: the pages of the handlers
// registered for its class keys.

#include <string>
#include <vector>

#include "win/clipboard.h"
#include "win/com.h"
#include "win/shell_dragdrop.h"
#include "win/shell_propsheet.h"

namespace {

struct handler_entry {
    CLSID clsid;
    HKEY key;  // where it was found; null for the default class
};

// A subkey's default value as text; empty when it has none.
std::wstring default_text(HKEY key, const wchar_t* subkey) {
    HKEY opened = nullptr;
    if (RegOpenKeyExW(key, subkey, 0, KEY_READ, &opened) != ERROR_SUCCESS) return L"";
    DWORD type = 0, size = 0;
    std::wstring text;
    if (RegQueryValueExW(opened, nullptr, nullptr, &type, nullptr, &size) == ERROR_SUCCESS &&
        type == REG_SZ && size >= sizeof(wchar_t)) {
        std::vector<wchar_t> data(size / sizeof(wchar_t) + 1, L'\0');
        if (RegQueryValueExW(opened, nullptr, nullptr, &type, reinterpret_cast<LPBYTE>(data.data()),
                             &size) == ERROR_SUCCESS)
            text = data.data();
    }
    RegCloseKey(opened);
    return text;
}

void add_handlers_of(HKEY key, std::vector<handler_entry>& found) {
    HKEY handlers = nullptr;
    if (RegOpenKeyExW(key, L"shellex\\PropertySheetHandlers", 0, KEY_READ, &handlers) !=
        ERROR_SUCCESS)
        return;
    for (DWORD index = 0;; ++index) {
        wchar_t name[256];
        DWORD length = 256;
        if (RegEnumKeyExW(handlers, index, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        CLSID clsid{};
        if (FAILED(CLSIDFromString(name, &clsid))) {
            const std::wstring value = default_text(handlers, name);
            if (value.empty() || FAILED(CLSIDFromString(value.c_str(), &clsid))) continue;
        }
        bool known = false;
        for (const handler_entry& entry : found) known = known || entry.clsid == clsid;
        if (!known) found.push_back({clsid, key});
    }
    RegCloseKey(handlers);
}

BOOL CALLBACK take_page(HPROPSHEETPAGE page, LPARAM parameter) {
    auto* pages = reinterpret_cast<std::vector<HPROPSHEETPAGE>*>(parameter);
    if (!page || pages->size() >= MAXPROPPAGES) return FALSE;
    pages->push_back(page);
    return TRUE;
}

// The name of the first file the data object carries.
std::wstring first_file_name(IDataObject* data) {
    if (!data) return L"";
    FORMATETC format{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium{};
    if (FAILED(data->GetData(&format, &medium))) return L"";
    std::wstring name;
    const auto drop = static_cast<HDROP>(medium.hGlobal);
    const UINT length = DragQueryFileW(drop, 0, nullptr, 0);
    if (length > 0) {
        std::wstring path(length + 1, L'\0');
        DragQueryFileW(drop, 0, path.data(), length + 1);
        path.resize(length);
        const size_t cut = path.find_last_of(L"\\/");
        name = cut == std::wstring::npos ? path : path.substr(cut + 1);
    }
    ReleaseStgMedium(&medium);
    return name;
}

}  // namespace

BOOL SHOpenPropSheetW(LPCWSTR caption, HKEY keys[], UINT key_count, const CLSID* default_class,
                      IDataObject* data, IShellBrowser*, LPCWSTR start_page) {
    std::vector<handler_entry> handlers;
    if (default_class) handlers.push_back({*default_class, nullptr});
    for (UINT i = 0; keys && i < key_count; ++i)
        if (keys[i]) add_handlers_of(keys[i], handlers);

    std::vector<HPROPSHEETPAGE> pages;
    std::vector<IShellPropSheetExt*> extensions;
    for (const handler_entry& entry : handlers) {
        IShellPropSheetExt* extension = nullptr;
        if (FAILED(CoCreateInstance(entry.clsid, nullptr, CLSCTX_INPROC_SERVER,
                                    IID_IShellPropSheetExt, reinterpret_cast<void**>(&extension))))
            continue;
        IShellExtInit* init = nullptr;
        if (SUCCEEDED(
                extension->QueryInterface(IID_IShellExtInit, reinterpret_cast<void**>(&init)))) {
            const HRESULT initialised = init->Initialize(nullptr, data, entry.key);
            init->Release();
            if (FAILED(initialised)) {
                extension->Release();
                continue;
            }
        }
        extension->AddPages(take_page, reinterpret_cast<LPARAM>(&pages));
        extensions.push_back(extension);
    }

    BOOL shown = FALSE;
    if (!pages.empty()) {
        const std::wstring title = caption ? caption : first_file_name(data);
        PROPSHEETHEADERW header{};
        header.dwSize = sizeof header;
        header.dwFlags = PSH_PROPTITLE | (start_page ? PSH_USEPSTARTPAGE : 0);
        header.pszCaption = title.c_str();
        header.nPages = static_cast<UINT>(pages.size());
        if (start_page) header.pStartPage = start_page;
        header.phpage = pages.data();
        shown = PropertySheetW(&header) >= 0 ? TRUE : FALSE;
    }
    for (IShellPropSheetExt* extension : extensions) extension->Release();
    return shown;
}

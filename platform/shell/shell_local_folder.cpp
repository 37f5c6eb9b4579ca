// Local folders as shell folders: parsing their files' names and handing
// the files out as a dropped-files data object.
#include "shell_local_folder.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <vector>

#include "com/counted_object.h"
#include "kernel/wide_text.h"
#include "win/clipboard.h"
#include "win/data_object.h"
#include "win/file.h"
#include "win/shell_dragdrop.h"

namespace {

constexpr BYTE path_kind = 0x31;
constexpr BYTE name_kind = 0x32;
constexpr BYTE network_kind = 0x33;
constexpr size_t header_size = 4;  // size, kind, zero

bool is_separator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

// The path in the system's form ("\" between names), without a trailing
// separator; a lone root stays "\".
std::wstring system_form(const std::wstring& text) {
    std::wstring out;
    for (wchar_t c : text) {
        if (is_separator(c)) {
            if (out.empty() || out.back() != L'\\') out += L'\\';
        } else {
            out += c;
        }
    }
    while (out.size() > 1 && out.back() == L'\\') out.pop_back();
    return out;
}

LPITEMIDLIST make_element(BYTE kind, const std::wstring& text) {
    const std::string utf8 = win_detail::to_utf8(text);
    const size_t element = header_size + utf8.size() + 1;
    if (element > 0xFFFF - sizeof(WORD)) return nullptr;
    auto* out = static_cast<BYTE*>(CoTaskMemAlloc(element + sizeof(WORD)));
    if (!out) return nullptr;
    const WORD size = static_cast<WORD>(element);
    std::memcpy(out, &size, sizeof size);
    out[2] = kind;
    out[3] = 0;
    std::memcpy(out + header_size, utf8.c_str(), utf8.size() + 1);
    std::memset(out + element, 0, sizeof(WORD));
    return reinterpret_cast<LPITEMIDLIST>(out);
}

// The text of the list's first element when it is of that kind and well
// formed: its text ends with the element's last byte, a NUL, and holds no
// other.
std::optional<std::wstring> read_element(LPCITEMIDLIST list, BYTE kind) {
    if (!list || ILIsEmpty(list)) return std::nullopt;
    const auto* bytes = reinterpret_cast<const BYTE*>(list);
    WORD size = 0;
    std::memcpy(&size, bytes, sizeof size);
    if (size < header_size + 1 || bytes[2] != kind || bytes[3] != 0) return std::nullopt;
    const char* text = reinterpret_cast<const char*>(bytes + header_size);
    const size_t length = size - header_size - 1;
    if (text[length] != '\0' || std::strlen(text) != length) return std::nullopt;
    return win_detail::from_utf8(std::string(text, length));
}

// A list's bytes with its terminating zero size.
std::vector<BYTE> list_bytes(LPCITEMIDLIST list) {
    const auto* bytes = reinterpret_cast<const BYTE*>(list);
    return std::vector<BYTE>(bytes, bytes + ILGetSize(list));
}

DWORD attributes_of(const std::wstring& path) {
    return GetFileAttributesW(path.c_str());
}

// Local files as Explorer hands a selection to handlers: dropped files
// (CF_HDROP) and the items' lists ("Shell IDList Array"), in global memory.
class selected_files final : public win_platform::counted_object<IDataObject, IID_IDataObject> {
public:
    selected_files(std::vector<std::wstring> paths, win_shell::id_array lists)
        : paths_(std::move(paths)),
          lists_(std::move(lists)),
          id_list_format_(static_cast<CLIPFORMAT>(RegisterClipboardFormatW(CFSTR_SHELLIDLIST))) {}

    HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) override {
        if (!format || !medium) return E_INVALIDARG;
        const HRESULT usable = QueryGetData(format);
        if (usable != S_OK) return usable;
        medium->hGlobal = format->cfFormat == CF_HDROP ? win_shell::make_drop_files(paths_)
                                                       : win_shell::make_id_array(lists_);
        if (!medium->hGlobal) return E_OUTOFMEMORY;
        medium->tymed = TYMED_HGLOBAL;
        medium->pUnkForRelease = nullptr;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* format) override {
        if (!format) return E_INVALIDARG;
        if (format->cfFormat != CF_HDROP && format->cfFormat != id_list_format_)
            return DV_E_FORMATETC;
        if (!(format->tymed & TYMED_HGLOBAL)) return DV_E_TYMED;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override {
        if (out) out->ptd = nullptr;
        return DATA_S_SAMEFORMATETC;
    }
    HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD, IEnumFORMATETC** out) override {
        if (out) *out = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override {
        return OLE_E_ADVISENOTSUPPORTED;
    }
    HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
    HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override {
        return OLE_E_ADVISENOTSUPPORTED;
    }

private:
    const std::vector<std::wstring> paths_;
    const win_shell::id_array lists_;
    const CLIPFORMAT id_list_format_;
};

// One local folder: parses the names of what it holds and carries them in
// a data object. The rest of a folder's work is not asked of it here.
class local_folder final : public win_platform::counted_object<IShellFolder, IID_IShellFolder> {
public:
    explicit local_folder(std::wstring path) : path_(std::move(path)) {}

    HRESULT STDMETHODCALLTYPE ParseDisplayName(HWND, LPBC, LPWSTR name, ULONG* eaten,
                                               PIDLIST_RELATIVE* list, ULONG* attributes) override {
        if (!list || !name) return E_INVALIDARG;
        *list = nullptr;
        const std::wstring text = name;
        if (text.empty() || text == L"." || text == L".." ||
            text.find_first_of(L"\\/") != std::wstring::npos)
            return E_INVALIDARG;
        const DWORD found = attributes_of(child_path(text));
        if (found == INVALID_FILE_ATTRIBUTES) return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
        *list = make_element(name_kind, text);
        if (!*list) return E_OUTOFMEMORY;
        if (eaten) *eaten = static_cast<ULONG>(text.size());
        if (attributes) *attributes &= item_attributes(found);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE EnumObjects(HWND, DWORD, IEnumIDList** enumerator) override {
        if (enumerator) *enumerator = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE BindToObject(PCUIDLIST_RELATIVE, LPBC, REFIID,
                                           void** object) override {
        if (object) *object = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE BindToStorage(PCUIDLIST_RELATIVE, LPBC, REFIID,
                                            void** object) override {
        if (object) *object = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE CompareIDs(LPARAM, PCUIDLIST_RELATIVE, PCUIDLIST_RELATIVE) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE CreateViewObject(HWND, REFIID, void** object) override {
        if (object) *object = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetAttributesOf(UINT, PCUITEMID_CHILD_ARRAY, SFGAOF*) override {
        return E_NOTIMPL;
    }
    // Only a data object of one or more of its items, each a single name.
    HRESULT STDMETHODCALLTYPE GetUIObjectOf(HWND, UINT count, PCUITEMID_CHILD_ARRAY lists,
                                            REFIID iid, UINT*, void** object) override {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (iid != IID_IDataObject) return E_NOINTERFACE;
        if (count == 0 || !lists) return E_INVALIDARG;
        std::vector<std::wstring> paths;
        win_shell::id_array selection;
        for (UINT i = 0; i < count; ++i) {
            const std::optional<std::wstring> name = read_element(lists[i], name_kind);
            if (!name || !ILIsEmpty(ILGetNext(lists[i]))) return E_INVALIDARG;
            paths.push_back(child_path(*name));
            selection.items.push_back(list_bytes(lists[i]));
        }
        const LPITEMIDLIST own = make_element(path_kind, path_);
        if (!own) return E_OUTOFMEMORY;
        selection.folder = list_bytes(own);
        ILFree(own);
        *object =
            static_cast<IDataObject*>(new selected_files(std::move(paths), std::move(selection)));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDisplayNameOf(PCUITEMID_CHILD, SHGDNF, STRRET*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetNameOf(HWND, PCUITEMID_CHILD, LPCWSTR, SHGDNF,
                                        PITEMID_CHILD* new_list) override {
        if (new_list) *new_list = nullptr;
        return E_NOTIMPL;
    }

private:
    static SFGAOF item_attributes(DWORD found) {
        return SFGAO_FILESYSTEM | SFGAO_CANCOPY |
               ((found & FILE_ATTRIBUTE_DIRECTORY) ? SFGAO_FOLDER : 0u);
    }
    std::wstring child_path(const std::wstring& name) const {
        return path_ == L"\\" ? path_ + name : path_ + L"\\" + name;
    }

    const std::wstring path_;
};

}  // namespace

namespace win_shell {

bool is_local_path(const std::wstring& text) {
    return !text.empty() && is_separator(text.front());
}

HRESULT parse_local_path(const std::wstring& text, PIDLIST_RELATIVE* list, ULONG* attributes) {
    const std::wstring path = system_form(text);
    const DWORD found = attributes_of(path);
    if (found == INVALID_FILE_ATTRIBUTES) return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    *list = make_element(path_kind, path);
    if (!*list) return E_OUTOFMEMORY;
    if (attributes)
        *attributes &=
            SFGAO_FILESYSTEM |
            ((found & FILE_ATTRIBUTE_DIRECTORY) ? SFGAO_FOLDER | SFGAO_FILESYSANCESTOR : 0u);
    return S_OK;
}

std::optional<std::wstring> local_path_of(LPCITEMIDLIST list) {
    if (!list || !ILIsEmpty(ILGetNext(list))) return std::nullopt;
    return read_element(list, path_kind);
}

bool is_network_share_path(const std::wstring& text) {
    if (text.size() < 2 || !is_separator(text[0]) || !is_separator(text[1])) return false;
    size_t names = 0;
    size_t start = 2;
    while (start <= text.size()) {
        const size_t end = std::min(text.find_first_of(L"\\/", start), text.size());
        const std::wstring name = text.substr(start, end - start);
        const bool trailing = name.empty() && end == text.size() && names >= 2;
        if (!trailing && (name.empty() || name == L"." || name == L".." ||
                          name.find(L'\0') != std::wstring::npos))
            return false;
        if (!trailing) ++names;
        start = end + 1;
    }
    return names >= 2;
}

HRESULT make_network_list(const std::wstring& text, PIDLIST_ABSOLUTE* list) {
    if (!list) return E_INVALIDARG;
    *list = nullptr;
    if (!is_network_share_path(text)) return E_INVALIDARG;
    std::wstring name(2, L'\\');
    name.append(system_form(text.substr(2)));
    *list = make_element(network_kind, name);
    return *list ? S_OK : E_OUTOFMEMORY;
}

std::optional<std::wstring> network_path_of(LPCITEMIDLIST list) {
    if (!list || !ILIsEmpty(ILGetNext(list))) return std::nullopt;
    return read_element(list, network_kind);
}

bool is_local_list(LPCITEMIDLIST list) {
    return read_element(list, path_kind).has_value();
}

HRESULT bind_local_folder(LPCITEMIDLIST list, REFIID iid, void** object) {
    const std::optional<std::wstring> path = read_element(list, path_kind);
    if (!path || !ILIsEmpty(ILGetNext(list))) return E_INVALIDARG;
    const DWORD found = attributes_of(*path);
    if (found == INVALID_FILE_ATTRIBUTES) return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    if (!(found & FILE_ATTRIBUTE_DIRECTORY)) return E_INVALIDARG;
    auto* folder = new local_folder(*path);
    const HRESULT result = folder->QueryInterface(iid, object);
    folder->Release();
    return result;
}

}  // namespace win_shell

#include "shell_browser.h"

#include <algorithm>

namespace shell_host {

namespace {

std::wstring take(STRRET& name, PCUITEMID_CHILD id) {
    LPWSTR text = nullptr;
    if (FAILED(StrRetToStrW(&name, id, &text))) return {};
    std::wstring out = text;
    CoTaskMemFree(text);
    return out;
}

std::wstring guid_text(REFGUID guid) {
    wchar_t text[40];
    StringFromGUID2(guid, text, 40);
    return text;
}

}  // namespace

shell_browser::~shell_browser() {
    close();
}

void shell_browser::free_items() {
    for (listed_item& item : items_) CoTaskMemFree(item.id);
    items_.clear();
}

void shell_browser::close() {
    free_items();
    if (view_) {
        view_->DestroyViewWindow();
        view_->Release();
        view_ = nullptr;
    }
    for (auto folder = folders_.rbegin(); folder != folders_.rend(); ++folder) (*folder)->Release();
    folders_.clear();
}

HRESULT shell_browser::open(REFCLSID junction) {
    close();
    IShellFolder* desktop = nullptr;
    HRESULT result = SHGetDesktopFolder(&desktop);
    if (FAILED(result)) return result;
    std::wstring name = L"::" + guid_text(CLSID_MyComputer) + L"\\::" + guid_text(junction);
    PIDLIST_RELATIVE list = nullptr;
    result = desktop->ParseDisplayName(nullptr, nullptr, name.data(), nullptr, &list, nullptr);
    IShellFolder2* folder = nullptr;
    if (SUCCEEDED(result))
        result = desktop->BindToObject(list, nullptr, IID_IShellFolder2,
                                       reinterpret_cast<void**>(&folder));
    CoTaskMemFree(list);
    desktop->Release();
    if (FAILED(result)) return result;
    folders_.push_back(folder);
    return make_view();
}

HRESULT shell_browser::make_view() {
    if (view_) {
        view_->Release();
        view_ = nullptr;
    }
    // A folder in the trash has no view; the browser lists it all the same.
    const HRESULT result =
        folder()->CreateViewObject(nullptr, IID_IShellView, reinterpret_cast<void**>(&view_));
    return result == E_NOINTERFACE ? S_OK : result;
}

listed_item shell_browser::describe(PITEMID_CHILD id) {
    listed_item item;
    item.id = id;
    PCUITEMID_CHILD lists[] = {id};
    SFGAOF attributes = ~0u;
    if (SUCCEEDED(folder()->GetAttributesOf(1, lists, &attributes))) item.attributes = attributes;
    STRRET name{};
    if (SUCCEEDED(folder()->GetDisplayNameOf(id, SHGDN_INFOLDER, &name)))
        item.name = take(name, id);
    for (UINT column = 0;; ++column) {
        SHELLDETAILS details{};
        const HRESULT result = folder()->GetDetailsOf(id, column, &details);
        if (result == E_INVALIDARG) break;
        item.columns.push_back(SUCCEEDED(result) ? take(details.str, id) : std::wstring());
    }
    return item;
}

HRESULT shell_browser::list(DWORD flags, ULONG batch, UINT sort_column) {
    free_items();
    if (!folder()) return E_UNEXPECTED;
    IEnumIDList* enumerator = nullptr;
    HRESULT result = folder()->EnumObjects(nullptr, flags, &enumerator);
    if (result != S_OK || !enumerator) return FAILED(result) ? result : S_OK;
    std::vector<PITEMID_CHILD> got(std::max<ULONG>(batch, 1));
    for (;;) {
        ULONG fetched = 0;
        result = enumerator->Next(static_cast<ULONG>(got.size()), got.data(), &fetched);
        if (FAILED(result)) break;
        for (ULONG i = 0; i < fetched; ++i) items_.push_back(describe(got[i]));
        if (result != S_OK) break;
    }
    enumerator->Release();
    sort_column_ = sort_column;
    sort_items();
    return FAILED(result) ? result : S_OK;
}

void shell_browser::sort_items() {
    IShellFolder2* current = folder();
    std::stable_sort(items_.begin(), items_.end(), [&](const listed_item& a, const listed_item& b) {
        const HRESULT order = current->CompareIDs(sort_column_, a.id, b.id);
        return static_cast<short>(order & 0xFFFF) < 0;
    });
}

std::vector<column_heading> shell_browser::headings() {
    std::vector<column_heading> out;
    if (!folder()) return out;
    for (UINT column = 0;; ++column) {
        SHELLDETAILS details{};
        if (FAILED(folder()->GetDetailsOf(nullptr, column, &details))) break;
        out.push_back({take(details.str, nullptr), details.cxChar, details.fmt});
    }
    return out;
}

std::wstring shell_browser::display_name(size_t index, SHGDNF flags) {
    if (index >= items_.size()) return {};
    STRRET name{};
    if (FAILED(folder()->GetDisplayNameOf(items_[index].id, flags, &name))) return {};
    return take(name, items_[index].id);
}

HRESULT shell_browser::details_ex(size_t index, const SHCOLUMNID& key, VARIANT* value) {
    if (index >= items_.size()) return E_INVALIDARG;
    return folder()->GetDetailsEx(items_[index].id, &key, value);
}

std::wstring shell_browser::location() {
    if (!folder()) return {};
    IPersistFolder2* persist = nullptr;
    if (FAILED(folder()->QueryInterface(IID_IPersistFolder2, reinterpret_cast<void**>(&persist))))
        return {};
    PIDLIST_ABSOLUTE list = nullptr;
    const HRESULT result = persist->GetCurFolder(&list);
    persist->Release();
    if (FAILED(result)) return {};
    std::wstring out;
    IShellFolder* desktop = nullptr;
    if (SUCCEEDED(SHGetDesktopFolder(&desktop))) {
        STRRET name{};
        if (SUCCEEDED(
                desktop->GetDisplayNameOf(list, SHGDN_FORPARSING | SHGDN_FORADDRESSBAR, &name)))
            out = take(name, list);
        desktop->Release();
    }
    CoTaskMemFree(list);
    return out;
}

HRESULT shell_browser::enter(size_t index) {
    if (index >= items_.size()) return E_INVALIDARG;
    IShellFolder2* child = nullptr;
    const HRESULT result = folder()->BindToObject(items_[index].id, nullptr, IID_IShellFolder2,
                                                  reinterpret_cast<void**>(&child));
    if (FAILED(result)) return result;
    folders_.push_back(child);
    const HRESULT viewed = make_view();
    if (FAILED(viewed)) return viewed;
    return list();
}

HRESULT shell_browser::up() {
    if (folders_.size() <= 1) return S_FALSE;
    free_items();
    folders_.back()->Release();
    folders_.pop_back();
    const HRESULT viewed = make_view();
    if (FAILED(viewed)) return viewed;
    return list();
}

HRESULT shell_browser::read_file(size_t index, std::vector<unsigned char>& bytes) {
    bytes.clear();
    if (index >= items_.size()) return E_INVALIDARG;
    IStream* stream = nullptr;
    HRESULT result = folder()->BindToObject(items_[index].id, nullptr, IID_IStream,
                                            reinterpret_cast<void**>(&stream));
    if (FAILED(result)) return result;
    unsigned char buffer[4096];
    for (;;) {
        ULONG read = 0;
        result = stream->Read(buffer, sizeof buffer, &read);
        if (FAILED(result)) break;
        bytes.insert(bytes.end(), buffer, buffer + read);
        if (read == 0 || result == S_FALSE) break;
    }
    stream->Release();
    return FAILED(result) ? result : S_OK;
}

HRESULT shell_browser::rename(size_t index, const std::wstring& name) {
    if (index >= items_.size()) return E_INVALIDARG;
    PITEMID_CHILD renamed = nullptr;
    const HRESULT result =
        folder()->SetNameOf(nullptr, items_[index].id, name.c_str(), SHGDN_INFOLDER, &renamed);
    if (FAILED(result)) return result;
    if (renamed) {
        CoTaskMemFree(items_[index].id);
        items_[index] = describe(renamed);
        sort_items();
    }
    return S_OK;
}

}  // namespace shell_host

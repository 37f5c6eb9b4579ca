// The desktop folder: parsing "::{clsid}" names of the Computer folder and
// the junctions registered below it, and binding to such a junction.
#include <atomic>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "com/com_internal.h"
#include "shell_local_folder.h"
#include "win/registry.h"
#include "win/shell_folder.h"
#include "win/shell_folder2.h"

namespace {

// One element of the stand-in's own item ids.
#pragma pack(push, 1)
struct namespace_item {
    WORD cb;
    BYTE kind;
    BYTE zero;
    GUID clsid;
};
#pragma pack(pop)
static_assert(sizeof(namespace_item) == 20);

constexpr BYTE computer_kind = 0x1F;
constexpr BYTE junction_kind = 0x2E;

const wchar_t* const junction_keys =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\MyComputer\\NameSpace\\";

namespace_item make_item(BYTE kind, REFCLSID clsid) {
    return {static_cast<WORD>(sizeof(namespace_item)), kind, 0, clsid};
}

// The element at the start of list when it is one of ours of that kind.
std::optional<GUID> read_item(LPCITEMIDLIST list, BYTE kind) {
    if (ILIsEmpty(list)) return std::nullopt;
    namespace_item item;
    std::memcpy(&item.cb, list, sizeof item.cb);
    if (item.cb != sizeof item) return std::nullopt;
    std::memcpy(&item, list, sizeof item);
    if (item.kind != kind || item.zero != 0) return std::nullopt;
    return item.clsid;
}

bool junction_registered(REFCLSID clsid) {
    HKEY key = nullptr;
    const std::wstring name = junction_keys + win_com::guid_text(clsid);
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, name.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

DWORD registered_attributes(REFCLSID clsid) {
    const std::wstring name = L"CLSID\\" + win_com::guid_text(clsid) + L"\\ShellFolder";
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, name.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return 0;
    DWORD value = 0, type = 0, size = sizeof value;
    const LONG status = RegQueryValueExW(key, L"Attributes", nullptr, &type,
                                         reinterpret_cast<BYTE*>(&value), &size);
    RegCloseKey(key);
    return status == ERROR_SUCCESS && type == REG_DWORD && size == sizeof value ? value : 0;
}

// Reads "::{clsid}" at the start of text; the rest follows in *rest.
std::optional<GUID> read_class_name(const std::wstring& text, size_t at, size_t* rest) {
    constexpr size_t length = 2 + 38;
    if (at > text.size() || text.size() - at < length || text.compare(at, 2, L"::") != 0)
        return std::nullopt;
    const std::wstring braced = text.substr(at + 2, 38);
    GUID clsid{};
    if (FAILED(CLSIDFromString(braced.c_str(), &clsid))) return std::nullopt;
    *rest = at + length;
    return clsid;
}

// A task-allocated list of the given elements.
LPITEMIDLIST make_list(const std::vector<namespace_item>& items) {
    const size_t size = items.size() * sizeof(namespace_item) + sizeof(WORD);
    auto* out = static_cast<BYTE*>(CoTaskMemAlloc(size));
    if (!out) return nullptr;
    if (!items.empty()) std::memcpy(out, items.data(), items.size() * sizeof(namespace_item));
    std::memset(out + size - sizeof(WORD), 0, sizeof(WORD));
    return reinterpret_cast<LPITEMIDLIST>(out);
}

template <typename T>
class com_ptr {
public:
    com_ptr() = default;
    ~com_ptr() {
        if (p_) p_->Release();
    }
    com_ptr(const com_ptr&) = delete;
    com_ptr& operator=(const com_ptr&) = delete;
    T** out() { return &p_; }
    void** out_void() { return reinterpret_cast<void**>(&p_); }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }

private:
    T* p_ = nullptr;
};

// The junction, created and initialised with its absolute list.
HRESULT create_junction(REFCLSID clsid, com_ptr<IUnknown>* junction) {
    if (!junction_registered(clsid)) return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    HRESULT result =
        CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, junction->out_void());
    if (FAILED(result)) return result;
    com_ptr<IPersistFolder> persist;
    if (FAILED((*junction)->QueryInterface(IID_IPersistFolder, persist.out_void()))) return S_OK;
    LPITEMIDLIST absolute =
        make_list({make_item(computer_kind, CLSID_MyComputer), make_item(junction_kind, clsid)});
    if (!absolute) return E_OUTOFMEMORY;
    result = persist->Initialize(absolute);
    ILFree(absolute);
    return FAILED(result) ? result : S_OK;
}

class desktop_folder final : public IShellFolder, public IPersist {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IShellFolder) {
            *object = static_cast<IShellFolder*>(this);
        } else if (iid == IID_IPersist) {
            *object = static_cast<IPersist*>(this);
        } else {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --references_;
        if (left == 0) delete this;
        return left;
    }

    HRESULT STDMETHODCALLTYPE GetClassID(CLSID* clsid) override {
        if (!clsid) return E_POINTER;
        *clsid = CLSID_ShellDesktop;
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE ParseDisplayName(HWND owner, LPBC context, LPWSTR name, ULONG* eaten,
                                               PIDLIST_RELATIVE* list, ULONG* attributes) override {
        if (!list || !name) return E_INVALIDARG;
        *list = nullptr;
        const std::wstring text = name;
        if (win_shell::is_local_path(text)) {
            const HRESULT result = win_shell::parse_local_path(text, list, attributes);
            if (SUCCEEDED(result) && eaten) *eaten = static_cast<ULONG>(text.size());
            return result;
        }
        size_t at = 0;
        const std::optional<GUID> first = read_class_name(text, 0, &at);
        if (!first) return E_INVALIDARG;
        if (*first != CLSID_MyComputer) return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
        if (at == text.size()) {
            if (attributes)
                *attributes &= SFGAO_FOLDER | SFGAO_HASSUBFOLDER | SFGAO_FILESYSANCESTOR;
            return finish(text, eaten, list, {make_item(computer_kind, CLSID_MyComputer)});
        }
        if (text[at] != L'\\') return E_INVALIDARG;
        const std::optional<GUID> junction = read_class_name(text, at + 1, &at);
        if (!junction) return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
        if (!junction_registered(*junction)) return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
        const std::vector<namespace_item> items{make_item(computer_kind, CLSID_MyComputer),
                                                make_item(junction_kind, *junction)};
        if (at == text.size()) {
            if (attributes) *attributes &= registered_attributes(*junction);
            return finish(text, eaten, list, items);
        }
        if (text[at] != L'\\') return E_INVALIDARG;
        return parse_below(owner, context, *junction, text.substr(at + 1), items, text, eaten, list,
                           attributes);
    }

    HRESULT STDMETHODCALLTYPE BindToObject(PCUIDLIST_RELATIVE list, LPBC context, REFIID iid,
                                           void** object) override {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (win_shell::is_local_list(list)) return win_shell::bind_local_folder(list, iid, object);
        if (!read_item(list, computer_kind)) return E_INVALIDARG;
        LPCITEMIDLIST below = ILGetNext(list);
        if (!below) return E_NOTIMPL;
        const std::optional<GUID> clsid = read_item(below, junction_kind);
        if (!clsid) return E_INVALIDARG;
        com_ptr<IUnknown> junction;
        const HRESULT result = create_junction(*clsid, &junction);
        if (FAILED(result)) return result;
        LPCITEMIDLIST deeper = ILGetNext(below);
        if (!deeper) return junction->QueryInterface(iid, object);
        com_ptr<IShellFolder> folder;
        if (FAILED(junction->QueryInterface(IID_IShellFolder, folder.out_void())))
            return E_NOINTERFACE;
        return folder->BindToObject(deeper, context, iid, object);
    }

    HRESULT STDMETHODCALLTYPE EnumObjects(HWND, DWORD, IEnumIDList** enumerator) override {
        if (enumerator) *enumerator = nullptr;
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
    HRESULT STDMETHODCALLTYPE GetUIObjectOf(HWND, UINT, PCUITEMID_CHILD_ARRAY, REFIID, UINT*,
                                            void** object) override {
        if (object) *object = nullptr;
        return E_NOTIMPL;
    }
    // The Computer folder and a junction below it are named here: for
    // parsing by their "::{clsid}" path, else by their names. Deeper items
    // are the junction's to name.
    HRESULT STDMETHODCALLTYPE GetDisplayNameOf(PCUITEMID_CHILD list, SHGDNF flags,
                                               STRRET* name) override {
        if (!name) return E_INVALIDARG;
        if (!read_item(list, computer_kind)) return E_INVALIDARG;
        const bool for_parsing = (flags & SHGDN_FORPARSING) && !(flags & SHGDN_INFOLDER);
        const std::wstring computer = L"::" + win_com::guid_text(CLSID_MyComputer);
        LPCITEMIDLIST below = ILGetNext(list);
        if (!below) return hand_out(for_parsing ? computer : L"Computer", name);
        const std::optional<GUID> clsid = read_item(below, junction_kind);
        if (!clsid) return E_INVALIDARG;
        LPCITEMIDLIST deeper = ILGetNext(below);
        if (!deeper) {
            if (!junction_registered(*clsid)) return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
            if (for_parsing) return hand_out(computer + L"\\::" + win_com::guid_text(*clsid), name);
            return hand_out(class_name(*clsid), name);
        }
        com_ptr<IUnknown> junction;
        HRESULT result = create_junction(*clsid, &junction);
        if (FAILED(result)) return result;
        com_ptr<IShellFolder> folder;
        if (FAILED(junction->QueryInterface(IID_IShellFolder, folder.out_void())))
            return E_NOINTERFACE;
        return folder->GetDisplayNameOf(deeper, flags, name);
    }
    HRESULT STDMETHODCALLTYPE SetNameOf(HWND, PCUITEMID_CHILD, LPCWSTR, SHGDNF,
                                        PITEMID_CHILD* new_list) override {
        if (new_list) *new_list = nullptr;
        return E_NOTIMPL;
    }

private:
    static HRESULT hand_out(const std::wstring& text, STRRET* name) {
        name->uType = STRRET_WSTR;
        return SHStrDupW(text.c_str(), &name->pOleStr);
    }

    // The class's name as registered (its key's default value), else its
    // identifier.
    static std::wstring class_name(REFCLSID clsid) {
        const std::wstring key_name = L"CLSID\\" + win_com::guid_text(clsid);
        HKEY key = nullptr;
        wchar_t text[MAX_PATH] = {};
        DWORD size = sizeof text - sizeof(wchar_t), type = 0;
        LONG status = RegOpenKeyExW(HKEY_CLASSES_ROOT, key_name.c_str(), 0, KEY_QUERY_VALUE, &key);
        if (status == ERROR_SUCCESS) {
            status = RegQueryValueExW(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(text),
                                      &size);
            RegCloseKey(key);
        }
        if (status != ERROR_SUCCESS || type != REG_SZ || text[0] == L'\0')
            return L"::" + win_com::guid_text(clsid);
        return text;
    }

    static HRESULT finish(const std::wstring& text, ULONG* eaten, PIDLIST_RELATIVE* list,
                          const std::vector<namespace_item>& items) {
        *list = make_list(items);
        if (!*list) return E_OUTOFMEMORY;
        if (eaten) *eaten = static_cast<ULONG>(text.size());
        return S_OK;
    }

    // The rest of a name below a junction is the junction's to parse.
    static HRESULT parse_below(HWND owner, LPBC context, REFCLSID clsid, std::wstring rest,
                               const std::vector<namespace_item>& items, const std::wstring& text,
                               ULONG* eaten, PIDLIST_RELATIVE* list, ULONG* attributes) {
        com_ptr<IUnknown> junction;
        HRESULT result = create_junction(clsid, &junction);
        if (FAILED(result)) return result;
        com_ptr<IShellFolder> folder;
        if (FAILED(junction->QueryInterface(IID_IShellFolder, folder.out_void())))
            return E_NOINTERFACE;
        PIDLIST_RELATIVE below = nullptr;
        ULONG eaten_below = 0;
        result =
            folder->ParseDisplayName(owner, context, rest.data(), &eaten_below, &below, attributes);
        if (FAILED(result)) return result;
        LPITEMIDLIST head = make_list(items);
        *list = head ? ILCombine(head, below) : nullptr;
        ILFree(head);
        ILFree(below);
        if (!*list) return E_OUTOFMEMORY;
        if (eaten) *eaten = static_cast<ULONG>(text.size());
        return S_OK;
    }

    std::atomic<ULONG> references_{1};
};

}  // namespace

HRESULT SHGetDesktopFolder(IShellFolder** folder) {
    if (!folder) return E_INVALIDARG;
    *folder = new desktop_folder;
    return S_OK;
}

HRESULT SHParseDisplayName(LPCWSTR name, IBindCtx* context, PIDLIST_ABSOLUTE* list, SFGAOF asked,
                           SFGAOF* attributes) {
    if (!list) return E_INVALIDARG;
    *list = nullptr;
    if (!name) return E_INVALIDARG;
    desktop_folder* desktop = new desktop_folder;
    std::wstring text = name;
    ULONG found = asked;
    const HRESULT result = desktop->ParseDisplayName(nullptr, context, text.data(), nullptr, list,
                                                     attributes ? &found : nullptr);
    desktop->Release();
    if (attributes) *attributes = SUCCEEDED(result) ? found : 0;
    return result;
}

HRESULT SHGetMalloc(LPMALLOC* allocator) {
    return CoGetMalloc(MEMCTX_TASK, allocator);
}

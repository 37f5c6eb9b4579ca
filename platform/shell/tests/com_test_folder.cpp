// An in-process server for the COM and desktop-folder tests: one class, a
// namespace folder that answers IPersistFolder and IShellFolder, with an
// enumerator. The test steers it through values under HKEY_CURRENT_USER
// "Software\Calvimora Tests\Folder" and reads back what it saw there:
//   "CreateInstance", "Initialize", "EnumObjects"  HRESULTs to answer (S_OK)
//   "Items"        how many items the enumerator hands out (2)
//   "Initialized"  written: the item-id list Initialize was given
// Item ids of the folder's items: 2-byte size, 'T', the item's number.
#include <algorithm>
#include <atomic>
#include <cstring>
#include <string>
#include <vector>

#include "win/registry.h"
#include "win/shell_folder.h"
#include "win/shell_folder2.h"

namespace {

// {6F1E3C52-9B0A-4D7E-8C11-2A5B7D9E0F13}
constexpr CLSID folder_class{
    0x6F1E3C52, 0x9B0A, 0x4D7E, {0x8C, 0x11, 0x2A, 0x5B, 0x7D, 0x9E, 0x0F, 0x13}};

const wchar_t* const settings_key = L"Software\\Calvimora Tests\\Folder";

std::atomic<long> live_objects{0};
std::atomic<long> server_locks{0};

DWORD setting(const wchar_t* name, DWORD fallback) {
    HKEY key = nullptr;
    if (RegOpenKeyW(HKEY_CURRENT_USER, settings_key, &key) != ERROR_SUCCESS) return fallback;
    DWORD value = 0, type = 0, size = sizeof value;
    const LONG status =
        RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
    RegCloseKey(key);
    return status == ERROR_SUCCESS && type == REG_DWORD ? value : fallback;
}

void remember_list(LPCITEMIDLIST list) {
    HKEY key = nullptr;
    if (RegCreateKeyW(HKEY_CURRENT_USER, settings_key, &key) != ERROR_SUCCESS) return;
    RegSetValueExW(key, L"Initialized", 0, REG_BINARY, reinterpret_cast<const BYTE*>(list),
                   ILGetSize(list));
    RegCloseKey(key);
}

// A relative list of one element holding the bytes after the size field.
LPITEMIDLIST make_item(const std::vector<BYTE>& payload) {
    const WORD size = static_cast<WORD>(2 + payload.size());
    auto* out = static_cast<BYTE*>(CoTaskMemAlloc(size + 2u));
    if (!out) return nullptr;
    std::memcpy(out, &size, 2);
    std::memcpy(out + 2, payload.data(), payload.size());
    out[size] = out[size + 1] = 0;
    return reinterpret_cast<LPITEMIDLIST>(out);
}

// Counts itself among the server's live objects.
class counted {
public:
    counted() { ++live_objects; }
    ~counted() { --live_objects; }
    counted(const counted&) = delete;
    counted& operator=(const counted&) = delete;

protected:
    std::atomic<ULONG> references_{1};
};

class item_enumerator final : public IEnumIDList, counted {
public:
    explicit item_enumerator(DWORD count) : count_(count) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        if (iid != IID_IUnknown && iid != IID_IEnumIDList) {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        *object = static_cast<IEnumIDList*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --references_;
        if (left == 0) delete this;
        return left;
    }

    HRESULT STDMETHODCALLTYPE Next(ULONG count, PITEMID_CHILD* lists, ULONG* fetched) override {
        if (!lists || (!fetched && count != 1)) return E_POINTER;
        ULONG done = 0;
        for (; done < count && next_ < count_; ++done, ++next_) {
            lists[done] = make_item({'T', static_cast<BYTE>(next_)});
            if (!lists[done]) return E_OUTOFMEMORY;
        }
        if (fetched) *fetched = done;
        return done == count ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override {
        next_ = std::min<DWORD>(count_, next_ + count);
        return next_ < count_ ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Reset() override {
        next_ = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Clone(IEnumIDList** copy) override {
        if (!copy) return E_POINTER;
        auto* clone = new item_enumerator(count_);
        clone->next_ = next_;
        *copy = clone;
        return S_OK;
    }

private:
    DWORD count_;
    DWORD next_ = 0;
};

class test_folder final : public IShellFolder, public IPersistFolder, counted {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IShellFolder) {
            *object = static_cast<IShellFolder*>(this);
        } else if (iid == IID_IPersist || iid == IID_IPersistFolder) {
            *object = static_cast<IPersistFolder*>(this);
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
        *clsid = folder_class;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Initialize(PCIDLIST_ABSOLUTE list) override {
        remember_list(list);
        return static_cast<HRESULT>(setting(L"Initialize", S_OK));
    }

    // A name below the folder becomes one element holding its characters.
    HRESULT STDMETHODCALLTYPE ParseDisplayName(HWND, LPBC, LPWSTR name, ULONG* eaten,
                                               PIDLIST_RELATIVE* list, ULONG*) override {
        if (!name || !list) return E_INVALIDARG;
        std::vector<BYTE> payload;
        for (const wchar_t* c = name; *c; ++c) payload.push_back(static_cast<BYTE>(*c));
        *list = make_item(payload);
        if (eaten) *eaten = static_cast<ULONG>(payload.size());
        return *list ? S_OK : E_OUTOFMEMORY;
    }
    HRESULT STDMETHODCALLTYPE EnumObjects(HWND, DWORD, IEnumIDList** enumerator) override {
        if (!enumerator) return E_POINTER;
        *enumerator = nullptr;
        const auto result = static_cast<HRESULT>(setting(L"EnumObjects", S_OK));
        if (result != S_OK) return result;
        *enumerator = new item_enumerator(setting(L"Items", 2));
        return S_OK;
    }
    // Every folder below is another of these.
    HRESULT STDMETHODCALLTYPE BindToObject(PCUIDLIST_RELATIVE, LPBC, REFIID iid,
                                           void** object) override {
        auto* child = new test_folder;
        const HRESULT result = child->QueryInterface(iid, object);
        child->Release();
        return result;
    }
    HRESULT STDMETHODCALLTYPE BindToStorage(PCUIDLIST_RELATIVE, LPBC, REFIID, void**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE CompareIDs(LPARAM, PCUIDLIST_RELATIVE, PCUIDLIST_RELATIVE) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE CreateViewObject(HWND, REFIID, void**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetAttributesOf(UINT, PCUITEMID_CHILD_ARRAY, SFGAOF*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetUIObjectOf(HWND, UINT, PCUITEMID_CHILD_ARRAY, REFIID, UINT*,
                                            void**) override {
        return E_NOTIMPL;
    }
    // An element's name is its characters, with "parsed:" before it when
    // asked for parsing.
    HRESULT STDMETHODCALLTYPE GetDisplayNameOf(PCUITEMID_CHILD list, SHGDNF flags,
                                               STRRET* name) override {
        if (!list || !name) return E_INVALIDARG;
        WORD size = 0;
        std::memcpy(&size, list, sizeof size);
        std::wstring text = (flags & SHGDN_FORPARSING) ? L"parsed:" : L"";
        const auto* bytes = reinterpret_cast<const BYTE*>(list);
        for (WORD i = sizeof size; i < size; ++i) text += static_cast<wchar_t>(bytes[i]);
        name->uType = STRRET_WSTR;
        return SHStrDupW(text.c_str(), &name->pOleStr);
    }
    HRESULT STDMETHODCALLTYPE SetNameOf(HWND, PCUITEMID_CHILD, LPCWSTR, SHGDNF,
                                        PITEMID_CHILD*) override {
        return E_NOTIMPL;
    }
};

class folder_factory final : public IClassFactory, counted {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        if (iid != IID_IUnknown && iid != IID_IClassFactory) {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        *object = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --references_;
        if (left == 0) delete this;
        return left;
    }

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        const auto refused = static_cast<HRESULT>(setting(L"CreateInstance", S_OK));
        if (FAILED(refused)) return refused;
        auto* folder = new test_folder;
        const HRESULT result = folder->QueryInterface(iid, object);
        folder->Release();
        return result;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        server_locks += lock ? 1 : -1;
        return S_OK;
    }
};

}  // namespace

extern "C" __attribute__((visibility("default"))) HRESULT DllGetClassObject(REFCLSID clsid,
                                                                            REFIID iid,
                                                                            LPVOID* object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (clsid != folder_class) return CLASS_E_CLASSNOTAVAILABLE;
    auto* factory = new folder_factory;
    const HRESULT result = factory->QueryInterface(iid, object);
    factory->Release();
    return result;
}

extern "C" __attribute__((visibility("default"))) HRESULT DllCanUnloadNow() {
    return live_objects == 0 && server_locks == 0 ? S_OK : S_FALSE;
}

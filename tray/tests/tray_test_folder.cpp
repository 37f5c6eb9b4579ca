// An in-process server that stands in for the virtual folder, under its
// class id, for the tests of opening it: a namespace folder whose
// enumeration succeeds or fails as HKEY_CURRENT_USER "Software\Calvimora
// Tray Tests" value "EnumObjects" says (S_OK when missing), and which counts
// its enumerations in the value "Enumerated".
#include <atomic>

#include "utils/class_ids.h"
#include "win/registry.h"
#include "win/shell_folder.h"

namespace {

const wchar_t* const settings_key = L"Software\\Calvimora Tray Tests";

DWORD read_setting(const wchar_t* name, DWORD fallback) {
    HKEY key = nullptr;
    if (RegOpenKeyW(HKEY_CURRENT_USER, settings_key, &key) != ERROR_SUCCESS) return fallback;
    DWORD value = 0, size = sizeof value;
    const LONG status =
        RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size);
    RegCloseKey(key);
    return status == ERROR_SUCCESS ? value : fallback;
}

void count_enumeration() {
    const DWORD count = read_setting(L"Enumerated", 0) + 1;
    HKEY key = nullptr;
    if (RegCreateKeyW(HKEY_CURRENT_USER, settings_key, &key) != ERROR_SUCCESS) return;
    RegSetValueExW(key, L"Enumerated", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&count),
                   sizeof count);
    RegCloseKey(key);
}

std::atomic<long> live_objects{0};

// Reference counting, and the count of live objects that tells when the
// module may go.
class object {
public:
    object() { ++live_objects; }
    virtual ~object() { --live_objects; }
    object(const object&) = delete;
    object& operator=(const object&) = delete;

protected:
    ULONG add_reference() { return ++references_; }
    ULONG release() {
        const ULONG left = --references_;
        if (left == 0) delete this;
        return left;
    }

private:
    std::atomic<ULONG> references_{1};
};

class empty_enumerator final : public IEnumIDList, object {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = iid == IID_IUnknown || iid == IID_IEnumIDList ? static_cast<IEnumIDList*>(this)
                                                             : nullptr;
        if (!*out) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return add_reference(); }
    ULONG STDMETHODCALLTYPE Release() override { return release(); }
    HRESULT STDMETHODCALLTYPE Next(ULONG, PITEMID_CHILD*, ULONG* fetched) override {
        if (fetched) *fetched = 0;
        return S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG) override { return S_FALSE; }
    HRESULT STDMETHODCALLTYPE Reset() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Clone(IEnumIDList**) override { return E_NOTIMPL; }
};

class folder final : public IShellFolder, public IPersistFolder, object {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IShellFolder)
            *out = static_cast<IShellFolder*>(this);
        else if (iid == IID_IPersist || iid == IID_IPersistFolder)
            *out = static_cast<IPersistFolder*>(this);
        else
            *out = nullptr;
        if (!*out) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return add_reference(); }
    ULONG STDMETHODCALLTYPE Release() override { return release(); }

    HRESULT STDMETHODCALLTYPE GetClassID(CLSID* clsid) override {
        if (!clsid) return E_POINTER;
        *clsid = utils::clsid_calvimora_folder;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Initialize(PCIDLIST_ABSOLUTE) override { return S_OK; }

    HRESULT STDMETHODCALLTYPE EnumObjects(HWND, DWORD, IEnumIDList** enumerator) override {
        if (!enumerator) return E_POINTER;
        *enumerator = nullptr;
        count_enumeration();
        const auto result = static_cast<HRESULT>(read_setting(L"EnumObjects", S_OK));
        if (FAILED(result)) return result;
        *enumerator = new empty_enumerator;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ParseDisplayName(HWND, LPBC, LPWSTR, ULONG*, PIDLIST_RELATIVE*,
                                               ULONG*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE BindToObject(PCUIDLIST_RELATIVE, LPBC, REFIID, void**) override {
        return E_NOTIMPL;
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
    HRESULT STDMETHODCALLTYPE GetDisplayNameOf(PCUITEMID_CHILD, SHGDNF, STRRET*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetNameOf(HWND, PCUITEMID_CHILD, LPCWSTR, SHGDNF,
                                        PITEMID_CHILD*) override {
        return E_NOTIMPL;
    }
};

class factory final : public IClassFactory, object {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = iid == IID_IUnknown || iid == IID_IClassFactory ? static_cast<IClassFactory*>(this)
                                                               : nullptr;
        if (!*out) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return add_reference(); }
    ULONG STDMETHODCALLTYPE Release() override { return release(); }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        auto* made = new folder;
        const HRESULT result = made->QueryInterface(iid, out);
        made->Release();
        return result;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};

}  // namespace

extern "C" __attribute__((visibility("default"))) HRESULT DllGetClassObject(REFCLSID clsid,
                                                                            REFIID iid,
                                                                            LPVOID* out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (clsid != utils::clsid_calvimora_folder) return CLASS_E_CLASSNOTAVAILABLE;
    auto* made = new factory;
    const HRESULT result = made->QueryInterface(iid, out);
    made->Release();
    return result;
}

extern "C" __attribute__((visibility("default"))) HRESULT DllCanUnloadNow() {
    return live_objects == 0 ? S_OK : S_FALSE;
}

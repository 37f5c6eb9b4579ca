// An in-process server of one drop handler, as a program registers under its
// verb's "DropTarget" key to take several files at once. Every DragEnter and
// Drop it gets goes to the journal of handler drops (win/shell_test.h) with
// the files the data object carries and the handler instance that got it.
// DragEnter answers DROPEFFECT_COPY when the object carries dropped files,
// else DROPEFFECT_NONE.
#include <atomic>
#include <string>
#include <vector>

#include "win/clipboard.h"
#include "win/shell_dragdrop.h"
#include "win/shell_test.h"

namespace {

// {4B9E2D71-3C5A-4F08-9E61-7D2C8A1B5E34}
constexpr CLSID handler_class{
    0x4B9E2D71, 0x3C5A, 0x4F08, {0x9E, 0x61, 0x7D, 0x2C, 0x8A, 0x1B, 0x5E, 0x34}};

std::atomic<long> live_objects{0};
std::atomic<long> server_locks{0};
std::atomic<int> next_instance{1};

std::vector<std::wstring> carried_files(IDataObject* data) {
    std::vector<std::wstring> files;
    if (!data) return files;
    FORMATETC format{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium{};
    if (FAILED(data->GetData(&format, &medium))) return files;
    const UINT count = DragQueryFileW(static_cast<HDROP>(medium.hGlobal), 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        const UINT length = DragQueryFileW(static_cast<HDROP>(medium.hGlobal), i, nullptr, 0);
        std::wstring name(length + 1, L'\0');
        DragQueryFileW(static_cast<HDROP>(medium.hGlobal), i, name.data(), length + 1);
        name.resize(length);
        files.push_back(name);
    }
    ReleaseStgMedium(&medium);
    return files;
}

class drop_handler final : public IDropTarget {
public:
    drop_handler() : instance_(std::to_string(next_instance++)) { ++live_objects; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        if (iid != IID_IUnknown && iid != IID_IDropTarget) {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        *object = static_cast<IDropTarget*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --references_;
        if (left == 0) {
            --live_objects;
            delete this;
        }
        return left;
    }

    HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* data, DWORD, POINTL,
                                        DWORD* effect) override {
        const std::vector<std::wstring> files = carried_files(data);
        win_test::note_handler_drop({"DragEnter", instance_, files});
        if (effect) *effect = files.empty() ? DROPEFFECT_NONE : DROPEFFECT_COPY;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE DragOver(DWORD, POINTL, DWORD* effect) override {
        if (effect) *effect = DROPEFFECT_COPY;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE DragLeave() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD, POINTL, DWORD* effect) override {
        win_test::note_handler_drop({"Drop", instance_, carried_files(data)});
        if (effect) *effect = DROPEFFECT_COPY;
        return S_OK;
    }

private:
    ~drop_handler() = default;
    const std::string instance_;
    std::atomic<ULONG> references_{1};
};

class handler_factory final : public IClassFactory {
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
        auto* handler = new drop_handler;
        const HRESULT result = handler->QueryInterface(iid, object);
        handler->Release();
        return result;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        server_locks += lock ? 1 : -1;
        return S_OK;
    }

private:
    std::atomic<ULONG> references_{1};
};

}  // namespace

extern "C" __attribute__((visibility("default"))) HRESULT DllGetClassObject(REFCLSID clsid,
                                                                            REFIID iid,
                                                                            LPVOID* object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (clsid != handler_class) return CLASS_E_CLASSNOTAVAILABLE;
    auto* factory = new handler_factory;
    const HRESULT result = factory->QueryInterface(iid, object);
    factory->Release();
    return result;
}

extern "C" __attribute__((visibility("default"))) HRESULT DllCanUnloadNow() {
    return live_objects == 0 && server_locks == 0 ? S_OK : S_FALSE;
}

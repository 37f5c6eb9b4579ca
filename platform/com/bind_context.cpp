// Bind contexts: options and objects a caller hands to what it binds.
#include "win/bind_context.h"
#include "counted_object.h"

#include <atomic>
#include <map>
#include <new>
#include <string>
#include <vector>

namespace {

class bind_context final : public win_platform::counted_object<IBindCtx, IID_IBindCtx> {
public:
    bind_context() { options_ = {sizeof(BIND_OPTS), BIND_MAYBOTHERUSER, STGM_READWRITE, 0}; }
    ~bind_context() {
        ReleaseBoundObjects();
        for (auto& [key, object] : parameters_) object->Release();
    }
    bind_context(const bind_context&) = delete;
    bind_context& operator=(const bind_context&) = delete;

    HRESULT STDMETHODCALLTYPE RegisterObjectBound(IUnknown* object) override {
        if (!object) return E_INVALIDARG;
        object->AddRef();
        bound_.push_back(object);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE RevokeObjectBound(IUnknown* object) override {
        for (auto at = bound_.begin(); at != bound_.end(); ++at) {
            if (*at != object) continue;
            bound_.erase(at);
            object->Release();
            return S_OK;
        }
        return MK_E_NOTBOUND;
    }
    HRESULT STDMETHODCALLTYPE ReleaseBoundObjects() override {
        std::vector<IUnknown*> bound;
        bound.swap(bound_);
        for (IUnknown* object : bound) object->Release();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetBindOptions(BIND_OPTS* options) override {
        if (!options || options->cbStruct < sizeof(BIND_OPTS)) return E_INVALIDARG;
        options_ = *options;
        options_.cbStruct = sizeof(BIND_OPTS);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetBindOptions(BIND_OPTS* options) override {
        if (!options || options->cbStruct < sizeof(BIND_OPTS)) return E_INVALIDARG;
        const DWORD asked = options->cbStruct;
        *options = options_;
        options->cbStruct = asked;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetRunningObjectTable(IRunningObjectTable** table) override {
        if (table) *table = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE RegisterObjectParam(LPOLESTR key, IUnknown* object) override {
        if (!key || !object) return E_INVALIDARG;
        object->AddRef();
        IUnknown*& slot = parameters_[key];
        if (slot) slot->Release();
        slot = object;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetObjectParam(LPOLESTR key, IUnknown** object) override {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (!key) return E_INVALIDARG;
        const auto found = parameters_.find(key);
        if (found == parameters_.end()) return E_FAIL;
        *object = found->second;
        (*object)->AddRef();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE EnumObjectParam(IEnumString** keys) override {
        if (keys) *keys = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE RevokeObjectParam(LPOLESTR key) override {
        if (!key) return E_INVALIDARG;
        const auto found = parameters_.find(key);
        if (found == parameters_.end()) return S_FALSE;
        found->second->Release();
        parameters_.erase(found);
        return S_OK;
    }

private:
    BIND_OPTS options_;
    std::vector<IUnknown*> bound_;
    std::map<std::wstring, IUnknown*> parameters_;
};

}  // namespace

HRESULT CreateBindCtx(DWORD reserved, LPBC* context) {
    if (!context) return E_INVALIDARG;
    *context = nullptr;
    if (reserved != 0) return E_INVALIDARG;
    *context = new (std::nothrow) bind_context;
    return *context ? S_OK : E_OUTOFMEMORY;
}

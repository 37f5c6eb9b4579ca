// The reference count and interface queries of the platform's own COM
// objects that hand out one interface (and those it derives from): made with
// one reference, the creator's, and deleted with the last.
#pragma once

#include <atomic>

#include "win/com.h"

namespace win_platform {

template <typename Interface, const IID&... Answered>
class counted_object : public Interface {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (iid != IID_IUnknown && ((iid != Answered) && ...)) return E_NOINTERFACE;
        *object = static_cast<Interface*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --references_;
        if (left == 0) delete this;
        return left;
    }

protected:
    counted_object() = default;
    virtual ~counted_object() = default;
    counted_object(const counted_object&) = delete;
    counted_object& operator=(const counted_object&) = delete;

private:
    std::atomic<ULONG> references_{1};
};

}  // namespace win_platform

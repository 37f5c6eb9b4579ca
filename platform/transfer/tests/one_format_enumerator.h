// A format enumerator for the clipboard tests' data objects: one format in
// global memory, for no target device, listed once.
#pragma once

#include "com/counted_object.h"
#include "win/data_object.h"

namespace clipboard_testing {

class one_format_enumerator final
    : public win_platform::counted_object<IEnumFORMATETC, IID_IEnumFORMATETC> {
public:
    explicit one_format_enumerator(CLIPFORMAT format) : format_(format) {}

    HRESULT STDMETHODCALLTYPE Next(ULONG, FORMATETC* formats, ULONG* fetched) override {
        if (given_) return S_FALSE;
        given_ = true;
        *formats = {format_, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
        if (fetched) *fetched = 1;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reset() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Clone(IEnumFORMATETC**) override { return E_NOTIMPL; }

private:
    const CLIPFORMAT format_;
    bool given_ = false;
};

}  // namespace clipboard_testing

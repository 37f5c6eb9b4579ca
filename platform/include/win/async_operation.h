// A data object that lets its drop target work on it after the drop has
// returned (on another thread), telling the source when the work ends.
#pragma once

#include "win/bind_context.h"

// {3D8B0590-F691-11D2-8EA9-006097DF5BD4}
inline constexpr IID IID_IAsyncOperation{
    0x3D8B0590, 0xF691, 0x11D2, {0x8E, 0xA9, 0x00, 0x60, 0x97, 0xDF, 0x5B, 0xD4}};

struct IAsyncOperation : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE SetAsyncMode(BOOL async) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetAsyncMode(BOOL* async) = 0;
    virtual HRESULT STDMETHODCALLTYPE StartOperation(IBindCtx* reserved) = 0;
    virtual HRESULT STDMETHODCALLTYPE InOperation(BOOL* in_operation) = 0;
    virtual HRESULT STDMETHODCALLTYPE EndOperation(HRESULT result, IBindCtx* reserved,
                                                   DWORD effects) = 0;
};
WIN_COM_INTERFACE_TRAITS(IAsyncOperation, IUnknown, IID_IAsyncOperation);

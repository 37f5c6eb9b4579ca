// Objects that write themselves to a stream and are rebuilt from it.
#pragma once

#include "win/com.h"

// {0000010C-0000-0000-C000-000000000046}
inline constexpr IID IID_IPersist{0x0000010C, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
// {00000109-0000-0000-C000-000000000046}
inline constexpr IID IID_IPersistStream{0x00000109, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

struct IPersist : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetClassID(CLSID* clsid) = 0;
};
WIN_COM_INTERFACE_TRAITS(IPersist, IUnknown, IID_IPersist);

struct IPersistStream : IPersist {
    virtual HRESULT STDMETHODCALLTYPE IsDirty() = 0;
    virtual HRESULT STDMETHODCALLTYPE Load(IStream* stream) = 0;
    virtual HRESULT STDMETHODCALLTYPE Save(IStream* stream, BOOL clear_dirty) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetSizeMax(ULARGE_INTEGER* size) = 0;
};
WIN_COM_INTERFACE_TRAITS(IPersistStream, IPersist, IID_IPersistStream);

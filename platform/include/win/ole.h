// OLE interfaces of windows: an object that knows the window it belongs to,
// as the sites of shell extensions do.
#pragma once

#include "win/com.h"
#include "win/user_types.h"

// {00000114-0000-0000-C000-000000000046}
inline constexpr IID IID_IOleWindow{0x00000114, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

struct IOleWindow : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) = 0;
    virtual HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL enter_mode) = 0;
};
WIN_COM_INTERFACE_TRAITS(IOleWindow, IUnknown, IID_IOleWindow);

// {FC4801A3-2BA9-11CF-A229-00AA003D7352}
inline constexpr IID IID_IObjectWithSite{
    0xFC4801A3, 0x2BA9, 0x11CF, {0xA2, 0x29, 0x00, 0xAA, 0x00, 0x3D, 0x73, 0x52}};

// An object that is told the object it lives in (its site), and gives it
// back for an interface.
struct IObjectWithSite : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE SetSite(IUnknown* site) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetSite(REFIID iid, void** site) = 0;
};
WIN_COM_INTERFACE_TRAITS(IObjectWithSite, IUnknown, IID_IObjectWithSite);

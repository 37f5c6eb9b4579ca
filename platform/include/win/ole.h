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

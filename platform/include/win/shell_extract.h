// What a folder hands out for the pictures of its items: the icon extractor
// (where an item's icon is, and the icon itself) and the image extractor (a
// thumbnail bitmap of the item). Their identifiers are in win/shell_menu.h
// with the folder's other item interfaces.
#pragma once

#include "win/base.h"
#include "win/com.h"
#include "win/gdi.h"
#include "win/rect.h"
#include "win/shell_menu.h"
#include "win/user_types.h"

// The data a caller waits for is not there yet: the extractor works it out
// later, on a call the caller makes from a worker thread.
#define E_PENDING ((HRESULT)0x8000000AL)

// GetIconLocation's input flags.
#define GIL_OPENICON 0x0001u  // the icon of an open folder
#define GIL_FORSHELL 0x0002u  // the shell asks for its own list; it extracts itself
#define GIL_ASYNC 0x0020u     // answer E_PENDING when the work would take time
// GetIconLocation's output flags.
#define GIL_SIMULATEDOC 0x0001u
#define GIL_PERINSTANCE 0x0002u
#define GIL_PERCLASS 0x0004u
#define GIL_NOTFILENAME 0x0008u  // the location is no file: Extract of this extractor
#define GIL_DONTCACHE 0x0010u

struct IExtractIconW : IUnknown {
    // The icon's file (at most max units with the terminator) and index in
    // it, with GIL_* flags about them.
    virtual HRESULT STDMETHODCALLTYPE GetIconLocation(UINT flags, LPWSTR icon_file, UINT max,
                                                      int* index, UINT* out_flags) = 0;
    // The icons of a location GetIconLocation gave; size holds the large
    // size in its low word and the small size in its high word. S_FALSE: the
    // caller extracts them from the location itself.
    virtual HRESULT STDMETHODCALLTYPE Extract(LPCWSTR file, UINT index, HICON* large, HICON* small,
                                              UINT size) = 0;
};
WIN_COM_INTERFACE_TRAITS(IExtractIconW, IUnknown, IID_IExtractIconW);

// GetLocation's flags, in and out.
#define IEIFLAG_ASYNC 0x0001u  // the caller extracts on a worker: answer E_PENDING
#define IEIFLAG_CACHE 0x0002u
#define IEIFLAG_ASPECT 0x0004u
#define IEIFLAG_OFFLINE 0x0008u
#define IEIFLAG_GLEAM 0x0010u
#define IEIFLAG_SCREEN 0x0020u
#define IEIFLAG_ORIGSIZE 0x0040u
#define IEIFLAG_NOSTAMP 0x0080u
#define IEIFLAG_NOBORDER 0x0100u
#define IEIFLAG_QUALITY 0x0200u
#define IEIFLAG_REFRESH 0x0400u

#define IEIT_PRIORITY_NORMAL 0x10000000u

struct IExtractImage : IUnknown {
    // A text naming the image (at most size units with the terminator), the
    // priority of extracting it, for the size and colour depth asked for.
    virtual HRESULT STDMETHODCALLTYPE GetLocation(LPWSTR path, DWORD size, DWORD* priority,
                                                  const SIZE* wanted, DWORD colour_depth,
                                                  DWORD* flags) = 0;
    // The image as a new bitmap, which the caller deletes.
    virtual HRESULT STDMETHODCALLTYPE Extract(HBITMAP* bitmap) = 0;
};
WIN_COM_INTERFACE_TRAITS(IExtractImage, IUnknown, IID_IExtractImage);

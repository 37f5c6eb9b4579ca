// Icons. A module's icon is a resource of type RT_GROUP_ICON filed under
// its id or name (win_resources::register_resource), its bytes a PNG
// picture of the icon at the size it is drawn (the system's icons are
// 32 x 32; the stand-in does not scale a picture of another size);
// LoadIconW hands out a new handle with those pixels each time, which
// DestroyIcon frees. The standard icons (IDI_*, with a null instance) are
// shared and never freed, and hold no pictures here. An icon made from
// bitmaps (CreateIconIndirect) holds its own pixels.
#pragma once

#include "win/gdi.h"
#include "win/user_types.h"

#define IDI_APPLICATION MAKEINTRESOURCEW(32512)
#define IDI_HAND MAKEINTRESOURCEW(32513)
#define IDI_QUESTION MAKEINTRESOURCEW(32514)
#define IDI_EXCLAMATION MAKEINTRESOURCEW(32515)
#define IDI_ASTERISK MAKEINTRESOURCEW(32516)
#define IDI_WINLOGO MAKEINTRESOURCEW(32517)
#define IDI_SHIELD MAKEINTRESOURCEW(32518)
#define IDI_ERROR IDI_HAND
#define IDI_WARNING IDI_EXCLAMATION
#define IDI_INFORMATION IDI_ASTERISK

#define ERROR_INVALID_ICON_HANDLE 1414L

// NULL with ERROR_RESOURCE_TYPE_NOT_FOUND or ERROR_RESOURCE_NAME_NOT_FOUND
// when the module has no such icon, ERROR_INVALID_DATA when its bytes are
// no picture.
HICON LoadIconW(HINSTANCE instance, LPCWSTR name);
// FALSE with ERROR_INVALID_ICON_HANDLE for a handle that is no live icon;
// TRUE (and nothing happens) for a standard icon.
BOOL DestroyIcon(HICON icon);

typedef struct _ICONINFO {
    BOOL fIcon;
    DWORD xHotspot;
    DWORD yHotspot;
    HBITMAP hbmMask;
    HBITMAP hbmColor;
} ICONINFO, *PICONINFO;

// A new icon of a copy of the colour bitmap's pixels (the caller keeps and
// deletes its bitmaps). The colour bitmap's alpha decides what shows, so
// the mask is not read, but it must be given, as the system requires: NULL
// with ERROR_INVALID_PARAMETER without a mask or a colour bitmap.
HICON CreateIconIndirect(PICONINFO info);

#define DI_MASK 0x0001u
#define DI_IMAGE 0x0002u
#define DI_NORMAL 0x0003u
#define DI_COMPAT 0x0004u
#define DI_DEFAULTSIZE 0x0008u

// Draws the icon with its top-left corner at (x, y), scaled to width x
// height (the icon's own size for 0, or the system's icon size with
// DI_DEFAULTSIZE), over the rectangle filled with the brush first when one
// is given. Only the colour image is drawn (DI_IMAGE); DI_MASK alone draws
// nothing. FALSE with ERROR_INVALID_ICON_HANDLE for a handle that is no live
// icon; FALSE with ERROR_NOT_SUPPORTED for a standard icon, whose picture
// the stand-in does not hold, rather than drawing nothing and reporting
// success.
BOOL DrawIconEx(HDC dc, int x, int y, HICON icon, int width, int height, UINT step, HBRUSH brush,
                UINT flags);

namespace win_icons {

// What an icon handle stands for: its resource id (or, for a standard
// icon, its IDI_* number); 0 for a named resource or a handle that is no
// live icon.
int resource_id(HICON icon);

// The size of an icon's picture; {0, 0} for a standard icon or a handle
// that is no live icon.
SIZE icon_size(HICON icon);

// Icons loaded and not yet destroyed, in the whole process.
int live_icons();

}  // namespace win_icons

// Images loaded from a module's resources by LoadImageW. A bitmap resource
// (RT_BITMAP) holds a packed device-independent bitmap: a BITMAPINFOHEADER
// followed by the pixel rows, as a resource compiler stores a .bmp file
// without its file header.
#pragma once

#include "win/gdi.h"
#include "win/resources.h"
#include "win/user_types.h"

#include <vector>

#define IMAGE_BITMAP 0u
#define IMAGE_ICON 1u
#define IMAGE_CURSOR 2u

#define LR_DEFAULTCOLOR 0x00000000u
#define LR_MONOCHROME 0x00000001u
#define LR_LOADFROMFILE 0x00000010u
#define LR_LOADTRANSPARENT 0x00000020u
#define LR_DEFAULTSIZE 0x00000040u
#define LR_LOADMAP3DCOLORS 0x00001000u
#define LR_CREATEDIBSECTION 0x00002000u
#define LR_SHARED 0x00008000u

#ifndef ERROR_INVALID_DATA
#define ERROR_INVALID_DATA 13L
#endif

// Loads the module's bitmap resource as a DIB section of the resource's own
// size and depth (24 or 32 bits a pixel, BI_RGB, rows bottom-up or top-down
// as stored), which the caller deletes with DeleteObject. Width and height
// other than 0 ask for scaling, which the stand-in does not do.
// LR_LOADTRANSPARENT changes the colour table of bitmaps of 8 bits a pixel
// or fewer, so it leaves the pixels of these deeper bitmaps as they are, as
// the system does.
// Refused with NULL and ERROR_NOT_SUPPORTED, rather than giving something
// else than the system would: icons and cursors, files (LR_LOADFROMFILE),
// scaling, colour-table bitmaps, and a load without LR_CREATEDIBSECTION
// (the system then gives a device-dependent bitmap whose pixels callers
// cannot reach). NULL with ERROR_RESOURCE_TYPE_NOT_FOUND or
// ERROR_RESOURCE_NAME_NOT_FOUND without the resource, and with
// ERROR_INVALID_DATA when its bytes are not a whole bitmap.
HANDLE LoadImageW(HINSTANCE instance, LPCWSTR name, UINT type, int width, int height, UINT flags);

namespace win_resources {

// The bytes of a bitmap resource of 24-bit pixels, bottom-up, from rows of
// RGB colours given top-down (width x height values, red in the low byte).
std::vector<BYTE> make_bitmap_resource(int width, int height,
                                       const std::vector<COLORREF>& rows_top_down);

}  // namespace win_resources

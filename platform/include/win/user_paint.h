// Painting of windows. Nothing reaches a display: each top-level window
// paints into a picture of its own (a 32-bit canvas of the window's size),
// its children into the same picture at their places, so that any window can
// be saved as a picture (win_test::save_png). A layered window's picture is
// the pixels of its last UpdateLayeredWindow.
//
// Invalid areas are kept as one bounding rectangle per window. Invalidating
// a window also invalidates the children under the area, so a parent that
// paints over them is followed by their own painting. WM_PAINT comes for a
// window with an invalid area when its thread's queue is otherwise empty,
// parents before children.
#pragma once

#include "win/gdi.h"
#include "win/user_types.h"

typedef struct tagPAINTSTRUCT {
    HDC hdc;
    BOOL fErase;  // the background still needs erasing
    RECT rcPaint;
    BOOL fRestore;
    BOOL fIncUpdate;
    BYTE rgbReserved[32];
} PAINTSTRUCT, *LPPAINTSTRUCT;

// A null rect means the whole client area.
BOOL InvalidateRect(HWND window, LPCRECT rect, BOOL erase);
BOOL ValidateRect(HWND window, LPCRECT rect);
// Paints the window (and its invalid children) now if it has an invalid
// area, without waiting for the queue.
BOOL UpdateWindow(HWND window);
#define RDW_INVALIDATE 0x0001u
#define RDW_INTERNALPAINT 0x0002u
#define RDW_ERASE 0x0004u
#define RDW_VALIDATE 0x0008u
#define RDW_NOINTERNALPAINT 0x0010u
#define RDW_NOERASE 0x0020u
#define RDW_NOCHILDREN 0x0040u
#define RDW_ALLCHILDREN 0x0080u
#define RDW_UPDATENOW 0x0100u
#define RDW_ERASENOW 0x0200u
#define RDW_FRAME 0x0400u
#define RDW_NOFRAME 0x0800u
BOOL RedrawWindow(HWND window, LPCRECT rect, HRGN region, UINT flags);

// The DC draws into the client area (origin at its top-left corner, clipped
// to it and to the invalid area), and BeginPaint validates the window. With
// the erase flag pending it sends WM_ERASEBKGND first, whose default
// handling fills the area with the class brush.
HDC BeginPaint(HWND window, LPPAINTSTRUCT paint);
BOOL EndPaint(HWND window, const PAINTSTRUCT* paint);
// A DC over the client area; GetWindowDC over the whole window; a null
// window gives a DC over the screen, where nothing is ever shown.
HDC GetDC(HWND window);
HDC GetWindowDC(HWND window);
int ReleaseDC(HWND window, HDC dc);

// Keeps the pixels of the source DC (at source_point, of the window's new
// size) as the window's picture, with their per-pixel alpha, and moves or
// resizes the window when position or size are given. The window must have
// WS_EX_LAYERED (ERROR_INVALID_PARAMETER otherwise). The destination DC is
// not used: there is no screen to compose.
#define ULW_COLORKEY 0x00000001u
#define ULW_ALPHA 0x00000002u
#define ULW_OPAQUE 0x00000004u
BOOL UpdateLayeredWindow(HWND window, HDC destination, POINT* position, SIZE* size, HDC source,
                         POINT* source_point, COLORREF key, BLENDFUNCTION* blend, DWORD flags);

// The frame pictures of standard controls, drawn into a rectangle. Only the
// menu's check mark is drawn here (DFC_MENU with DFCS_MENUCHECK): black on
// white, scaled to the rectangle, as a mask is; DFCS_TRANSPARENT leaves the
// white out. Any other picture draws nothing and gives FALSE.
#define DFC_CAPTION 1u
#define DFC_MENU 2u
#define DFC_SCROLL 3u
#define DFC_BUTTON 4u
#define DFCS_MENUARROW 0x0000u
#define DFCS_MENUCHECK 0x0001u
#define DFCS_MENUBULLET 0x0002u
#define DFCS_MENUARROWRIGHT 0x0004u
#define DFCS_TRANSPARENT 0x0800u
BOOL DrawFrameControl(HDC dc, LPRECT rect, UINT type, UINT state);

// Brushes of the system colours; owned by the system, never deleted.
HBRUSH GetSysColorBrush(int index);

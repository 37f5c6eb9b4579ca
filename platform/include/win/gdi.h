// Drawing: device contexts over 32-bit canvases, bitmaps and DIB sections,
// blits and alpha blending, brushes, clip regions, the viewport origin and
// text. Every surface here is 32 bits a pixel, blue, green, red, alpha in
// memory order, with the colour premultiplied by alpha (as AlphaBlend and
// layered windows expect). Drawing writes opaque pixels unless it blends.
#pragma once

#include "win/base.h"
#include "win/rect.h"

typedef DWORD COLORREF;  // 0x00BBGGRR
#define RGB(r, g, b) \
    ((COLORREF)(((BYTE)(r)) | ((WORD)((BYTE)(g)) << 8) | (((DWORD)(BYTE)(b)) << 16)))
#define GetRValue(c) ((BYTE)((c)&0xFF))
#define GetGValue(c) ((BYTE)(((c) >> 8) & 0xFF))
#define GetBValue(c) ((BYTE)(((c) >> 16) & 0xFF))
#define CLR_INVALID 0xFFFFFFFFu

typedef struct gdi_dc_tag* HDC;
typedef void* HGDIOBJ;
typedef struct gdi_bitmap_tag* HBITMAP;
typedef struct gdi_brush_tag* HBRUSH;
typedef struct gdi_font_tag* HFONT;
typedef struct gdi_region_tag* HRGN;
typedef struct gdi_pen_tag* HPEN;

// ---- Device contexts ------------------------------------------------------

// A memory DC: it draws into the bitmap selected into it (a 1 by 1 stock
// bitmap until one is). The reference DC is ignored: every surface here is
// alike.
HDC CreateCompatibleDC(HDC reference);
// FALSE with ERROR_INVALID_HANDLE for a DC that is not one of ours. Only
// memory DCs are deleted this way; window DCs go back with ReleaseDC.
BOOL DeleteDC(HDC dc);

// The DC's state stack: SaveDC pushes the selected objects, colours, modes,
// viewport origin and clip region and returns the new depth (0 on failure).
// RestoreDC(dc, -n) pops n states; RestoreDC(dc, n) with n > 0 returns to the
// state that the n-th SaveDC saved, dropping everything saved after it.
int SaveDC(HDC dc);
BOOL RestoreDC(HDC dc, int saved);

// Logical point (0, 0) lands on the device point of the viewport origin.
// Every drawing coordinate is logical; clip regions are in device units.
BOOL SetViewportOrgEx(HDC dc, int x, int y, LPPOINT previous);
BOOL GetViewportOrgEx(HDC dc, LPPOINT origin);
BOOL OffsetViewportOrgEx(HDC dc, int dx, int dy, LPPOINT previous);

// The brush origin: where a patterned brush's pattern starts, in device
// coordinates. The brushes here are solid, so it changes no pixel, but it
// is kept (and saved with SaveDC) as Windows keeps it.
BOOL SetBrushOrgEx(HDC dc, int x, int y, LPPOINT previous);
BOOL GetBrushOrgEx(HDC dc, LPPOINT origin);

// Colour and background mode for text. SetTextColor and SetBkColor return the
// previous colour (CLR_INVALID on failure), SetBkMode the previous mode (0).
#define TRANSPARENT 1
#define OPAQUE 2
int SetBkMode(HDC dc, int mode);
int GetBkMode(HDC dc);
COLORREF SetTextColor(HDC dc, COLORREF color);
COLORREF GetTextColor(HDC dc);
COLORREF SetBkColor(HDC dc, COLORREF color);
COLORREF GetBkColor(HDC dc);

#define LOGPIXELSX 88
#define LOGPIXELSY 90
#define HORZRES 8
#define VERTRES 10
#define BITSPIXEL 12
// 96 for LOGPIXELSX/Y; the surface's size for HORZRES/VERTRES; 32 bits.
int GetDeviceCaps(HDC dc, int index);

// ---- Objects --------------------------------------------------------------

// Selects a bitmap, brush or font and returns the one it replaces; a region
// is copied into the clip (as SelectClipRgn) and the region type returned.
// NULL with ERROR_INVALID_HANDLE for an unknown object or DC; a bitmap can be
// selected only into a memory DC, and only into one DC at a time (NULL
// otherwise).
HGDIOBJ SelectObject(HDC dc, HGDIOBJ object);
// FALSE while the object is selected into a DC, for an unknown handle, and
// for stock objects (which stay valid).
BOOL DeleteObject(HGDIOBJ object);
// Copies the object's description (BITMAP, LOGBRUSH, LOGFONTW) into buffer
// and returns the bytes written; with a null buffer, the size it would need.
// A DIB section given a buffer of at least sizeof(DIBSECTION) is described
// as a DIBSECTION (its header with the height's sign as created).
int GetObjectW(HGDIOBJ object, int size, LPVOID buffer);
#define OBJ_PEN 1
#define OBJ_BRUSH 2
#define OBJ_DC 3
#define OBJ_FONT 6
#define OBJ_BITMAP 7
#define OBJ_REGION 8
#define OBJ_MEMDC 10
DWORD GetObjectType(HGDIOBJ object);  // 0 for an unknown handle

#define WHITE_BRUSH 0
#define LTGRAY_BRUSH 1
#define GRAY_BRUSH 2
#define DKGRAY_BRUSH 3
#define BLACK_BRUSH 4
#define NULL_BRUSH 5
#define HOLLOW_BRUSH NULL_BRUSH
#define SYSTEM_FONT 13
#define DEFAULT_GUI_FONT 17
HGDIOBJ GetStockObject(int which);

// ---- Bitmaps --------------------------------------------------------------

typedef struct tagBITMAP {
    LONG bmType;
    LONG bmWidth;
    LONG bmHeight;
    LONG bmWidthBytes;
    WORD bmPlanes;
    WORD bmBitsPixel;
    LPVOID bmBits;  // the pixels of a DIB section, else null
} BITMAP, *LPBITMAP;

#define BI_RGB 0
#define DIB_RGB_COLORS 0

typedef struct tagBITMAPINFOHEADER {
    DWORD biSize;
    LONG biWidth;
    LONG biHeight;  // negative: rows top-down
    WORD biPlanes;
    WORD biBitCount;
    DWORD biCompression;
    DWORD biSizeImage;
    LONG biXPelsPerMeter;
    LONG biYPelsPerMeter;
    DWORD biClrUsed;
    DWORD biClrImportant;
} BITMAPINFOHEADER, *LPBITMAPINFOHEADER;
static_assert(sizeof(BITMAPINFOHEADER) == 40);

typedef struct tagRGBQUAD {
    BYTE rgbBlue;
    BYTE rgbGreen;
    BYTE rgbRed;
    BYTE rgbReserved;
} RGBQUAD;

typedef struct tagBITMAPINFO {
    BITMAPINFOHEADER bmiHeader;
    RGBQUAD bmiColors[1];
} BITMAPINFO, *LPBITMAPINFO;

// A bitmap whose pixels the caller reads and writes through *bits: 32 or 24
// bits a pixel, BI_RGB, one plane, top-down when biHeight is negative and
// bottom-up otherwise, zero-filled. Rows of 32-bit pixels take 4 * width
// bytes; rows of 24-bit pixels (blue, green, red) 3 * width bytes rounded
// up to a multiple of 4. A 24-bit section is pixel memory only: it cannot
// be selected into a DC. Other formats, sizes of 0 or beyond 16384 on a
// side: NULL with ERROR_INVALID_PARAMETER. The DC, section and offset
// arguments are ignored.
HBITMAP CreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section,
                         DWORD offset);
// What GetObjectW describes of a DIB section when given room for it.
typedef struct tagDIBSECTION {
    BITMAP dsBm;
    BITMAPINFOHEADER dsBmih;
    DWORD dsBitfields[3];
    HANDLE dshSection;
    DWORD dsOffset;
} DIBSECTION, *LPDIBSECTION;

// A 32-bit bitmap of that size (zero-filled, so transparent black).
HBITMAP CreateCompatibleBitmap(HDC dc, int width, int height);

// ---- Blits ----------------------------------------------------------------

#define SRCCOPY 0x00CC0020u
// Copies a rectangle of the source DC's surface. Only SRCCOPY is supported
// (FALSE with ERROR_NOT_SUPPORTED otherwise). Parts of the source outside its
// surface are left out; the destination clip applies.
BOOL BitBlt(HDC destination, int x, int y, int width, int height, HDC source, int source_x,
            int source_y, DWORD rop);
// As BitBlt, scaled to the destination size by taking the nearest source
// pixel. Negative extents (mirroring) are not supported: FALSE with
// ERROR_INVALID_PARAMETER.
BOOL StretchBlt(HDC destination, int x, int y, int width, int height, HDC source, int source_x,
                int source_y, int source_width, int source_height, DWORD rop);

#define AC_SRC_OVER 0x00
#define AC_SRC_ALPHA 0x01
typedef struct _BLENDFUNCTION {
    BYTE BlendOp;              // AC_SRC_OVER
    BYTE BlendFlags;           // 0
    BYTE SourceConstantAlpha;  // applied to every source pixel
    BYTE AlphaFormat;          // AC_SRC_ALPHA: the source has premultiplied per-pixel alpha
} BLENDFUNCTION;

// Source over destination, scaled by nearest source pixel when the sizes
// differ. With AC_SRC_ALPHA every source channel is first scaled by the
// constant alpha, then destination = source + destination * (1 - source
// alpha); without it, destination = source * constant + destination * (1 -
// constant), alpha channel included. FALSE with ERROR_INVALID_PARAMETER for a
// negative extent, a source rectangle not inside the source surface, or a
// blend operation other than AC_SRC_OVER.
BOOL AlphaBlend(HDC destination, int x, int y, int width, int height, HDC source, int source_x,
                int source_y, int source_width, int source_height, BLENDFUNCTION blend);

// ---- Brushes --------------------------------------------------------------

#define BS_SOLID 0
#define BS_NULL 1
typedef struct tagLOGBRUSH {
    UINT lbStyle;
    COLORREF lbColor;
    ULONG_PTR lbHatch;
} LOGBRUSH;

HBRUSH CreateSolidBrush(COLORREF color);
// Fills the rectangle (logical coordinates, right and bottom excluded) with
// the brush's colour, opaque; a null brush draws nothing.
int FillRect(HDC dc, const RECT* rect, HBRUSH brush);

// ---- Regions and clipping -------------------------------------------------

#define ERROR 0
#define NULLREGION 1
#define SIMPLEREGION 2
#define COMPLEXREGION 3
#define RGN_ERROR ERROR

#define RGN_AND 1
#define RGN_OR 2
#define RGN_XOR 3
#define RGN_DIFF 4
#define RGN_COPY 5

HRGN CreateRectRgn(int left, int top, int right, int bottom);
HRGN CreateRectRgnIndirect(const RECT* rect);
// destination = a op b (b is ignored for RGN_COPY); returns the type of the
// result, or ERROR.
int CombineRgn(HRGN destination, HRGN a, HRGN b, int mode);
int GetRgnBox(HRGN region, LPRECT box);
int OffsetRgn(HRGN region, int dx, int dy);
BOOL PtInRegion(HRGN region, int x, int y);
BOOL EqualRgn(HRGN a, HRGN b);

// The clip region is in device coordinates. SelectClipRgn copies the region
// (NULL removes the clip); IntersectClipRect takes logical coordinates.
// Each returns the type of the new clip region, or ERROR.
int SelectClipRgn(HDC dc, HRGN region);
int IntersectClipRect(HDC dc, int left, int top, int right, int bottom);
// The smallest rectangle around the visible part of the surface, in logical
// coordinates; returns its region type.
int GetClipBox(HDC dc, LPRECT box);

// ---- Fonts and text -------------------------------------------------------

#define LF_FACESIZE 32
#define FW_DONTCARE 0
#define FW_THIN 100
#define FW_LIGHT 300
#define FW_NORMAL 400
#define FW_REGULAR 400
#define FW_MEDIUM 500
#define FW_SEMIBOLD 600
#define FW_BOLD 700
#define FW_HEAVY 900
#define DEFAULT_CHARSET 1
#define ANSI_CHARSET 0
#define OUT_DEFAULT_PRECIS 0
#define CLIP_DEFAULT_PRECIS 0
#define DEFAULT_QUALITY 0
#define ANTIALIASED_QUALITY 4
#define CLEARTYPE_QUALITY 5
#define DEFAULT_PITCH 0
#define FF_DONTCARE 0
#define FF_SWISS 0x20

typedef struct tagLOGFONTW {
    LONG lfHeight;  // < 0: character height (em) in pixels; > 0: cell height; 0: default
    LONG lfWidth;
    LONG lfEscapement;
    LONG lfOrientation;
    LONG lfWeight;
    BYTE lfItalic;
    BYTE lfUnderline;
    BYTE lfStrikeOut;
    BYTE lfCharSet;
    BYTE lfOutPrecision;
    BYTE lfClipPrecision;
    BYTE lfQuality;
    BYTE lfPitchAndFamily;
    WCHAR lfFaceName[LF_FACESIZE];
} LOGFONTW, *LPLOGFONTW;

// Faces resolve through fontconfig: "Arial", "MS Shell Dlg" and "MS Shell Dlg
// 2" to the metric-compatible Liberation Sans, others by name, and a face
// that is not installed to the generic sans-serif family. Glyphs are
// anti-aliased whatever the quality asked for. Width, escapement and
// orientation are ignored.
HFONT CreateFontIndirectW(const LOGFONTW* font);
HFONT CreateFontW(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                  DWORD underline, DWORD strike_out, DWORD charset, DWORD out_precision,
                  DWORD clip_precision, DWORD quality, DWORD pitch_and_family, LPCWSTR face_name);

typedef struct tagTEXTMETRICW {
    LONG tmHeight;  // ascent + descent
    LONG tmAscent;
    LONG tmDescent;
    LONG tmInternalLeading;
    LONG tmExternalLeading;
    LONG tmAveCharWidth;
    LONG tmMaxCharWidth;
    LONG tmWeight;
    LONG tmOverhang;
    LONG tmDigitizedAspectX;
    LONG tmDigitizedAspectY;
    WCHAR tmFirstChar;
    WCHAR tmLastChar;
    WCHAR tmDefaultChar;
    WCHAR tmBreakChar;
    BYTE tmItalic;
    BYTE tmUnderlined;
    BYTE tmStruckOut;
    BYTE tmPitchAndFamily;
    BYTE tmCharSet;
} TEXTMETRICW, *LPTEXTMETRICW;

// Metrics of the font selected into the DC (DEFAULT_GUI_FONT until one is).
BOOL GetTextMetricsW(HDC dc, LPTEXTMETRICW metrics);
// Width of the first count characters and the font's height.
BOOL GetTextExtentPoint32W(HDC dc, LPCWSTR text, int count, LPSIZE size);
// Draws one line with its top-left corner at (x, y), in the text colour, over
// the background colour when the mode is OPAQUE.
BOOL TextOutW(HDC dc, int x, int y, LPCWSTR text, int count);

#define DT_TOP 0x00000000u
#define DT_LEFT 0x00000000u
#define DT_CENTER 0x00000001u
#define DT_RIGHT 0x00000002u
#define DT_VCENTER 0x00000004u
#define DT_BOTTOM 0x00000008u
#define DT_WORDBREAK 0x00000010u
#define DT_SINGLELINE 0x00000020u
#define DT_EXPANDTABS 0x00000040u
#define DT_NOCLIP 0x00000100u
#define DT_CALCRECT 0x00000400u
#define DT_NOPREFIX 0x00000800u
#define DT_HIDEPREFIX 0x00100000u
#define DT_END_ELLIPSIS 0x00008000u

// Formats text in the rectangle. Lines break at line breaks (unless
// DT_SINGLELINE) and, with DT_WORDBREAK, between words that would cross the
// right edge. DT_VCENTER and DT_BOTTOM apply to single lines only. With
// DT_END_ELLIPSIS a line wider than the rectangle ends in "...". Unless
// DT_NOPREFIX, "&" underlines the next character and "&&" shows one "&".
// DT_CALCRECT draws nothing and sets the rectangle's right and bottom edges
// to fit the text. count -1: up to the terminating zero. Returns the text's
// height (with DT_VCENTER or DT_BOTTOM, the offset from the rectangle's top
// to the bottom of the text), 0 on failure.
int DrawTextW(HDC dc, LPCWSTR text, int count, LPRECT rect, UINT format);
#include "win/gdi_shapes.h"

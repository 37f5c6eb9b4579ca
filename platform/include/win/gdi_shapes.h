// Pens, lines and curved figures, and curved regions. A DC starts with the
// black pen of width 1 and its current position at (0, 0).
//
// Figures take a bounding box whose right and bottom edges lie outside the
// figure. Ellipse fills the ellipse inscribed in the box with the brush and
// outlines it with the pen; Pie does the same for the part from the radial
// through the first point counterclockwise to the radial through the
// second (the whole ellipse when the two radials coincide), its outline
// being the arc and both radials; Arc draws only the arc, with the pen.
// LineTo draws from the current position up to, not including, the end
// point, which becomes the current position. A null pen draws nothing.
#pragma once

#include "win/gdi.h"

#define PS_SOLID 0
#define PS_DASH 1
#define PS_DOT 2
#define PS_NULL 5
#define PS_INSIDEFRAME 6

#define WHITE_PEN 6
#define BLACK_PEN 7
#define NULL_PEN 8

// Width 0 draws one pixel wide, as 1 does; other styles than PS_SOLID and
// PS_NULL draw solid here.
HPEN CreatePen(int style, int width, COLORREF color);

BOOL MoveToEx(HDC dc, int x, int y, LPPOINT previous);
BOOL LineTo(HDC dc, int x, int y);

BOOL Ellipse(HDC dc, int left, int top, int right, int bottom);
BOOL Pie(HDC dc, int left, int top, int right, int bottom, int x1, int y1, int x2, int y2);
BOOL Arc(HDC dc, int left, int top, int right, int bottom, int x1, int y1, int x2, int y2);

// The ellipse inscribed in the box as a region.
HRGN CreateEllipticRgn(int left, int top, int right, int bottom);
HRGN CreateEllipticRgnIndirect(const RECT* box);
// Fills the region (logical coordinates) with the brush, within the clip.
BOOL FillRgn(HDC dc, HRGN region, HBRUSH brush);

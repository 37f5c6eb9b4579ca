// Points, sizes and rectangles, and the rectangle arithmetic that windows
// and drawing share. A rectangle holds its left and top edges and excludes
// its right and bottom edges; it is empty when right <= left or
// bottom <= top.
#pragma once

#include "win/base.h"

typedef struct tagPOINT {
    LONG x;
    LONG y;
} POINT, *LPPOINT;
typedef const POINT* LPCPOINT;

typedef struct tagSIZE {
    LONG cx;
    LONG cy;
} SIZE, *LPSIZE;

typedef struct tagRECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
} RECT, *LPRECT;
typedef const RECT* LPCRECT;

// Each returns FALSE (doing nothing) when a pointer it needs is null.
BOOL SetRect(LPRECT rect, int left, int top, int right, int bottom);
BOOL SetRectEmpty(LPRECT rect);
BOOL CopyRect(LPRECT destination, const RECT* source);
// The overlap of a and b; an empty result is set to all zeros and gives FALSE.
BOOL IntersectRect(LPRECT destination, const RECT* a, const RECT* b);
// The smallest rectangle holding both; an empty operand is ignored; both
// empty gives all zeros and FALSE.
BOOL UnionRect(LPRECT destination, const RECT* a, const RECT* b);
BOOL OffsetRect(LPRECT rect, int dx, int dy);
BOOL InflateRect(LPRECT rect, int dx, int dy);
BOOL PtInRect(const RECT* rect, POINT point);
BOOL IsRectEmpty(const RECT* rect);  // TRUE for a null pointer too
BOOL EqualRect(const RECT* a, const RECT* b);

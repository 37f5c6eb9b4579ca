// Rectangle arithmetic, with the system's rules for empty rectangles.
#include "win/rect.h"

namespace {

bool empty(const RECT& r) {
    return r.right <= r.left || r.bottom <= r.top;
}

}  // namespace

BOOL SetRect(LPRECT rect, int left, int top, int right, int bottom) {
    if (!rect) return FALSE;
    *rect = {left, top, right, bottom};
    return TRUE;
}

BOOL SetRectEmpty(LPRECT rect) {
    return SetRect(rect, 0, 0, 0, 0);
}

BOOL CopyRect(LPRECT destination, const RECT* source) {
    if (!destination || !source) return FALSE;
    *destination = *source;
    return TRUE;
}

BOOL IntersectRect(LPRECT destination, const RECT* a, const RECT* b) {
    if (!destination || !a || !b) return FALSE;
    RECT r{a->left > b->left ? a->left : b->left, a->top > b->top ? a->top : b->top,
           a->right < b->right ? a->right : b->right,
           a->bottom < b->bottom ? a->bottom : b->bottom};
    if (empty(*a) || empty(*b) || empty(r)) {
        *destination = {};
        return FALSE;
    }
    *destination = r;
    return TRUE;
}

BOOL UnionRect(LPRECT destination, const RECT* a, const RECT* b) {
    if (!destination || !a || !b) return FALSE;
    if (empty(*a) && empty(*b)) {
        *destination = {};
        return FALSE;
    }
    if (empty(*a)) {
        *destination = *b;
        return TRUE;
    }
    if (empty(*b)) {
        *destination = *a;
        return TRUE;
    }
    *destination = {a->left < b->left ? a->left : b->left, a->top < b->top ? a->top : b->top,
                    a->right > b->right ? a->right : b->right,
                    a->bottom > b->bottom ? a->bottom : b->bottom};
    return TRUE;
}

BOOL OffsetRect(LPRECT rect, int dx, int dy) {
    if (!rect) return FALSE;
    rect->left += dx;
    rect->right += dx;
    rect->top += dy;
    rect->bottom += dy;
    return TRUE;
}

BOOL InflateRect(LPRECT rect, int dx, int dy) {
    if (!rect) return FALSE;
    rect->left -= dx;
    rect->right += dx;
    rect->top -= dy;
    rect->bottom += dy;
    return TRUE;
}

BOOL PtInRect(const RECT* rect, POINT point) {
    if (!rect) return FALSE;
    return point.x >= rect->left && point.x < rect->right && point.y >= rect->top &&
           point.y < rect->bottom;
}

BOOL IsRectEmpty(const RECT* rect) {
    return !rect || empty(*rect);
}

BOOL EqualRect(const RECT* a, const RECT* b) {
    if (!a || !b) return FALSE;
    return a->left == b->left && a->top == b->top && a->right == b->right && a->bottom == b->bottom;
}

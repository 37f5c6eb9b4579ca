// DrawFrameControl: the menu's check mark, which owner-drawn lists and
// menus draw their own check marks with.
#include <algorithm>

#include "win/kernel.h"
#include "win/user.h"

namespace {

void fill_black(HDC dc, LONG left, LONG top, LONG right, LONG bottom) {
    const RECT area{left, top, right, bottom};
    FillRect(dc, &area, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
}

// The check mark of a 13-pixel square (two strokes, two pixels thick),
// scaled to the rectangle.
void draw_check(HDC dc, const RECT& r) {
    static const POINT strokes[] = {{3, 6}, {4, 7}, {5, 8}, {6, 7}, {7, 6}, {8, 5}, {9, 4}};
    const LONG width = r.right - r.left;
    const LONG height = r.bottom - r.top;
    const LONG stroke_width = std::max<LONG>(1, width / 13);
    const LONG stroke_height = std::max<LONG>(2, 2 * height / 13);
    for (const POINT& p : strokes) {
        const LONG x = r.left + p.x * width / 13;
        const LONG y = r.top + p.y * height / 13;
        fill_black(dc, x, y, x + stroke_width, y + stroke_height);
    }
}

}  // namespace

BOOL DrawFrameControl(HDC dc, LPRECT rect, UINT type, UINT state) {
    const UINT mark = state & 0xFFu;
    if (!dc || !rect || type != DFC_MENU || mark != DFCS_MENUCHECK) return FALSE;
    if (!(state & DFCS_TRANSPARENT))
        FillRect(dc, rect, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    draw_check(dc, *rect);
    return TRUE;
}

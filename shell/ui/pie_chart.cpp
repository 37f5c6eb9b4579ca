#include "ui/pie_chart.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace pie_chart {

namespace {

constexpr COLORREF used_color = RGB(0, 0, 255);
constexpr COLORREF free_color = RGB(255, 0, 255);
constexpr COLORREF free_wall_color = RGB(128, 0, 128);
constexpr COLORREF used_wall_color = RGB(0, 0, 128);

// Below this many pixels of radius nothing is drawn.
constexpr int smallest_radius = 11;

struct geometry {
    int rx, ry, cx, cy;
    RECT box;  // the top face's bounding box
};

geometry geometry_of(const RECT& rect, int depth) {
    geometry g{};
    g.rx = (rect.right - rect.left) / 2;
    g.ry = (rect.bottom - rect.top - depth) / 2;
    g.cx = rect.left + g.rx - 1;
    g.cy = rect.top + g.ry - 1;
    g.box = {rect.left, rect.top, rect.left + 2 * g.rx, rect.top + 2 * g.ry};
    return g;
}

int clamped(int value) {
    return std::clamp(value, 0, 1000);
}

void fill_region(HDC dc, HRGN region, COLORREF color) {
    HBRUSH brush = CreateSolidBrush(color);
    FillRgn(dc, region, brush);
    DeleteObject(brush);
}

}  // namespace

std::uint64_t IntegerSqrt(std::uint64_t value) {
    std::uint64_t root = 0;
    for (std::uint64_t bit = std::uint64_t{1} << 62; bit != 0; bit >>= 2) {
        if (value >= root + bit) {
            value -= root + bit;
            root = (root >> 1) + bit;
        } else {
            root >>= 1;
        }
    }
    return root;
}

POINT end_point(const RECT& rect, int value, int depth) {
    const geometry g = geometry_of(rect, depth);
    value = clamped(value);
    using wide = std::uint64_t;
    const wide rx = static_cast<wide>(std::max(g.rx, 1)), ry = static_cast<wide>(std::max(g.ry, 1));
    const wide d = static_cast<wide>(std::abs(value % 500 - 250));
    const wide rest = 250 - d;
    const wide sum = rest * rest + d * d;
    wide x, y;
    if (d >= 120) {
        y = IntegerSqrt(rest * rest * ry * ry / sum);
        x = IntegerSqrt((ry * ry - y * y) * rx * rx / (ry * ry));
    } else {
        x = IntegerSqrt(d * d * rx * rx / sum);
        y = IntegerSqrt((rx * rx - x * x) * ry * ry / (rx * rx));
    }
    LONG dx = static_cast<LONG>(x), dy = static_cast<LONG>(y);
    switch (value / 250) {
        case 1:
            dy = -dy;
            break;
        case 2:
            break;
        case 3:
            dx = -dx;
            break;
        default:
            dx = -dx;
            dy = -dy;
            break;
    }
    return {std::max<LONG>(g.cx + dx, 0), g.cy + dy};
}

void DrawPie(HDC dc, const RECT& rect, int value, int depth) {
    const geometry g = geometry_of(rect, depth);
    if (g.rx < smallest_radius || g.ry < smallest_radius) return;
    value = clamped(value);
    const POINT end = end_point(rect, value, depth);
    const RECT& box = g.box;

    // The side wall: the face moved down by the depth, the band between,
    // less the face itself.
    HRGN wall = CreateEllipticRgn(box.left, box.top + depth + 1, box.right, box.bottom + depth + 1);
    HRGN band = CreateRectRgn(box.left, g.cy, box.right, g.cy + depth);
    HRGN face = CreateEllipticRgn(box.left, box.top + 1, box.right, box.bottom + 1);
    CombineRgn(wall, wall, band, RGN_OR);
    CombineRgn(wall, wall, face, RGN_DIFF);
    fill_region(dc, wall, free_wall_color);
    if (value > 500) {
        // The used share reaches round the front: its wall from the end
        // point to the right.
        HRGN front = CreateRectRgn(end.x, g.cy, box.right, rect.bottom);
        CombineRgn(front, front, wall, RGN_AND);
        fill_region(dc, front, used_wall_color);
        DeleteObject(front);
    }
    DeleteObject(face);
    DeleteObject(band);
    DeleteObject(wall);

    HPEN pen = CreatePen(PS_SOLID, 1, RGB(0, 0, 0));
    HGDIOBJ old_pen = SelectObject(dc, pen);
    HBRUSH used = CreateSolidBrush(used_color);
    HBRUSH unused = CreateSolidBrush(free_color);
    HGDIOBJ old_brush = SelectObject(dc, unused);
    const auto slice = [&] {
        Pie(dc, box.left, box.top, box.right, box.bottom, box.left, g.cy, end.x, end.y);
    };
    // A share too thin to reach off the starting radial leaves its end on
    // that radial's row: the other share then covers the whole face.
    if (value < 100 && end.y == g.cy) {
        Ellipse(dc, box.left, box.top, box.right, box.bottom);
    } else if (value > 900 && end.y == g.cy) {
        SelectObject(dc, used);
        Ellipse(dc, box.left, box.top, box.right, box.bottom);
    } else {
        SelectObject(dc, used);
        Ellipse(dc, box.left, box.top, box.right, box.bottom);
        SelectObject(dc, unused);
        slice();
    }

    if (value > 0 && value < 1000) {
        Arc(dc, box.left, box.top + depth, box.right, box.bottom + depth, box.left, g.cy + depth,
            box.right, g.cy + depth - 1);
        MoveToEx(dc, box.left, g.cy, nullptr);
        LineTo(dc, box.left, g.cy + depth);
        MoveToEx(dc, box.right - 1, g.cy, nullptr);
        LineTo(dc, box.right - 1, g.cy + depth);
        if (value > 500) {
            MoveToEx(dc, end.x, end.y, nullptr);
            LineTo(dc, end.x, end.y + depth);
        }
    }
    SelectObject(dc, old_brush);
    SelectObject(dc, old_pen);
    DeleteObject(used);
    DeleteObject(unused);
    DeleteObject(pen);
}

}  // namespace pie_chart

void CPieChart::SetValue(int value) {
    value_ = value;
    Invalidate(TRUE);
}

BOOL CPieChart::ProcessWindowMessage(HWND window, UINT message, WPARAM, LPARAM, LRESULT& result,
                                     DWORD) {
    if (message != WM_PAINT) return FALSE;
    PAINTSTRUCT paint{};
    HDC dc = BeginPaint(window, &paint);
    RECT client{};
    ::GetClientRect(window, &client);
    pie_chart::DrawPie(dc, client, value_, depth);
    EndPaint(window, &paint);
    result = 0;
    return TRUE;
}

// Pens, lines, ellipses, pies and arcs, and curved regions, drawn pixel by
// pixel into the DC's surface within its clip.
#include <cmath>
#include <map>
#include <numbers>

#include "gdi_objects.h"

namespace win_gdi {

std::shared_ptr<pen_object> stock_pen(int which) {
    static const auto pens = [] {
        std::vector<std::shared_ptr<pen_object>> list{
            std::make_shared<pen_object>(PS_SOLID, 1, RGB(255, 255, 255)),
            std::make_shared<pen_object>(PS_SOLID, 1, RGB(0, 0, 0)),
            std::make_shared<pen_object>(PS_NULL, 1, RGB(0, 0, 0))};
        for (auto& pen : list) {
            pen->stock = true;
            add_object(pen);
        }
        return list;
    }();
    if (which < WHITE_PEN || which > NULL_PEN) return nullptr;
    return pens[static_cast<size_t>(which - WHITE_PEN)];
}

void select_defaults(dc_state& state, bool memory) {
    if (memory) set_selection(state.bitmap, stock_bitmap());
    set_selection(state.brush, stock_brush(WHITE_BRUSH));
    set_selection(state.pen, stock_pen(BLACK_PEN));
    set_selection(state.font, stock_font(SYSTEM_FONT));
}

namespace {

using pixel_list = std::vector<POINT>;

void fill_rects(dc_object& dc, const std::vector<RECT>& logical, pixel color) {
    canvas& surface = dc.target();
    for (const RECT& r : logical)
        for (const RECT& part : dc.drawable_parts(dc.to_device(r)))
            for (LONG y = part.top; y < part.bottom; ++y)
                std::fill(surface.row(y) + part.left, surface.row(y) + part.right, color);
}

// The pixels in the pen's colour, each widened to the pen's width.
void stroke(dc_object& dc, const pixel_list& pixels) {
    const pen_object& pen = *dc.state.pen;
    if (pen.style == PS_NULL || pixels.empty()) return;
    const int width = std::max(pen.width, 1);
    const int before = (width - 1) / 2;
    std::vector<RECT> rects;
    rects.reserve(pixels.size());
    for (const POINT& p : pixels)
        rects.push_back({p.x - before, p.y - before, p.x - before + width, p.y - before + width});
    fill_rects(dc, rects, opaque_pixel(pen.color));
}

bool brush_paints(const dc_object& dc) {
    return dc.state.brush && dc.state.brush->brush.lbStyle != BS_NULL;
}

// The pixels of a line, both ends included.
pixel_list line_pixels(POINT from, POINT to) {
    pixel_list pixels;
    const LONG dx = std::abs(to.x - from.x), dy = -std::abs(to.y - from.y);
    const LONG sx = from.x < to.x ? 1 : -1, sy = from.y < to.y ? 1 : -1;
    LONG error = dx + dy;
    for (POINT p = from;;) {
        pixels.push_back(p);
        if (p.x == to.x && p.y == to.y) break;
        const LONG twice = 2 * error;
        if (twice >= dy) {
            error += dy;
            p.x += sx;
        }
        if (twice <= dx) {
            error += dx;
            p.y += sy;
        }
    }
    return pixels;
}

// An ellipse's geometry: its rows, its centre and radii in continuous
// coordinates (pixel centres at +0.5).
struct ellipse_shape {
    std::vector<RECT> rows;
    double cx = 0, cy = 0, rx = 0, ry = 0;

    explicit ellipse_shape(const RECT& box)
        : rows(ellipse_rows(box)),
          cx((box.left + box.right) / 2.0),
          cy((box.top + box.bottom) / 2.0),
          rx((box.right - box.left) / 2.0),
          ry((box.bottom - box.top) / 2.0) {}

    // The angle of a point, counterclockwise from the right as seen on
    // the screen.
    double angle_of(double x, double y) const { return std::atan2(cy - y, x - cx); }

    // The pixels on the edge: those of a row with a side open to the
    // outside (left, right, above or below).
    pixel_list edge() const {
        std::map<LONG, const RECT*> by_row;
        for (const RECT& r : rows) by_row[r.top] = &r;
        const auto inside = [&](LONG x, LONG y) {
            const auto it = by_row.find(y);
            return it != by_row.end() && x >= it->second->left && x < it->second->right;
        };
        pixel_list pixels;
        for (const RECT& r : rows)
            for (LONG x = r.left; x < r.right; ++x)
                if (x == r.left || x == r.right - 1 || !inside(x, r.top - 1) ||
                    !inside(x, r.top + 1))
                    pixels.push_back({x, r.top});
        return pixels;
    }

    // Where the ray from the centre in a direction (the angle_of a point)
    // meets the edge, as a pixel inside the ellipse. On any ellipse but a
    // circle the direction is not the ellipse's own parameter: the ray is
    // scaled to the edge along that direction.
    POINT edge_point(double angle) const {
        const double a = std::max(rx - 0.5, 0.0), b = std::max(ry - 0.5, 0.0);
        const double dx = std::cos(angle), dy = -std::sin(angle);
        const double scale = a > 0 && b > 0 ? a * b / std::hypot(b * dx, a * dy) : 0.0;
        const double x = cx + scale * dx;
        const double y = cy + scale * dy;
        return {static_cast<LONG>(std::floor(x)), static_cast<LONG>(std::floor(y))};
    }

    POINT centre_pixel() const {
        return {static_cast<LONG>(std::floor(cx)), static_cast<LONG>(std::floor(cy))};
    }
};

// The part of the ellipse from one angle counterclockwise to another; the
// whole ellipse when they are the same.
struct sector {
    double start = 0, span = 2 * std::numbers::pi;
    bool whole = true;

    sector(const ellipse_shape& e, int x1, int y1, int x2, int y2) {
        // A point names the pixel whose centre the radial goes through.
        start = e.angle_of(x1 + 0.5, y1 + 0.5);
        const double end = e.angle_of(x2 + 0.5, y2 + 0.5);
        whole = start == end;
        if (!whole) span = wrap(end - start);
    }

    static double wrap(double angle) {
        const double full = 2 * std::numbers::pi;
        angle = std::fmod(angle, full);
        return angle < 0 ? angle + full : angle;
    }
    bool contains(const ellipse_shape& e, LONG x, LONG y) const {
        return whole || wrap(e.angle_of(x + 0.5, y + 0.5) - start) <= span;
    }
};

pixel_list arc_pixels(const ellipse_shape& e, const sector& part) {
    pixel_list pixels;
    for (const POINT& p : e.edge())
        if (part.contains(e, p.x, p.y)) pixels.push_back(p);
    return pixels;
}

RECT ordered(int left, int top, int right, int bottom) {
    return {std::min(left, right), std::min(top, bottom), std::max(left, right),
            std::max(top, bottom)};
}

}  // namespace

}  // namespace win_gdi

using namespace win_gdi;

HPEN CreatePen(int style, int width, COLORREF color) {
    return static_cast<HPEN>(add_object(std::make_shared<pen_object>(
        style == PS_NULL ? PS_NULL : PS_SOLID, std::max(width, 1), color & 0xFFFFFF)));
}

BOOL MoveToEx(HDC dc, int x, int y, LPPOINT previous) {
    auto object = find_dc(dc);
    if (!object) return FALSE;
    if (previous) *previous = object->state.position;
    object->state.position = {x, y};
    return TRUE;
}

BOOL LineTo(HDC dc, int x, int y) {
    auto object = find_dc(dc);
    if (!object) return FALSE;
    pixel_list pixels = line_pixels(object->state.position, {x, y});
    pixels.pop_back();  // the end point is not drawn
    stroke(*object, pixels);
    object->state.position = {x, y};
    return TRUE;
}

BOOL Ellipse(HDC dc, int left, int top, int right, int bottom) {
    auto object = find_dc(dc);
    if (!object) return FALSE;
    const ellipse_shape e(ordered(left, top, right, bottom));
    if (brush_paints(*object))
        fill_rects(*object, e.rows, opaque_pixel(object->state.brush->brush.lbColor));
    stroke(*object, e.edge());
    return TRUE;
}

BOOL Pie(HDC dc, int left, int top, int right, int bottom, int x1, int y1, int x2, int y2) {
    auto object = find_dc(dc);
    if (!object) return FALSE;
    const ellipse_shape e(ordered(left, top, right, bottom));
    const sector part(e, x1, y1, x2, y2);
    if (brush_paints(*object)) {
        std::vector<RECT> inside;
        for (const RECT& row : e.rows)
            for (LONG x = row.left; x < row.right; ++x)
                if (part.contains(e, x, row.top)) {
                    if (!inside.empty() && inside.back().top == row.top && inside.back().right == x)
                        ++inside.back().right;
                    else
                        inside.push_back({x, row.top, x + 1, row.top + 1});
                }
        fill_rects(*object, inside, opaque_pixel(object->state.brush->brush.lbColor));
    }
    pixel_list outline = arc_pixels(e, part);
    if (!part.whole)
        for (double angle : {part.start, part.start + part.span}) {
            const pixel_list radial = line_pixels(e.centre_pixel(), e.edge_point(angle));
            outline.insert(outline.end(), radial.begin(), radial.end());
        }
    stroke(*object, outline);
    return TRUE;
}

BOOL Arc(HDC dc, int left, int top, int right, int bottom, int x1, int y1, int x2, int y2) {
    auto object = find_dc(dc);
    if (!object) return FALSE;
    const ellipse_shape e(ordered(left, top, right, bottom));
    stroke(*object, arc_pixels(e, sector(e, x1, y1, x2, y2)));
    return TRUE;
}

HRGN CreateEllipticRgn(int left, int top, int right, int bottom) {
    auto object = std::make_shared<region_object>();
    object->shape = region::ellipse(ordered(left, top, right, bottom));
    return static_cast<HRGN>(add_object(object));
}

HRGN CreateEllipticRgnIndirect(const RECT* box) {
    if (!box) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return CreateEllipticRgn(box->left, box->top, box->right, box->bottom);
}

BOOL FillRgn(HDC dc, HRGN handle, HBRUSH brush_handle) {
    auto object = find_dc(dc);
    auto shape = find_as<region_object>(handle);
    auto brush = find_as<brush_object>(brush_handle);
    if (!object || !shape || !brush) return FALSE;
    if (brush->brush.lbStyle == BS_NULL) return TRUE;
    fill_rects(*object, shape->shape.rects(), opaque_pixel(brush->brush.lbColor));
    return TRUE;
}

// Region arithmetic, slab by slab: the horizontal edges of both operands cut
// the plane into slabs, the spans within each slab into cells that lie
// wholly inside or outside each operand, so the result is decided cell by
// cell and merged back into bands. Curved regions are one band per scan
// line.
#include "gdi_region.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace win_gdi {

namespace {

void sort_unique(std::vector<LONG>& values) {
    std::sort(values.begin(), values.end());
    values.erase(std::unique(values.begin(), values.end()), values.end());
}

bool same_spans(const std::vector<RECT>& a, size_t a_begin, const std::vector<RECT>& band) {
    if (a.size() - a_begin != band.size()) return false;
    for (size_t i = 0; i < band.size(); ++i)
        if (a[a_begin + i].left != band[i].left || a[a_begin + i].right != band[i].right)
            return false;
    return true;
}

}  // namespace

region::region(const RECT& rect) {
    if (rect.right > rect.left && rect.bottom > rect.top) rects_.push_back(rect);
}

namespace {

// The spans of a banded rectangle list that cover the slab [top, bottom),
// which lies within one band of it; first is where the search starts and
// moves on as the slabs go down.
std::vector<std::pair<LONG, LONG>> spans_in(const std::vector<RECT>& rects, size_t& first, LONG top,
                                            LONG bottom) {
    while (first < rects.size() && rects[first].bottom <= top) ++first;
    std::vector<std::pair<LONG, LONG>> spans;
    for (size_t i = first; i < rects.size() && rects[i].top < bottom; ++i)
        if (rects[i].top <= top && rects[i].bottom >= bottom)
            spans.emplace_back(rects[i].left, rects[i].right);
    return spans;
}

bool inside_spans(const std::vector<std::pair<LONG, LONG>>& spans, LONG x0, LONG x1) {
    for (const auto& [left, right] : spans)
        if (left <= x0 && right >= x1) return true;
    return false;
}

}  // namespace

region region::combine(const region& a, const region& b, operation op) {
    std::vector<LONG> ys;
    for (const region* r : {&a, &b})
        for (const RECT& rect : r->rects_) {
            ys.push_back(rect.top);
            ys.push_back(rect.bottom);
        }
    sort_unique(ys);

    std::vector<RECT> rows;
    size_t next_a = 0, next_b = 0;
    for (size_t j = 0; j + 1 < ys.size(); ++j) {
        // Each slab between two edges is cut at the edges of both operands'
        // spans; every cell lies wholly inside or outside each.
        const auto in_a = spans_in(a.rects_, next_a, ys[j], ys[j + 1]);
        const auto in_b = spans_in(b.rects_, next_b, ys[j], ys[j + 1]);
        std::vector<LONG> xs;
        for (const auto* spans : {&in_a, &in_b})
            for (const auto& [left, right] : *spans) {
                xs.push_back(left);
                xs.push_back(right);
            }
        sort_unique(xs);
        for (size_t i = 0; i + 1 < xs.size(); ++i) {
            const bool inside_a = inside_spans(in_a, xs[i], xs[i + 1]);
            const bool inside_b = inside_spans(in_b, xs[i], xs[i + 1]);
            bool inside = false;
            switch (op) {
                case operation::intersect:
                    inside = inside_a && inside_b;
                    break;
                case operation::unite:
                    inside = inside_a || inside_b;
                    break;
                case operation::exclusive_or:
                    inside = inside_a != inside_b;
                    break;
                case operation::subtract:
                    inside = inside_a && !inside_b;
                    break;
            }
            if (!inside) continue;
            if (!rows.empty() && rows.back().top == ys[j] && rows.back().right == xs[i])
                rows.back().right = xs[i + 1];
            else
                rows.push_back({xs[i], ys[j], xs[i + 1], ys[j + 1]});
        }
    }
    return from_bands(rows);
}

region region::from_bands(const std::vector<RECT>& rows) {
    region result;
    size_t previous_band = 0;  // index of the first rectangle of the last band
    for (size_t start = 0; start < rows.size();) {
        size_t end = start;
        while (end < rows.size() && rows[end].top == rows[start].top) ++end;
        const std::vector<RECT> band(rows.begin() + static_cast<std::ptrdiff_t>(start),
                                     rows.begin() + static_cast<std::ptrdiff_t>(end));
        // A band with the same spans right below the last one extends it.
        if (!result.rects_.empty() && result.rects_.back().bottom == band.front().top &&
            same_spans(result.rects_, previous_band, band)) {
            for (size_t k = previous_band; k < result.rects_.size(); ++k)
                result.rects_[k].bottom = band.front().bottom;
        } else {
            previous_band = result.rects_.size();
            result.rects_.insert(result.rects_.end(), band.begin(), band.end());
        }
        start = end;
    }
    return result;
}

std::vector<RECT> ellipse_rows(const RECT& box) {
    std::vector<RECT> rows;
    const double width = box.right - box.left, height = box.bottom - box.top;
    if (width <= 0 || height <= 0) return rows;
    const double cx = (box.left + box.right) / 2.0, cy = (box.top + box.bottom) / 2.0;
    const double rx = width / 2.0, ry = height / 2.0;
    for (LONG y = box.top; y < box.bottom; ++y) {
        const double dy = (y + 0.5 - cy) / ry;
        if (dy * dy > 1.0) continue;
        const double half = rx * std::sqrt(1.0 - dy * dy);
        const LONG left = static_cast<LONG>(std::ceil(cx - half - 0.5));
        const LONG right = static_cast<LONG>(std::floor(cx + half - 0.5)) + 1;
        if (right > left) rows.push_back({left, y, right, y + 1});
    }
    return rows;
}

region region::ellipse(const RECT& box) {
    return from_bands(ellipse_rows(box));
}

RECT region::bounds() const {
    if (rects_.empty()) return {};
    RECT box = rects_.front();
    for (const RECT& r : rects_) {
        box.left = std::min(box.left, r.left);
        box.top = std::min(box.top, r.top);
        box.right = std::max(box.right, r.right);
        box.bottom = std::max(box.bottom, r.bottom);
    }
    return box;
}

bool region::contains(int x, int y) const {
    for (const RECT& r : rects_)
        if (x >= r.left && x < r.right && y >= r.top && y < r.bottom) return true;
    return false;
}

void region::offset(int dx, int dy) {
    for (RECT& r : rects_) OffsetRect(&r, dx, dy);
}

int region::type() const {
    if (rects_.empty()) return NULLREGION;
    return rects_.size() == 1 ? SIMPLEREGION : COMPLEXREGION;
}

bool region::operator==(const region& other) const {
    if (rects_.size() != other.rects_.size()) return false;
    for (size_t i = 0; i < rects_.size(); ++i)
        if (!EqualRect(&rects_[i], &other.rects_[i])) return false;
    return true;
}

std::vector<RECT> visible_parts(const RECT& rect, const region* clip) {
    std::vector<RECT> parts;
    if (!clip) {
        if (!IsRectEmpty(&rect)) parts.push_back(rect);
        return parts;
    }
    for (const RECT& r : clip->rects()) {
        RECT part;
        if (IntersectRect(&part, &r, &rect)) parts.push_back(part);
    }
    return parts;
}

}  // namespace win_gdi

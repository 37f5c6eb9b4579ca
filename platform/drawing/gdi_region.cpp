// Region arithmetic over a grid: every edge of both operands cuts the plane
// into cells that lie wholly inside or outside each operand, so the result is
// decided cell by cell and merged back into bands.
#include "gdi_region.h"

#include <algorithm>

namespace win_gdi {

namespace {

bool covers(const std::vector<RECT>& rects, LONG x0, LONG y0, LONG x1, LONG y1) {
    for (const RECT& r : rects)
        if (r.left <= x0 && r.right >= x1 && r.top <= y0 && r.bottom >= y1) return true;
    return false;
}

void add_edges(const std::vector<RECT>& rects, std::vector<LONG>& xs, std::vector<LONG>& ys) {
    for (const RECT& r : rects) {
        xs.push_back(r.left);
        xs.push_back(r.right);
        ys.push_back(r.top);
        ys.push_back(r.bottom);
    }
}

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

region region::combine(const region& a, const region& b, operation op) {
    std::vector<LONG> xs, ys;
    add_edges(a.rects_, xs, ys);
    add_edges(b.rects_, xs, ys);
    sort_unique(xs);
    sort_unique(ys);

    region result;
    size_t previous_band = 0;  // index of the first rectangle of the last band
    LONG previous_bottom = 0;
    for (size_t j = 0; j + 1 < ys.size(); ++j) {
        std::vector<RECT> band;
        for (size_t i = 0; i + 1 < xs.size(); ++i) {
            const bool in_a = covers(a.rects_, xs[i], ys[j], xs[i + 1], ys[j + 1]);
            const bool in_b = covers(b.rects_, xs[i], ys[j], xs[i + 1], ys[j + 1]);
            bool inside = false;
            switch (op) {
                case operation::intersect:
                    inside = in_a && in_b;
                    break;
                case operation::unite:
                    inside = in_a || in_b;
                    break;
                case operation::exclusive_or:
                    inside = in_a != in_b;
                    break;
                case operation::subtract:
                    inside = in_a && !in_b;
                    break;
            }
            if (!inside) continue;
            if (!band.empty() && band.back().right == xs[i])
                band.back().right = xs[i + 1];
            else
                band.push_back({xs[i], ys[j], xs[i + 1], ys[j + 1]});
        }
        if (band.empty()) continue;
        // A band with the same spans right below the last one extends it.
        if (!result.rects_.empty() && previous_bottom == ys[j] &&
            same_spans(result.rects_, previous_band, band)) {
            for (size_t k = previous_band; k < result.rects_.size(); ++k)
                result.rects_[k].bottom = ys[j + 1];
        } else {
            previous_band = result.rects_.size();
            result.rects_.insert(result.rects_.end(), band.begin(), band.end());
        }
        previous_bottom = ys[j + 1];
    }
    return result;
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

// The shape behind a region handle and a DC's clip: a set of pixels held as
// disjoint rectangles in bands (rows of equal top and bottom, sorted by top,
// then left). Any shape that can be cut into rectangles fits; curved
// regions are one band per scan line.
#pragma once

#include <vector>

#include "win/gdi.h"

namespace win_gdi {

class region {
public:
    region() = default;
    explicit region(const RECT& rect);

    enum class operation { intersect, unite, exclusive_or, subtract };
    static region combine(const region& a, const region& b, operation op);
    // Rectangles one scan line high (sorted by row, then left, disjoint in
    // a row) as a banded region.
    static region from_bands(const std::vector<RECT>& rows);
    // The ellipse inscribed in the box, right and bottom edges excluded.
    static region ellipse(const RECT& box);

    const std::vector<RECT>& rects() const { return rects_; }
    bool empty() const { return rects_.empty(); }
    RECT bounds() const;
    bool contains(int x, int y) const;
    void offset(int dx, int dy);
    // NULLREGION, SIMPLEREGION or COMPLEXREGION.
    int type() const;

    bool operator==(const region& other) const;

private:
    std::vector<RECT> rects_;
};

// The pixels of the ellipse inscribed in the box (the right and bottom
// edges outside it), one rectangle a scan line.
std::vector<RECT> ellipse_rows(const RECT& box);

// The parts of rect that lie inside clip (the whole of rect when clip is
// null), each a rectangle; empty when nothing of rect is visible.
std::vector<RECT> visible_parts(const RECT& rect, const region* clip);

}  // namespace win_gdi

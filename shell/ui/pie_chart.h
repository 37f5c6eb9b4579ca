// The capacity chart of the drive page: a disc seen from above with a
// side wall, the used share in blue and the free share in magenta. The
// chart subclasses a static control and keeps only its value, the used
// space in thousandths.
#pragma once

#include "win/atl_window.h"
#include "win/gdi.h"

namespace pie_chart {

// Where the used share ends on the rim of the top face of a chart drawn in
// the rectangle with that depth, for a value of 0 to 1000 (others are taken
// as the nearer end). The arithmetic is integer and 64-bit, so large charts
// find the same point as a person would.
POINT end_point(const RECT& rect, int value, int depth);

// Draws the chart into the rectangle; nothing when the width, or the height
// less the depth, is below 22 pixels.
void DrawPie(HDC dc, const RECT& rect, int value, int depth);

// The whole-number square root, rounded down.
std::uint64_t IntegerSqrt(std::uint64_t value);

}  // namespace pie_chart

class CPieChart : public CWindowImpl<CPieChart> {
public:
    static constexpr int depth = 9;

    // Stores the value (the used space in thousandths) and repaints.
    void SetValue(int value);
    int GetValue() const { return value_; }

    BOOL ProcessWindowMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam,
                              LRESULT& result, DWORD map_id = 0) override;

private:
    int value_ = 0;
};

// The capacity chart drawn into memory: where the used share ends, what is
// drawn for the ends of the range and for charts too small to show.
#include "ui/pie_chart.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <vector>

#include "win/gdi.h"

// Points compare and print by their coordinates.
bool operator==(const POINT& a, const POINT& b) {
    return a.x == b.x && a.y == b.y;
}
void PrintTo(const POINT& p, std::ostream* out) {
    *out << "(" << p.x << ", " << p.y << ")";
}

namespace {

constexpr uint32_t white = 0xFFFFFFFF;
constexpr uint32_t black = 0xFF000000;
constexpr uint32_t blue = 0xFF0000FF;
constexpr uint32_t magenta = 0xFFFF00FF;
constexpr uint32_t purple = 0xFF800080;
constexpr uint32_t navy = 0xFF000080;
constexpr int depth = CPieChart::depth;

// A white memory surface the chart is drawn into.
class picture {
public:
    picture(int width, int height) : width_(width), height_(height) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        void* bits = nullptr;
        bitmap_ = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        bits_ = static_cast<uint32_t*>(bits);
        dc_ = CreateCompatibleDC(nullptr);
        previous_ = SelectObject(dc_, bitmap_);
        const RECT all{0, 0, width, height};
        FillRect(dc_, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    }
    ~picture() {
        SelectObject(dc_, previous_);
        DeleteDC(dc_);
        DeleteObject(bitmap_);
    }
    picture(const picture&) = delete;
    picture& operator=(const picture&) = delete;

    void draw(int value) { pie_chart::DrawPie(dc_, RECT{0, 0, width_, height_}, value, depth); }
    uint32_t at(int x, int y) const { return bits_[y * width_ + x]; }
    std::vector<uint32_t> pixels() const { return {bits_, bits_ + width_ * height_}; }
    bool blank() const {
        for (uint32_t p : pixels())
            if (p != white) return false;
        return true;
    }

private:
    int width_, height_;
    HBITMAP bitmap_ = nullptr;
    uint32_t* bits_ = nullptr;
    HDC dc_ = nullptr;
    HGDIOBJ previous_ = nullptr;
};

TEST(PieChart, TheUsedShareEndsWhereItBelongsOnSmallAndLargeCharts) {
    // 100 by 60 on top: radii 50 and 30, centre (49, 29).
    const RECT small{0, 0, 100, 60 + depth};
    EXPECT_EQ(pie_chart::end_point(small, 250, depth), (POINT{49, -1}));
    EXPECT_EQ(pie_chart::end_point(small, 500, depth), (POINT{99, 29}));
    EXPECT_EQ(pie_chart::end_point(small, 750, depth), (POINT{49, 59}));
    EXPECT_EQ(pie_chart::end_point(small, 125, depth), (POINT{14, 8}));
    // Radii of 350 and 300 pixels: the products pass 32 bits.
    const RECT large{0, 0, 700, 600 + depth};
    EXPECT_EQ(pie_chart::end_point(large, 125, depth), (POINT{102, 87}));
    EXPECT_EQ(pie_chart::end_point(large, 500, depth), (POINT{699, 299}));
    EXPECT_EQ(pie_chart::end_point(large, 875, depth), (POINT{102, 511}));
    EXPECT_EQ(pie_chart::IntegerSqrt(0), 0u);
    EXPECT_EQ(pie_chart::IntegerSqrt(44999), 212u);
    EXPECT_EQ(pie_chart::IntegerSqrt(45369), 213u);
    EXPECT_EQ(pie_chart::IntegerSqrt(UINT64_MAX), 4294967295u);
}

TEST(PieChart, ValuesOutsideTheRangeAreTakenAsItsEnds) {
    const RECT rect{0, 0, 120, 80};
    EXPECT_EQ(pie_chart::end_point(rect, -300, depth), pie_chart::end_point(rect, 0, depth));
    EXPECT_EQ(pie_chart::end_point(rect, 1700, depth), pie_chart::end_point(rect, 1000, depth));
    picture below(120, 80), empty(120, 80), above(120, 80), full(120, 80);
    below.draw(-300);
    empty.draw(0);
    above.draw(1700);
    full.draw(1000);
    EXPECT_EQ(below.pixels(), empty.pixels());
    EXPECT_EQ(above.pixels(), full.pixels());
}

TEST(PieChart, TheEndsOfTheRangeAreWholeDiscsWithoutTheSideStrokes) {
    // 120 by 71: radii 60 and 31, centre (59, 30); the wall below to 70.
    picture empty(120, 71), full(120, 71), part(120, 71);
    empty.draw(0);
    full.draw(1000);
    part.draw(300);
    EXPECT_EQ(empty.at(59, 30), magenta);
    EXPECT_EQ(empty.at(20, 20), magenta);
    EXPECT_EQ(full.at(59, 30), blue);
    EXPECT_EQ(full.at(100, 40), blue);
    // The side wall's left edge is stroked only for a share in between.
    EXPECT_EQ(part.at(0, 35), black);
    EXPECT_NE(empty.at(0, 35), black);
    EXPECT_NE(full.at(0, 35), black);
    EXPECT_EQ(empty.at(59, 66), purple);
    // A full disc's wall is the used share's all round.
    EXPECT_EQ(full.at(59, 66), navy);

    // A share above half: its wall from the end point to the right is dark
    // blue.
    picture most(120, 71);
    most.draw(750);
    EXPECT_EQ(most.at(59, 30), blue);
    EXPECT_EQ(most.at(30, 45), magenta);
    EXPECT_EQ(most.at(90, 62), navy);
    EXPECT_EQ(most.at(30, 62), purple);
}

TEST(PieChart, ChartsBelowTwentyTwoPixelsStayEmpty) {
    picture narrow(21, 60), low(60, 21 + depth), smallest(22, 22 + depth);
    narrow.draw(300);
    low.draw(300);
    smallest.draw(300);
    EXPECT_TRUE(narrow.blank());
    EXPECT_TRUE(low.blank());
    EXPECT_FALSE(smallest.blank());
}

}  // namespace

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

#include "gdi_test_support.h"
#include "win/gdi.h"

using gdi_testing::surface;

namespace {

constexpr uint32_t white = 0xFFFFFFFF;
constexpr uint32_t black = 0xFF000000;
constexpr uint32_t red = 0xFFFF0000;
constexpr uint32_t blue = 0xFF0000FF;

int count(const surface& s, uint32_t value) {
    int found = 0;
    for (int y = 0; y < s.height(); ++y)
        for (int x = 0; x < s.width(); ++x) found += s.at(x, y) == value;
    return found;
}

// A solid brush selected for the life of the object.
class selected_brush {
public:
    selected_brush(HDC dc, COLORREF color) : dc_(dc), brush_(CreateSolidBrush(color)) {
        previous_ = SelectObject(dc_, brush_);
    }
    ~selected_brush() {
        SelectObject(dc_, previous_);
        DeleteObject(brush_);
    }
    selected_brush(const selected_brush&) = delete;
    selected_brush& operator=(const selected_brush&) = delete;

private:
    HDC dc_;
    HBRUSH brush_;
    HGDIOBJ previous_;
};

}  // namespace

TEST(Shapes, AnEllipseFillsItsBoxWithoutTheRightAndBottomEdgesAndIsOutlined) {
    surface s(40, 30);
    s.fill(white);
    selected_brush brush(s.dc(), RGB(255, 0, 0));
    ASSERT_TRUE(Ellipse(s.dc(), 0, 0, 40, 20));
    // The middle row reaches both sides, outlined in the black pen.
    EXPECT_EQ(s.at(0, 10), black);
    EXPECT_EQ(s.at(39, 10), black);
    EXPECT_EQ(s.at(20, 10), red);
    EXPECT_EQ(s.at(20, 0), black);
    EXPECT_EQ(s.at(20, 19), black);
    EXPECT_EQ(s.at(20, 20), white);  // the bottom edge lies outside
    EXPECT_EQ(s.at(0, 0), white);    // the box's corners too
    EXPECT_EQ(s.at(39, 19), white);
    // Symmetric about both axes.
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 40; ++x) {
            ASSERT_EQ(s.at(x, y), s.at(39 - x, y)) << x << "," << y;
            ASSERT_EQ(s.at(x, y), s.at(x, 19 - y)) << x << "," << y;
        }

    // A null pen leaves the fill alone.
    s.fill(white);
    SelectObject(s.dc(), GetStockObject(NULL_PEN));
    Ellipse(s.dc(), 0, 0, 40, 20);
    EXPECT_EQ(s.at(0, 10), red);
    EXPECT_EQ(count(s, black), 0);
}

TEST(Shapes, APieCoversItsSectorCounterclockwise) {
    surface s(41, 41);
    s.fill(white);
    selected_brush brush(s.dc(), RGB(0, 0, 255));
    HPEN pen = CreatePen(PS_SOLID, 1, RGB(255, 0, 0));
    HGDIOBJ previous = SelectObject(s.dc(), pen);
    // From the left counterclockwise to the bottom: the lower left quarter.
    ASSERT_TRUE(Pie(s.dc(), 0, 0, 41, 41, 0, 20, 20, 40));
    EXPECT_EQ(s.at(10, 30), blue);
    EXPECT_EQ(s.at(30, 30), white);
    EXPECT_EQ(s.at(10, 10), white);
    EXPECT_EQ(s.at(30, 10), white);
    // The radials are stroked.
    EXPECT_EQ(s.at(10, 20), red);
    EXPECT_EQ(s.at(20, 30), red);

    // The other way round: three quarters.
    s.fill(white);
    Pie(s.dc(), 0, 0, 41, 41, 20, 40, 0, 20);
    EXPECT_EQ(s.at(10, 30), white);
    EXPECT_EQ(s.at(30, 30), blue);
    EXPECT_EQ(s.at(10, 10), blue);

    // Coinciding radials give the whole ellipse.
    s.fill(white);
    Pie(s.dc(), 0, 0, 41, 41, 0, 20, 5, 20);
    EXPECT_EQ(s.at(10, 30), blue);
    EXPECT_EQ(s.at(30, 10), blue);
    SelectObject(s.dc(), previous);
    EXPECT_TRUE(DeleteObject(pen));
}

// On an ellipse that is not a circle, a direction from the centre meets the
// edge elsewhere than the ellipse's own angle does: each radial follows the
// direction of its point, and the pen draws nothing else inside the edge.
TEST(Shapes, APieOnAnEllipseStrokesItsRadialsAlongTheDirectionsOfItsPoints) {
    struct pie_case {
        RECT box;
        double from, to;  // degrees, counterclockwise from the right
    };
    const pie_case cases[] = {{{0, 0, 121, 41}, 30, 200},
                              {{0, 0, 121, 41}, 135, 300},
                              {{0, 0, 41, 101}, 10, 250},
                              {{3, 2, 90, 60}, 290, 160}};
    constexpr double degree = 3.14159265358979323846 / 180;
    for (const pie_case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.box.right << "x" << c.box.bottom << " from " << c.from);
        const double cx = (c.box.left + c.box.right) / 2.0, cy = (c.box.top + c.box.bottom) / 2.0;
        const double rx = (c.box.right - c.box.left) / 2.0, ry = (c.box.bottom - c.box.top) / 2.0;
        // A point far out in the direction, and the direction it gives.
        const auto far_point = [&](double angle) {
            return POINT{static_cast<LONG>(std::lround(cx + 2000 * std::cos(angle))),
                         static_cast<LONG>(std::lround(cy - 2000 * std::sin(angle)))};
        };
        const POINT start = far_point(c.from * degree), end = far_point(c.to * degree);
        std::vector<std::pair<double, double>> edges;  // where the radials end
        for (const POINT p : {start, end}) {
            const double angle = std::atan2(cy - (p.y + 0.5), p.x + 0.5 - cx);
            const double dx = std::cos(angle), dy = -std::sin(angle);
            const double scale = rx * ry / std::hypot(ry * dx, rx * dy);
            edges.emplace_back(cx + scale * dx, cy + scale * dy);
        }
        const auto distance_to_radials = [&](double x, double y) {
            double nearest = 1e9;
            for (const auto& [ex, ey] : edges) {
                const double vx = ex - cx, vy = ey - cy;
                const double t =
                    std::clamp(((x - cx) * vx + (y - cy) * vy) / (vx * vx + vy * vy), 0.0, 1.0);
                nearest = std::min(nearest, std::hypot(x - (cx + t * vx), y - (cy + t * vy)));
            }
            return nearest;
        };

        surface s(c.box.right + 2, c.box.bottom + 2);
        s.fill(white);
        selected_brush brush(s.dc(), RGB(0, 0, 255));
        HPEN pen = CreatePen(PS_SOLID, 1, RGB(255, 0, 0));
        HGDIOBJ previous = SelectObject(s.dc(), pen);
        ASSERT_TRUE(Pie(s.dc(), c.box.left, c.box.top, c.box.right, c.box.bottom, start.x, start.y,
                        end.x, end.y));
        SelectObject(s.dc(), previous);
        DeleteObject(pen);

        for (const auto& [ex, ey] : edges)
            for (double t = 0.2; t <= 0.8; t += 0.05) {
                const int x = static_cast<int>(std::floor(cx + t * (ex - cx)));
                const int y = static_cast<int>(std::floor(cy + t * (ey - cy)));
                bool stroked = false;
                for (int dy = -1; dy <= 1; ++dy)
                    for (int dx = -1; dx <= 1; ++dx) stroked |= s.at(x + dx, y + dy) == red;
                EXPECT_TRUE(stroked) << "no radial near " << x << "," << y;
            }
        for (int y = 0; y < s.height(); ++y)
            for (int x = 0; x < s.width(); ++x) {
                const double radius = std::hypot((x + 0.5 - cx) / rx, (y + 0.5 - cy) / ry);
                if (radius < 1 - 2 / std::min(rx, ry) && s.at(x, y) == red) {
                    EXPECT_LT(distance_to_radials(x + 0.5, y + 0.5), 1.5)
                        << "stray stroke at " << x << "," << y;
                }
            }
    }
}

TEST(Shapes, ArcsAndLinesDrawOnlyWithThePen) {
    surface s(41, 41);
    s.fill(white);
    HPEN pen = CreatePen(PS_SOLID, 1, RGB(255, 0, 0));
    SelectObject(s.dc(), pen);
    // The lower half of the circle, from the left to the right.
    ASSERT_TRUE(Arc(s.dc(), 0, 0, 41, 41, 0, 20, 40, 20));
    EXPECT_EQ(s.at(20, 40), red);
    EXPECT_EQ(s.at(20, 0), white);
    EXPECT_EQ(s.at(20, 20), white);

    s.fill(white);
    POINT before{};
    MoveToEx(s.dc(), 5, 5, nullptr);
    EXPECT_TRUE(MoveToEx(s.dc(), 5, 2, &before));
    EXPECT_EQ(before.x, 5);
    EXPECT_EQ(before.y, 5);
    ASSERT_TRUE(LineTo(s.dc(), 5, 12));
    EXPECT_EQ(s.at(5, 2), red);
    EXPECT_EQ(s.at(5, 11), red);
    EXPECT_EQ(s.at(5, 12), white);  // the end point is not drawn
    EXPECT_EQ(count(s, 0xFFFF0000), 10);
    // The next line starts where the last ended.
    LineTo(s.dc(), 9, 12);
    EXPECT_EQ(s.at(5, 12), red);
    EXPECT_EQ(s.at(8, 12), red);
    EXPECT_EQ(s.at(9, 12), white);

    // Lines follow the viewport origin and stay inside the clip.
    s.fill(white);
    SetViewportOrgEx(s.dc(), 10, 0, nullptr);
    HRGN clip = CreateRectRgn(0, 0, 15, 41);
    SelectClipRgn(s.dc(), clip);
    MoveToEx(s.dc(), 0, 20, nullptr);
    LineTo(s.dc(), 30, 20);
    EXPECT_EQ(s.at(10, 20), red);
    EXPECT_EQ(s.at(14, 20), red);
    EXPECT_EQ(s.at(15, 20), white);
    EXPECT_EQ(s.at(9, 20), white);
    SelectClipRgn(s.dc(), nullptr);
    SetViewportOrgEx(s.dc(), 0, 0, nullptr);
    DeleteObject(clip);

    // A wide pen widens every pixel of the stroke.
    s.fill(white);
    HPEN wide = CreatePen(PS_SOLID, 3, RGB(0, 0, 255));
    SelectObject(s.dc(), wide);
    MoveToEx(s.dc(), 10, 10, nullptr);
    LineTo(s.dc(), 20, 10);
    EXPECT_EQ(s.at(15, 9), blue);
    EXPECT_EQ(s.at(15, 11), blue);
    EXPECT_EQ(s.at(15, 12), white);
    SelectObject(s.dc(), GetStockObject(BLACK_PEN));
    EXPECT_TRUE(DeleteObject(pen));
    EXPECT_TRUE(DeleteObject(wide));
    EXPECT_EQ(GetObjectType(GetStockObject(WHITE_PEN)), static_cast<DWORD>(OBJ_PEN));
}

TEST(Regions, EllipticRegionsCombineAndFill) {
    HRGN disc = CreateEllipticRgn(0, 0, 40, 20);
    RECT box{};
    EXPECT_EQ(GetRgnBox(disc, &box), COMPLEXREGION);
    EXPECT_EQ(box.left, 0);
    EXPECT_EQ(box.top, 0);
    EXPECT_EQ(box.right, 40);
    EXPECT_EQ(box.bottom, 20);
    EXPECT_TRUE(PtInRegion(disc, 20, 10));
    EXPECT_FALSE(PtInRegion(disc, 0, 0));
    EXPECT_FALSE(PtInRegion(disc, 20, 20));

    // A ring: the disc less the disc moved down by one, as a disc's side
    // wall is made.
    HRGN lower = CreateEllipticRgn(0, 5, 40, 25);
    HRGN wall = CreateRectRgn(0, 0, 0, 0);
    EXPECT_EQ(CombineRgn(wall, lower, disc, RGN_DIFF), COMPLEXREGION);
    EXPECT_TRUE(PtInRegion(wall, 20, 22));
    EXPECT_FALSE(PtInRegion(wall, 20, 10));
    EXPECT_FALSE(PtInRegion(wall, 20, 3));

    surface s(50, 30);
    s.fill(white);
    HBRUSH purple = CreateSolidBrush(RGB(128, 0, 128));
    ASSERT_TRUE(FillRgn(s.dc(), wall, purple));
    EXPECT_EQ(s.at(20, 22), 0xFF800080u);
    EXPECT_EQ(s.at(20, 10), white);
    // The region is in logical coordinates.
    SetViewportOrgEx(s.dc(), 5, 0, nullptr);
    s.fill(white);
    FillRgn(s.dc(), wall, purple);
    EXPECT_EQ(s.at(25, 22), 0xFF800080u);
    EXPECT_EQ(s.at(2, 21), white);
    EXPECT_FALSE(FillRgn(s.dc(), nullptr, purple));

    HRGN same = CreateEllipticRgnIndirect(&box);
    EXPECT_TRUE(EqualRgn(same, disc));
    for (HGDIOBJ o :
         {static_cast<HGDIOBJ>(disc), static_cast<HGDIOBJ>(lower), static_cast<HGDIOBJ>(wall),
          static_cast<HGDIOBJ>(same), static_cast<HGDIOBJ>(purple)})
        EXPECT_TRUE(DeleteObject(o));
}

#include <gtest/gtest.h>

#include "gdi_test_support.h"
#include "win/gdi.h"

using gdi_testing::surface;

namespace {

int count_pixels(const surface& s, uint32_t value) {
    int count = 0;
    for (int y = 0; y < s.height(); ++y)
        for (int x = 0; x < s.width(); ++x) count += s.at(x, y) == value;
    return count;
}

}  // namespace

TEST(Rectangles, EmptyResultsAndExcludedEdges) {
    RECT a{0, 0, 10, 10}, b{10, 0, 20, 10}, out{1, 2, 3, 4};
    EXPECT_FALSE(IntersectRect(&out, &a, &b));  // touching is not overlapping
    EXPECT_TRUE(IsRectEmpty(&out));
    EXPECT_EQ(out.right, 0);
    RECT empty{5, 5, 5, 50};
    EXPECT_TRUE(UnionRect(&out, &a, &empty));
    EXPECT_TRUE(EqualRect(&out, &a));  // an empty rectangle adds nothing
    EXPECT_TRUE(UnionRect(&out, &a, &b));
    EXPECT_EQ(out.right, 20);
    EXPECT_TRUE(PtInRect(&a, POINT{0, 9}));
    EXPECT_FALSE(PtInRect(&a, POINT{10, 5}));
    OffsetRect(&a, -3, 4);
    EXPECT_EQ(a.left, -3);
    EXPECT_EQ(a.bottom, 14);
    EXPECT_TRUE(IsRectEmpty(nullptr));
}

TEST(Regions, CombinationsOfRectangles) {
    HRGN a = CreateRectRgn(0, 0, 10, 10);
    HRGN b = CreateRectRgn(5, 5, 15, 15);
    HRGN result = CreateRectRgn(0, 0, 0, 0);

    EXPECT_EQ(CombineRgn(result, a, b, RGN_AND), SIMPLEREGION);
    RECT box;
    GetRgnBox(result, &box);
    EXPECT_EQ(box.left, 5);
    EXPECT_EQ(box.right, 10);

    EXPECT_EQ(CombineRgn(result, a, b, RGN_OR), COMPLEXREGION);
    GetRgnBox(result, &box);
    EXPECT_EQ(box.right, 15);
    EXPECT_TRUE(PtInRegion(result, 12, 12));
    EXPECT_FALSE(PtInRegion(result, 12, 2));

    EXPECT_EQ(CombineRgn(result, a, b, RGN_DIFF), COMPLEXREGION);
    EXPECT_FALSE(PtInRegion(result, 7, 7));
    EXPECT_TRUE(PtInRegion(result, 7, 2));
    EXPECT_EQ(CombineRgn(result, a, b, RGN_XOR), COMPLEXREGION);
    EXPECT_FALSE(PtInRegion(result, 7, 7));
    EXPECT_TRUE(PtInRegion(result, 12, 12));

    // The same shape made in another order is the same region, and a union
    // of two halves is one rectangle again.
    HRGN left = CreateRectRgn(0, 0, 5, 10);
    HRGN right = CreateRectRgn(5, 0, 10, 10);
    HRGN whole = CreateRectRgn(0, 0, 0, 0);
    EXPECT_EQ(CombineRgn(whole, right, left, RGN_OR), SIMPLEREGION);
    EXPECT_TRUE(EqualRgn(whole, a));
    EXPECT_EQ(CombineRgn(result, a, a, RGN_DIFF), NULLREGION);
    EXPECT_EQ(CombineRgn(result, a, nullptr, RGN_COPY), SIMPLEREGION);
    EXPECT_EQ(CombineRgn(result, a, nullptr, RGN_OR), ERROR);
    for (HRGN r : {a, b, result, left, right, whole}) EXPECT_TRUE(DeleteObject(r));
}

TEST(Clipping, NestedClipsAndOriginsAsAControlTreeUsesThem) {
    surface s(40, 40);
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
    HBRUSH blue = CreateSolidBrush(RGB(0, 0, 255));

    // The dirty rectangle, then a control at (10, 10) and its child at (5, 5).
    HRGN dirty = CreateRectRgn(0, 0, 30, 30);
    SelectClipRgn(s.dc(), dirty);
    const int outer = SaveDC(s.dc());
    IntersectClipRect(s.dc(), 10, 10, 40, 40);
    SetViewportOrgEx(s.dc(), 10, 10, nullptr);
    RECT clip;
    EXPECT_EQ(GetClipBox(s.dc(), &clip), SIMPLEREGION);
    EXPECT_EQ(clip.left, 0);  // logical: the control's own corner
    EXPECT_EQ(clip.right, 20);
    const RECT everything{-100, -100, 100, 100};
    FillRect(s.dc(), &everything, red);

    SaveDC(s.dc());
    IntersectClipRect(s.dc(), 5, 5, 10, 10);  // logical, so device (15,15)-(20,20)
    OffsetViewportOrgEx(s.dc(), 5, 5, nullptr);
    FillRect(s.dc(), &everything, blue);
    RestoreDC(s.dc(), -1);

    POINT origin;
    GetViewportOrgEx(s.dc(), &origin);
    EXPECT_EQ(origin.x, 10);
    RestoreDC(s.dc(), outer);
    GetViewportOrgEx(s.dc(), &origin);
    EXPECT_EQ(origin.x, 0);
    GetClipBox(s.dc(), &clip);
    EXPECT_EQ(clip.left, 0);
    EXPECT_EQ(clip.right, 30);

    EXPECT_EQ(s.at(9, 9), 0u);             // outside the control
    EXPECT_EQ(s.at(10, 10), 0xFFFF0000u);  // the control
    EXPECT_EQ(s.at(29, 29), 0xFFFF0000u);
    EXPECT_EQ(s.at(30, 30), 0u);           // outside the dirty rectangle
    EXPECT_EQ(s.at(15, 15), 0xFF0000FFu);  // the child
    EXPECT_EQ(s.at(20, 20), 0xFFFF0000u);
    EXPECT_EQ(count_pixels(s, 0xFF0000FFu), 25);
    EXPECT_EQ(count_pixels(s, 0xFFFF0000u), 400 - 25);

    // Removing the clip shows the whole surface again.
    SelectClipRgn(s.dc(), nullptr);
    GetClipBox(s.dc(), &clip);
    EXPECT_EQ(clip.right, 40);
    EXPECT_FALSE(RestoreDC(s.dc(), 1));  // nothing left to restore
    DeleteObject(dirty);
    DeleteObject(red);
    DeleteObject(blue);
}

TEST(Clipping, AComplexClipDrawsOnlyInsideItsParts) {
    surface s(20, 20);
    HRGN a = CreateRectRgn(0, 0, 5, 5);
    HRGN b = CreateRectRgn(10, 10, 15, 15);
    HRGN both = CreateRectRgn(0, 0, 0, 0);
    CombineRgn(both, a, b, RGN_OR);
    EXPECT_EQ(SelectClipRgn(s.dc(), both), COMPLEXREGION);
    DeleteObject(both);  // the DC keeps its own copy
    HBRUSH black = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    const RECT all{0, 0, 20, 20};
    FillRect(s.dc(), &all, black);
    EXPECT_EQ(count_pixels(s, 0xFF000000u), 50);
    EXPECT_EQ(s.at(12, 12), 0xFF000000u);
    EXPECT_EQ(s.at(7, 7), 0u);
    RECT box;
    EXPECT_EQ(GetClipBox(s.dc(), &box), COMPLEXREGION);
    EXPECT_EQ(box.right, 15);
    DeleteObject(a);
    DeleteObject(b);
}

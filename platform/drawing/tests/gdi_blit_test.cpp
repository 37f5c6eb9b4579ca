#include <gtest/gtest.h>

#include "gdi_test_support.h"
#include "win/gdi.h"
#include "win/gdi_test.h"

using gdi_testing::surface;
using win_gdi::make_pixel;

namespace {

constexpr uint32_t opaque_red = 0xFFFF0000;
constexpr uint32_t opaque_blue = 0xFF0000FF;

BLENDFUNCTION blend(BYTE constant, BYTE format) {
    return BLENDFUNCTION{AC_SRC_OVER, 0, constant, format};
}

}  // namespace

TEST(DibSection, BitsAreTheSurfaceInBothRowOrders) {
    surface top_down(4, 3);
    surface bottom_up(4, 3, true);
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
    const RECT first_row{0, 0, 4, 1};
    FillRect(top_down.dc(), &first_row, red);
    FillRect(bottom_up.dc(), &first_row, red);
    // The top row is the first row of memory top-down, the last bottom-up.
    EXPECT_EQ(top_down.bits()[0], opaque_red);
    EXPECT_EQ(top_down.bits()[2 * 4], 0u);
    EXPECT_EQ(bottom_up.bits()[2 * 4], opaque_red);
    EXPECT_EQ(bottom_up.bits()[0], 0u);

    // What the caller writes through the bits is what the DC blits.
    top_down.bits()[4 + 1] = 0x80402010;
    surface copy(4, 3);
    ASSERT_TRUE(BitBlt(copy.dc(), 0, 0, 4, 3, top_down.dc(), 0, 0, SRCCOPY));
    EXPECT_EQ(copy.at(1, 1), 0x80402010u);

    BITMAP description{};
    ASSERT_EQ(GetObjectW(top_down.bitmap(), sizeof description, &description),
              static_cast<int>(sizeof description));
    EXPECT_EQ(description.bmWidth, 4);
    EXPECT_EQ(description.bmHeight, 3);
    EXPECT_EQ(description.bmBitsPixel, 32);
    EXPECT_EQ(description.bmBits, top_down.bits());
    DeleteObject(red);
}

TEST(DibSection, RefusesFormatsItDoesNotHold) {
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), 10, -10, 1, 16, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = reinterpret_cast<void*>(1);
    EXPECT_EQ(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
    EXPECT_EQ(bits, nullptr);
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biWidth = 0;
    EXPECT_EQ(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
    info.bmiHeader.biWidth = 100000;
    EXPECT_EQ(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST(BitBlt, CopiesWithBothOriginsAndLeavesOutWhatLiesOutside) {
    surface source(4, 4);
    surface target(6, 6);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) source.bits()[y * 4 + x] = make_pixel(255, x, y, 7);
    SetViewportOrgEx(source.dc(), 1, 1, nullptr);  // logical (0,0) is source pixel (1,1)
    SetViewportOrgEx(target.dc(), 2, 0, nullptr);
    target.fill(opaque_blue);
    // 4 by 4 from logical (0,0) of the source: only 3 by 3 of it exists.
    ASSERT_TRUE(BitBlt(target.dc(), 0, 0, 4, 4, source.dc(), 0, 0, SRCCOPY));
    EXPECT_EQ(target.at(2, 0), make_pixel(255, 1, 1, 7));
    EXPECT_EQ(target.at(4, 2), make_pixel(255, 3, 3, 7));
    EXPECT_EQ(target.at(5, 3), opaque_blue);  // beyond the source's edge
    EXPECT_EQ(target.at(1, 0), opaque_blue);  // left of the target origin
    EXPECT_FALSE(BitBlt(target.dc(), 0, 0, 1, 1, source.dc(), 0, 0, 0x00EE0086));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_SUPPORTED));
}

TEST(BitBlt, OverlappingCopyWithinOneSurfaceReadsTheOldPixels) {
    surface s(5, 1);
    for (int x = 0; x < 5; ++x) s.bits()[x] = make_pixel(255, x, 0, 0);
    ASSERT_TRUE(BitBlt(s.dc(), 1, 0, 4, 1, s.dc(), 0, 0, SRCCOPY));
    for (int x = 1; x < 5; ++x) EXPECT_EQ(s.at(x, 0), make_pixel(255, x - 1, 0, 0)) << x;
}

TEST(StretchBlt, ScalesByNearestPixel) {
    surface source(2, 2);
    source.bits()[0] = 0xFF000001;
    source.bits()[1] = 0xFF000002;
    source.bits()[2] = 0xFF000003;
    source.bits()[3] = 0xFF000004;
    surface target(4, 4);
    ASSERT_TRUE(StretchBlt(target.dc(), 0, 0, 4, 4, source.dc(), 0, 0, 2, 2, SRCCOPY));
    EXPECT_EQ(target.at(0, 0), 0xFF000001u);
    EXPECT_EQ(target.at(1, 1), 0xFF000001u);
    EXPECT_EQ(target.at(2, 1), 0xFF000002u);
    EXPECT_EQ(target.at(1, 2), 0xFF000003u);
    EXPECT_EQ(target.at(3, 3), 0xFF000004u);
    // Shrinking takes every other pixel's neighbour, never one outside.
    surface small(1, 1);
    ASSERT_TRUE(StretchBlt(small.dc(), 0, 0, 1, 1, target.dc(), 0, 0, 4, 4, SRCCOPY));
    EXPECT_EQ(small.at(0, 0), 0xFF000004u);
    EXPECT_FALSE(StretchBlt(small.dc(), 1, 0, -1, 1, target.dc(), 0, 0, 4, 4, SRCCOPY));
}

TEST(AlphaBlend, PerPixelAlphaIsPremultipliedSourceOver) {
    surface source(2, 1);
    source.bits()[0] = 0x80800000;  // half-covered red, premultiplied
    source.bits()[1] = 0x00000000;  // transparent
    surface target(2, 1);
    target.fill(opaque_blue);
    ASSERT_TRUE(
        AlphaBlend(target.dc(), 0, 0, 2, 1, source.dc(), 0, 0, 2, 1, blend(255, AC_SRC_ALPHA)));
    EXPECT_EQ(target.at(0, 0), make_pixel(255, 128, 0, 127));
    EXPECT_EQ(target.at(1, 0), opaque_blue);

    // Over a transparent destination the result stays premultiplied.
    surface clear(1, 1);
    AlphaBlend(clear.dc(), 0, 0, 1, 1, source.dc(), 0, 0, 1, 1, blend(255, AC_SRC_ALPHA));
    EXPECT_EQ(clear.at(0, 0), 0x80800000u);
}

TEST(AlphaBlend, ConstantAlphaScalesTheSourceWithOrWithoutItsOwnAlpha) {
    surface source(1, 1);
    source.fill(opaque_red);
    surface target(1, 1);
    target.fill(opaque_blue);
    ASSERT_TRUE(AlphaBlend(target.dc(), 0, 0, 1, 1, source.dc(), 0, 0, 1, 1, blend(128, 0)));
    EXPECT_EQ(target.at(0, 0), make_pixel(255, 128, 0, 127));

    source.fill(0x80800000);
    target.fill(opaque_blue);
    ASSERT_TRUE(
        AlphaBlend(target.dc(), 0, 0, 1, 1, source.dc(), 0, 0, 1, 1, blend(128, AC_SRC_ALPHA)));
    // The source becomes alpha 64, red 64; blue keeps 255 * 191 / 255.
    EXPECT_EQ(target.at(0, 0), make_pixel(255, 64, 0, 191));
}

TEST(AlphaBlend, StretchesAndRefusesSourcesOutsideTheirSurface) {
    surface source(1, 1);
    source.fill(opaque_red);
    surface target(3, 3);
    ASSERT_TRUE(
        AlphaBlend(target.dc(), 0, 0, 3, 3, source.dc(), 0, 0, 1, 1, blend(255, AC_SRC_ALPHA)));
    EXPECT_EQ(target.at(2, 2), opaque_red);
    EXPECT_FALSE(
        AlphaBlend(target.dc(), 0, 0, 3, 3, source.dc(), 0, 0, 2, 1, blend(255, AC_SRC_ALPHA)));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    SetViewportOrgEx(source.dc(), -1, 0, nullptr);
    EXPECT_FALSE(
        AlphaBlend(target.dc(), 0, 0, 1, 1, source.dc(), 0, 0, 1, 1, blend(255, AC_SRC_ALPHA)));
}

TEST(Objects, SelectionRulesKeepBitmapsAndStockObjectsSafe) {
    HBITMAP bitmap = CreateCompatibleBitmap(nullptr, 8, 8);
    HDC first = CreateCompatibleDC(nullptr);
    HDC second = CreateCompatibleDC(nullptr);
    HGDIOBJ original = SelectObject(first, bitmap);
    ASSERT_NE(original, nullptr);
    EXPECT_EQ(GetObjectType(original), static_cast<DWORD>(OBJ_BITMAP));
    // One bitmap, one DC at a time; never deleted while selected.
    EXPECT_EQ(SelectObject(second, bitmap), nullptr);
    EXPECT_FALSE(DeleteObject(bitmap));
    EXPECT_EQ(SelectObject(first, original), bitmap);
    EXPECT_NE(SelectObject(second, bitmap), nullptr);
    DeleteDC(second);
    EXPECT_TRUE(DeleteObject(bitmap));
    EXPECT_EQ(GetObjectType(bitmap), 0u);

    HGDIOBJ white = GetStockObject(WHITE_BRUSH);
    EXPECT_FALSE(DeleteObject(white));
    EXPECT_EQ(GetObjectType(white), static_cast<DWORD>(OBJ_BRUSH));
    EXPECT_EQ(GetObjectType(first), static_cast<DWORD>(OBJ_MEMDC));
    EXPECT_TRUE(DeleteDC(first));
    EXPECT_FALSE(DeleteDC(first));
}

TEST(Objects, AWindowDcDrawsIntoItsCanvasAndHoldsNoBitmap) {
    auto window = std::make_shared<win_gdi::canvas>(3, 2);
    HDC dc = win_gdi::create_dc_over(window);
    HBRUSH green = CreateSolidBrush(RGB(0, 255, 0));
    const RECT all{0, 0, 3, 2};
    FillRect(dc, &all, green);
    EXPECT_EQ(window->at(2, 1), 0xFF00FF00u);
    HBITMAP bitmap = CreateCompatibleBitmap(nullptr, 1, 1);
    EXPECT_EQ(SelectObject(dc, bitmap), nullptr);
    EXPECT_FALSE(DeleteDC(dc));
    EXPECT_EQ(win_gdi::dc_canvas(dc), window);
    EXPECT_TRUE(win_gdi::release_dc(dc));
    EXPECT_EQ(win_gdi::dc_canvas(dc), nullptr);

    auto part = win_gdi::copy_rect(*window, RECT{2, 1, 4, 3});
    EXPECT_EQ(part->width(), 2);
    EXPECT_EQ(part->at(0, 0), 0xFF00FF00u);
    EXPECT_EQ(part->at(1, 1), 0u);  // outside the window: transparent
    DeleteObject(green);
    DeleteObject(bitmap);
}

// One surface over another, as windows are seen on a screen: the upper's
// transparent parts let the lower show, and what lies outside is left out.
TEST(Canvas, DrawOverBlendsAndLeavesOutWhatLiesOutside) {
    win_gdi::canvas below(3, 3);
    below.fill(opaque_blue);
    win_gdi::canvas above(2, 2);
    above.set(0, 0, opaque_red);
    above.set(1, 0, 0x80800000u);  // half-transparent red, premultiplied
    above.set(0, 1, 0u);
    above.set(1, 1, opaque_red);
    win_gdi::draw_over(below, above, 2, -1);
    EXPECT_EQ(below.at(2, 0), 0xFF0000FFu);  // the transparent pixel
    EXPECT_EQ(below.at(1, 0), opaque_blue);  // left of where it was drawn
    win_gdi::draw_over(below, above, 0, 1);
    EXPECT_EQ(below.at(0, 1), opaque_red);
    EXPECT_EQ(below.at(1, 1), 0xFF80007Fu);
    EXPECT_EQ(below.at(0, 2), opaque_blue);
    EXPECT_EQ(below.at(1, 2), opaque_red);
}

TEST(Objects, DeletingABrushTooEarlyLeavesTheDcDrawingSafely) {
    surface s(2, 2);
    HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
    HGDIOBJ old = SelectObject(s.dc(), brush);
    EXPECT_FALSE(DeleteObject(brush));  // selected: refused
    SelectObject(s.dc(), old);
    EXPECT_TRUE(DeleteObject(brush));
    const RECT r{0, 0, 2, 2};
    EXPECT_EQ(FillRect(s.dc(), &r, brush), 0);  // a dead handle draws nothing
    EXPECT_EQ(s.at(0, 0), 0u);
}

TEST(Snapshot, SavedPictureOfAnAlphaDrawing) {
    surface s(64, 32);
    for (int x = 0; x < 64; ++x) {
        const uint8_t a = static_cast<uint8_t>(x * 4);
        for (int y = 0; y < 32; ++y) s.bits()[y * 64 + x] = make_pixel(a, a, 0, y < 16 ? 0 : a);
    }
    EXPECT_TRUE(win_test::save_png(s.dc(), gdi_testing::snapshot_path("alpha_ramp.png")));
    EXPECT_FALSE(
        win_test::save_png(static_cast<HDC>(nullptr), gdi_testing::snapshot_path("x.png")));
}

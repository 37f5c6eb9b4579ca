#include <gtest/gtest.h>

#include <cstring>
#include <fstream>

#include "drawing/tests/gdi_test_support.h"
#include "drawing/tests/many_scans_jpeg.h"
#include "win/afx_gdi.h"
#include "win/gdi_test.h"
#include "win/gdiplus.h"
#include "win/global_memory.h"
#include "win/machine.h"

using namespace Gdiplus;
using gdi_testing::surface;

namespace {

class GdiPlus : public ::testing::Test {
protected:
    GdiPlus() {
        GdiplusStartupInput input;
        EXPECT_EQ(GdiplusStartup(&token_, &input, nullptr), Ok);
    }
    ~GdiPlus() override { GdiplusShutdown(token_); }

    // A stream over a movable block holding the bytes, as the image cache
    // makes one from a resource.
    static IStream* stream_of(const std::vector<uint8_t>& bytes) {
        HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
        std::memcpy(GlobalLock(memory), bytes.data(), bytes.size());
        GlobalUnlock(memory);
        IStream* stream = nullptr;
        EXPECT_EQ(CreateStreamOnHGlobal(memory, TRUE, &stream), S_OK);
        return stream;
    }

    static std::vector<uint8_t> png_of(const win_gdi::canvas& pixels) {
        return win_gdi::encode_png(pixels);
    }

    ULONG_PTR token_ = 0;
};

// The box around every pixel that differs from the background.
RECT ink_box(const surface& s, uint32_t background) {
    RECT box{1 << 20, 1 << 20, -1, -1};
    for (int y = 0; y < s.height(); ++y)
        for (int x = 0; x < s.width(); ++x)
            if (s.at(x, y) != background) {
                box.left = std::min<LONG>(box.left, x);
                box.top = std::min<LONG>(box.top, y);
                box.right = std::max<LONG>(box.right, x + 1);
                box.bottom = std::max<LONG>(box.bottom, y + 1);
            }
    return box;
}

}  // namespace

TEST(GdiPlusStartup, NothingWorksBeforeStartupAndAfterTheLastShutdown) {
    Bitmap early(4, 4);
    EXPECT_EQ(early.GetLastStatus(), GdiplusNotInitialized);
    GdiplusStartupInput input;
    ULONG_PTR first = 0, second = 0;
    ASSERT_EQ(GdiplusStartup(&first, &input, nullptr), Ok);
    ASSERT_EQ(GdiplusStartup(&second, &input, nullptr), Ok);
    GdiplusShutdown(first);
    Bitmap during(4, 4);
    EXPECT_EQ(during.GetLastStatus(), Ok);
    GdiplusShutdown(second);
    Bitmap late(4, 4);
    EXPECT_EQ(late.GetLastStatus(), GdiplusNotInitialized);
    input.GdiplusVersion = 9;
    EXPECT_EQ(GdiplusStartup(&first, &input, nullptr), UnsupportedGdiplusVersion);
}

TEST_F(GdiPlus, BitmapFromAPngStreamKeepsItsAlpha) {
    win_gdi::canvas picture(3, 2);
    picture.set(0, 0, 0xFFFF0000);
    picture.set(1, 0, 0x80008000);  // half-covered green
    IStream* stream = stream_of(png_of(picture));
    Bitmap bitmap(stream);
    stream->Release();
    ASSERT_EQ(bitmap.GetLastStatus(), Ok);
    EXPECT_EQ(bitmap.GetWidth(), 3u);
    EXPECT_EQ(bitmap.GetHeight(), 2u);
    Color color;
    ASSERT_EQ(bitmap.GetPixel(1, 0, &color), Ok);
    EXPECT_EQ(color.GetA(), 128);
    EXPECT_EQ(color.GetG(), 255);  // straight colour
    EXPECT_EQ(bitmap.GetPixel(2, 1, &color), Ok);
    EXPECT_EQ(color.GetA(), 0);
    EXPECT_EQ(bitmap.GetPixel(3, 0, &color), InvalidParameter);
}

TEST_F(GdiPlus, BrokenStreamsFailWithAStatusAndDrawNothing) {
    std::vector<uint8_t> broken = png_of(win_gdi::canvas(8, 8));
    broken.resize(broken.size() - 20);
    IStream* stream = stream_of(broken);
    Bitmap damaged(stream);
    stream->Release();
    EXPECT_EQ(damaged.GetLastStatus(), InvalidParameter);
    EXPECT_EQ(damaged.GetWidth(), 0u);
    HBITMAP handle = reinterpret_cast<HBITMAP>(1);
    EXPECT_EQ(damaged.GetHBITMAP(Color(0, 0, 0), &handle), InvalidParameter);
    EXPECT_EQ(handle, nullptr);
    surface s(4, 4);
    Graphics g(s.dc());
    EXPECT_EQ(g.DrawImage(&damaged, 0, 0), InvalidParameter);

    IStream* text = stream_of({'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd'});
    Bitmap unknown(text);
    text->Release();
    EXPECT_EQ(unknown.GetLastStatus(), UnknownImageFormat);
    Bitmap none(static_cast<IStream*>(nullptr));
    EXPECT_EQ(none.GetLastStatus(), InvalidParameter);
}

TEST_F(GdiPlus, APictureFromTheNetworkOfMoreScansThanItsLimitIsOutOfMemory) {
    const auto decoded = [&](const std::vector<uint8_t>& bytes, bool from_network) {
        IStream* stream = stream_of(bytes);
        const Status status = from_network ? Bitmap(stream, FALSE, Bitmap::NetworkPictureMaxPixels,
                                                    Bitmap::NetworkPictureMaxScans)
                                                 .GetLastStatus()
                                           : Bitmap(stream).GetLastStatus();
        stream->Release();
        return status;
    };
    const auto at_limit = gdi_testing::many_scans_jpeg(48, 48, Bitmap::NetworkPictureMaxScans);
    const auto over = gdi_testing::many_scans_jpeg(48, 48, Bitmap::NetworkPictureMaxScans + 1);
    EXPECT_EQ(decoded(at_limit, true), Ok);
    EXPECT_EQ(decoded(over, true), OutOfMemory);
    EXPECT_EQ(decoded(over, false), Ok) << "other pictures keep every scan";
}

TEST_F(GdiPlus, BitmapFromAFileDecodesItOrSaysWhyNot) {
    win_machine::scoped_root root;
    auto write = [&](const std::string& name, const std::vector<uint8_t>& bytes) {
        const std::string path = root.path() + "/" + name;
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        return std::wstring(path.begin(), path.end());  // the root's path is ASCII
    };
    win_gdi::canvas picture(5, 3);
    picture.fill(0xFF00FF00);
    const std::wstring good = write("good.png", png_of(picture));
    Bitmap bitmap(good.c_str());
    ASSERT_EQ(bitmap.GetLastStatus(), Ok);
    EXPECT_EQ(bitmap.GetWidth(), 5u);
    EXPECT_EQ(bitmap.GetHeight(), 3u);
    Bitmap small(good.c_str(), FALSE, 14, Bitmap::NetworkPictureMaxScans);
    EXPECT_EQ(small.GetLastStatus(), OutOfMemory);

    std::vector<uint8_t> cut = png_of(picture);
    cut.resize(cut.size() / 2);
    const std::wstring damaged = write("damaged.png", cut);
    EXPECT_EQ(Bitmap(damaged.c_str()).GetLastStatus(), InvalidParameter);
    const std::wstring empty = write("empty.jpg", {});
    EXPECT_EQ(Bitmap(empty.c_str()).GetLastStatus(), UnknownImageFormat);
    const std::string missing_path = root.path() + "/missing.png";
    const std::wstring missing(missing_path.begin(), missing_path.end());
    EXPECT_EQ(Bitmap(missing.c_str()).GetLastStatus(), FileNotFound);
    EXPECT_EQ(Bitmap(static_cast<const WCHAR*>(nullptr)).GetLastStatus(), FileNotFound);
}

TEST_F(GdiPlus, GetHBitmapCompositesOverTheBackground) {
    Bitmap bitmap(1, 1);
    bitmap.SetPixel(0, 0, Color(128, 255, 0, 0));  // premultiplied: 0x80800000
    auto pixel_of = [&](const Color& background) {
        HBITMAP handle = nullptr;
        EXPECT_EQ(bitmap.GetHBITMAP(background, &handle), Ok);
        BITMAP description{};
        GetObjectW(handle, sizeof description, &description);
        EXPECT_NE(description.bmBits, nullptr);  // a DIB section
        const uint32_t value = win_gdi::bitmap_canvas(handle)->at(0, 0);
        DeleteObject(handle);
        return value;
    };
    EXPECT_EQ(pixel_of(Color(255, 0, 0, 0)), 0xFF800000u);  // opaque black: opaque
    EXPECT_EQ(pixel_of(Color(0, 0, 0, 0)), 0x80800000u);    // transparent: own alpha
    EXPECT_EQ(pixel_of(Color(255, 255, 255, 255)), 0xFFFF7F7Fu);
}

TEST_F(GdiPlus, GraphicsOnADcTakesItsOriginAndClipAsTheyWereThen) {
    surface s(30, 30);
    SetViewportOrgEx(s.dc(), 10, 10, nullptr);
    IntersectClipRect(s.dc(), 0, 0, 5, 5);
    Graphics g(s.dc());
    SetViewportOrgEx(s.dc(), 0, 0, nullptr);  // later changes do not reach g
    SelectClipRgn(s.dc(), nullptr);
    SolidBrush red(Color(255, 255, 0, 0));
    ASSERT_EQ(g.FillRectangle(&red, -50, -50, 200, 200), Ok);
    EXPECT_EQ(ink_box(s, 0).left, 10);
    EXPECT_EQ(ink_box(s, 0).right, 15);
    EXPECT_EQ(ink_box(s, 0).bottom, 15);

    SolidBrush half(Color(128, 0, 0, 255));
    Graphics whole(s.dc());
    whole.FillRectangle(&half, 12, 12, 1, 1);
    EXPECT_EQ(s.at(12, 12), win_gdi::make_pixel(255, 127, 0, 128));
    whole.FillRectangle(&half, 0, 0, 1, 1);
    EXPECT_EQ(s.at(0, 0), 0x80000080u);  // over transparent: premultiplied
}

TEST_F(GdiPlus, DrawImageStretchesAndTilesWithSourceRectangles) {
    Bitmap tile(3, 1);
    tile.SetPixel(0, 0, Color(255, 10, 0, 0));
    tile.SetPixel(1, 0, Color(255, 20, 0, 0));
    tile.SetPixel(2, 0, Color(255, 30, 0, 0));
    surface s(10, 2);
    Graphics g(s.dc());
    // Tiled across 10 pixels as a caller's loop does it: whole tiles, then a
    // partial one through a source rectangle.
    int x = 0;
    for (; x + 3 <= 10; x += 3) g.DrawImage(&tile, x, 0);
    g.DrawImage(&tile, x, 0, 0, 0, 10 - x, 1, UnitPixel);
    for (int i = 0; i < 10; ++i) EXPECT_EQ((s.at(i, 0) >> 16) & 0xFF, 10u * (i % 3 + 1)) << i;
    EXPECT_EQ(s.at(0, 1), 0u);

    g.DrawImage(&tile, Rect(0, 1, 6, 1));  // stretched: each pixel twice
    EXPECT_EQ((s.at(1, 1) >> 16) & 0xFF, 10u);
    EXPECT_EQ((s.at(2, 1) >> 16) & 0xFF, 20u);
    EXPECT_EQ((s.at(5, 1) >> 16) & 0xFF, 30u);
    EXPECT_EQ(s.at(6, 1), 0u);
    EXPECT_EQ(g.DrawImage(&tile, 0, 0, 0, 0, 1, 1, UnitPoint), InvalidParameter);
}

TEST_F(GdiPlus, GraphicsOnABitmapDrawsIntoItsPixels) {
    Bitmap target(4, 4);
    Graphics g(&target);
    g.Clear(Color(255, 0, 0, 255));
    SolidBrush green(Color(255, 0, 255, 0));
    g.FillRectangle(&green, RectF(1.4f, 1.4f, 1.2f, 1.2f));  // rounds to (1,1)-(3,3)
    Color color;
    target.GetPixel(0, 0, &color);
    EXPECT_EQ(color.GetValue(), 0xFF0000FFu);
    target.GetPixel(2, 2, &color);
    EXPECT_EQ(color.GetValue(), 0xFF00FF00u);
    target.GetPixel(3, 3, &color);
    EXPECT_EQ(color.GetValue(), 0xFF0000FFu);
}

TEST_F(GdiPlus, FontsFindTheirFamilyOrSayTheyFellBack) {
    Font arial(L"Arial", 8);
    EXPECT_EQ(arial.GetLastStatus(), Ok);
    EXPECT_TRUE(arial.IsAvailable());
    // 8 points at 96 pixels an inch is a 10.67 pixel em.
    EXPECT_GT(arial.GetHeight(96), 11.0f);
    EXPECT_LT(arial.GetHeight(96), 14.0f);
    Font missing(L"No Such Face Anywhere", 8);
    EXPECT_EQ(missing.GetLastStatus(), FontFamilyNotFound);
    EXPECT_TRUE(missing.IsAvailable());  // drawn with the generic family
    FontFamily family(L"No Such Face Anywhere");
    EXPECT_EQ(family.GetLastStatus(), FontFamilyNotFound);
    EXPECT_FALSE(family.IsAvailable());
    EXPECT_TRUE(FontFamily::GenericSansSerif()->IsAvailable());
    Font generic(FontFamily::GenericSansSerif(), 8);
    EXPECT_EQ(generic.GetLastStatus(), Ok);
}

TEST_F(GdiPlus, DrawStringAlignsTrimsAndLimitsLines) {
    surface s(200, 60);
    s.fill(0xFF000000);
    Graphics g(s.dc());
    Font font(L"Arial", 8);
    SolidBrush white(Color(255, 255, 255, 255));
    StringFormat centred;
    centred.SetAlignment(StringAlignmentCenter);
    centred.SetLineAlignment(StringAlignmentCenter);
    g.DrawString(L"Stop all", -1, &font, RectF(100, 0, 82, 18), &centred, &white);
    RECT box = ink_box(s, 0xFF000000);
    EXPECT_GE(box.left, 100);
    EXPECT_LE(box.right, 182);
    EXPECT_LE(std::abs((box.left + box.right) / 2 - 141), 2);
    EXPECT_LE(std::abs((box.top + box.bottom) / 2 - 9), 3);

    // One line with an ellipsis in a box too narrow, as the rows draw names.
    s.fill(0xFF000000);
    StringFormat trimmed;
    trimmed.SetTrimming(StringTrimmingEllipsisCharacter);
    trimmed.SetFormatFlags(StringFormatFlagsLineLimit);
    const wchar_t* name = L"a_rather_long_file_name_that_does_not_fit.txt (1 KB)";
    g.DrawString(name, -1, &font, RectF(0, 0, 80, 20), &trimmed, &white);
    EXPECT_TRUE(win_test::save_png(s.dc(), gdi_testing::snapshot_path("gdiplus_trimmed.png")));
    box = ink_box(s, 0xFF000000);
    EXPECT_LE(box.right, 80);
    EXPECT_GT(box.right, 65);
    EXPECT_LE(box.bottom, 16);  // a second line would not fit wholly: not drawn
    RectF measured;
    INT lines = 0;
    g.MeasureString(name, -1, &font, RectF(0, 0, 80, 20), &trimmed, &measured, nullptr, &lines);
    EXPECT_EQ(lines, 1);
    EXPECT_LE(measured.Width, 80.0f);

    // Without the line limit the part of the next line inside the box shows.
    s.fill(0xFF000000);
    StringFormat partial;
    g.DrawString(L"first words second words", -1, &font, RectF(0, 0, 70, 20), &partial, &white);
    EXPECT_GT(ink_box(s, 0xFF000000).bottom, 14);
    EXPECT_LE(ink_box(s, 0xFF000000).bottom, 20);
}

TEST_F(GdiPlus, MeasureStringGrowsWithTheText) {
    surface s(10, 10);
    Graphics g(s.dc());
    Font font(L"Arial", 7);
    RectF short_box, long_box;
    g.MeasureString(L"Stop", -1, &font, PointF(0, 0), &short_box);
    g.MeasureString(L"Stop all now", -1, &font, PointF(0, 0), &long_box);
    EXPECT_GT(long_box.Width, short_box.Width);
    EXPECT_EQ(long_box.Height, short_box.Height);
    EXPECT_EQ(g.MeasureString(nullptr, -1, &font, PointF(0, 0), &short_box), InvalidParameter);
}

// Only an image marked as having an alpha channel is drawn with its
// per-pixel alpha; attaching a bitmap, even one whose fourth byte is alpha,
// does not mark it.
TEST_F(GdiPlus, AnImageBlendsPerPixelOnlyWithItsAlphaChannel) {
    win_gdi::canvas art(2, 1);
    art.set(0, 0, 0);  // transparent
    art.set(1, 0, 0xFF00FF00);
    IStream* stream = stream_of(png_of(art));
    Bitmap decoded(stream);
    stream->Release();
    auto attached = [&](CImage& image) {
        HBITMAP handle = nullptr;
        ASSERT_EQ(decoded.GetHBITMAP(Color(0, 0, 0, 0), &handle), Ok);
        image.Attach(handle);
    };
    CImage image;
    attached(image);
    surface s(2, 1);
    const uint32_t white = 0xFFFFFFFF;

    s.fill(white);
    ASSERT_TRUE(image.Draw(s.dc(), 0, 0));
    EXPECT_EQ(s.at(0, 0), 0u);  // copied as it is, not blended
    EXPECT_EQ(s.at(1, 0), 0xFF00FF00u);
    s.fill(white);
    ASSERT_TRUE(image.AlphaBlend(s.dc(), 0, 0));
    EXPECT_EQ(s.at(0, 0), 0u);
    s.fill(white);
    ASSERT_TRUE(image.AlphaBlend(s.dc(), 0, 0, 128));
    EXPECT_EQ(s.at(0, 0), win_gdi::make_pixel(127, 127, 127, 127));  // the constant alone

    image.SetHasAlphaChannel(true);
    s.fill(white);
    ASSERT_TRUE(image.Draw(s.dc(), 0, 0));
    EXPECT_EQ(s.at(0, 0), white);
    EXPECT_EQ(s.at(1, 0), 0xFF00FF00u);
    ASSERT_TRUE(image.AlphaBlend(s.dc(), 0, 0, 128));
    EXPECT_EQ(s.at(0, 0), white);

    // A bitmap attached anew is unmarked again.
    attached(image);
    s.fill(white);
    ASSERT_TRUE(image.AlphaBlend(s.dc(), 0, 0));
    EXPECT_EQ(s.at(0, 0), 0u);
}

TEST_F(GdiPlus, ImageCachePathFromResourceBytesToACImage) {
    // Decoded once, turned into a bitmap over opaque black, attached to an
    // image and drawn with its alpha, as the image cache does.
    win_gdi::canvas art(4, 4);
    art.fill(0xFF00FF00);
    art.set(0, 0, 0);
    IStream* stream = stream_of(png_of(art));
    Bitmap decoded(stream);
    stream->Release();
    HBITMAP handle = nullptr;
    ASSERT_EQ(decoded.GetHBITMAP(Color(255, 0, 0, 0), &handle), Ok);
    CImage image;
    image.Attach(handle);
    EXPECT_EQ(image.GetWidth(), 4);
    surface s(8, 8);
    s.fill(0xFFFFFFFF);
    ASSERT_TRUE(image.Draw(s.dc(), 2, 2));
    EXPECT_EQ(s.at(3, 3), 0xFF00FF00u);
    EXPECT_EQ(s.at(2, 2), 0xFF000000u);  // transparent, over black: black
    EXPECT_EQ(s.at(1, 1), 0xFFFFFFFFu);
    ASSERT_TRUE(image.AlphaBlend(s.dc(), 0, 0, 128));
    EXPECT_EQ(s.at(1, 1), win_gdi::make_pixel(255, 127, 255, 127));
    image.Destroy();
    EXPECT_EQ(GetObjectType(handle), 0u);

    CBitmap plain;
    ASSERT_TRUE(plain.Attach(CreateCompatibleBitmap(nullptr, 5, 6)));
    EXPECT_FALSE(plain.Attach(GetStockObject(WHITE_BRUSH)));
    BITMAP description{};
    EXPECT_GT(plain.GetBitmap(&description), 0);
    EXPECT_EQ(description.bmHeight, 6);
}

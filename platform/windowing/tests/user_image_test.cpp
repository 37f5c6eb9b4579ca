#include <gtest/gtest.h>

#include <cstring>

#include "drawing/image_codecs.h"
#include "drawing/tests/gdi_test_support.h"
#include "win/user.h"

namespace {

constexpr WORD bitmap_id = 2300;

// A 3 x 2 bitmap: magenta corners, distinct colours elsewhere.
const std::vector<COLORREF> picture = {
    RGB(255, 0, 255), RGB(1, 2, 3),    RGB(4, 5, 6),  //
    RGB(7, 8, 9),     RGB(10, 11, 12), RGB(255, 0, 255),
};

void file_bitmap(WORD id, const std::vector<BYTE>& bytes) {
    ASSERT_TRUE(win_resources::register_resource(nullptr, RT_BITMAP, MAKEINTRESOURCEW(id),
                                                 bytes.data(), bytes.size()));
}

COLORREF pixel_at(const DIBSECTION& section, int x, int y_top_down) {
    const size_t stride = (static_cast<size_t>(section.dsBm.bmWidth) * 3 + 3) / 4 * 4;
    const int row = section.dsBm.bmHeight - 1 - y_top_down;
    const auto* p = static_cast<const BYTE*>(section.dsBm.bmBits) + stride * row + 3 * x;
    return RGB(p[2], p[1], p[0]);
}

TEST(LoadImage, ABitmapResourceBecomesADibSectionOfItsOwnPixels) {
    static const std::vector<BYTE> bytes = win_resources::make_bitmap_resource(3, 2, picture);
    file_bitmap(bitmap_id, bytes);
    const auto bitmap =
        static_cast<HBITMAP>(LoadImageW(nullptr, MAKEINTRESOURCEW(bitmap_id), IMAGE_BITMAP, 0, 0,
                                        LR_CREATEDIBSECTION | LR_LOADTRANSPARENT));
    ASSERT_TRUE(bitmap);
    DIBSECTION section{};
    ASSERT_EQ(GetObjectW(bitmap, sizeof section, &section), static_cast<int>(sizeof section));
    EXPECT_EQ(section.dsBm.bmWidth, 3);
    EXPECT_EQ(section.dsBm.bmHeight, 2);
    EXPECT_EQ(section.dsBm.bmBitsPixel, 24);
    // Transparency is a colour-table matter: deep pixels stay as stored.
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) EXPECT_EQ(pixel_at(section, x, y), picture[y * 3 + x]);
    // Each load is a bitmap of its own.
    const HANDLE second =
        LoadImageW(nullptr, MAKEINTRESOURCEW(bitmap_id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION);
    EXPECT_NE(second, bitmap);
    EXPECT_TRUE(DeleteObject(second));
    EXPECT_TRUE(DeleteObject(bitmap));
}

TEST(LoadImage, RefusesWhatItCannotGiveAsTheSystemWouldAndBrokenBytes) {
    static const std::vector<BYTE> bytes = win_resources::make_bitmap_resource(3, 2, picture);
    file_bitmap(bitmap_id + 1, bytes);
    const auto load = [](WORD id, UINT type, UINT flags, int cx = 0) {
        SetLastError(0);
        return LoadImageW(nullptr, MAKEINTRESOURCEW(id), type, cx, 0, flags);
    };
    EXPECT_FALSE(load(bitmap_id + 1, IMAGE_BITMAP, 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_SUPPORTED));
    EXPECT_FALSE(load(bitmap_id + 1, IMAGE_ICON, LR_CREATEDIBSECTION));
    EXPECT_FALSE(load(bitmap_id + 1, IMAGE_BITMAP, LR_CREATEDIBSECTION, 16));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_SUPPORTED));
    EXPECT_FALSE(load(bitmap_id + 99, IMAGE_BITMAP, LR_CREATEDIBSECTION));
    EXPECT_NE(GetLastError(), 0u);

    // Cut short: the header promises two rows, one is there.
    static const std::vector<BYTE> cut(bytes.begin(), bytes.end() - 4);
    file_bitmap(bitmap_id + 2, cut);
    EXPECT_FALSE(load(bitmap_id + 2, IMAGE_BITMAP, LR_CREATEDIBSECTION));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_DATA));
    // A header that claims an absurd width is refused before any copy.
    static std::vector<BYTE> wide = bytes;
    const LONG huge = 0x7FFFFFFF;
    std::memcpy(wide.data() + offsetof(BITMAPINFOHEADER, biWidth), &huge, sizeof huge);
    file_bitmap(bitmap_id + 3, wide);
    EXPECT_FALSE(load(bitmap_id + 3, IMAGE_BITMAP, LR_CREATEDIBSECTION));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_DATA));
}

// A module's icon is the picture its resource holds: drawn at its own size
// or scaled, its transparent pixels leaving what lies below.
TEST(LoadIcon, AModuleIconDrawsThePictureOfItsResource) {
    win_gdi::canvas picture(32, 32);
    for (int y = 8; y < 24; ++y)
        for (int x = 4; x < 28; ++x) picture.set(x, y, win_gdi::make_pixel(255, 0x20, 0x60, 0xC0));
    static const std::vector<uint8_t> png = win_gdi::encode_png(picture);
    ASSERT_TRUE(win_resources::register_resource(nullptr, RT_GROUP_ICON, MAKEINTRESOURCEW(2400),
                                                 png.data(), png.size()));
    HICON icon = LoadIconW(nullptr, MAKEINTRESOURCEW(2400));
    ASSERT_TRUE(icon);
    EXPECT_EQ(win_icons::resource_id(icon), 2400);
    EXPECT_EQ(win_icons::icon_size(icon).cx, 32);
    EXPECT_EQ(win_icons::icon_size(icon).cy, 32);

    gdi_testing::surface s(40, 40);
    const RECT all{0, 0, 40, 40};
    FillRect(s.dc(), &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    ASSERT_TRUE(DrawIconEx(s.dc(), 2, 2, icon, 0, 0, 0, nullptr, DI_NORMAL));
    EXPECT_EQ(s.at(2 + 10, 2 + 12) & 0xFFFFFF, 0x2060C0u);
    EXPECT_EQ(s.at(2 + 1, 2 + 1) & 0xFFFFFF, 0xFFFFFFu) << "a transparent corner";
    ASSERT_TRUE(DrawIconEx(s.dc(), 0, 0, icon, 16, 16, 0, nullptr, DI_NORMAL));
    EXPECT_EQ(s.at(8, 8) & 0xFFFFFF, 0x2060C0u) << "scaled to half";
    EXPECT_TRUE(DestroyIcon(icon));
}

TEST(LoadIcon, AnIconResourceThatHoldsNoPictureLoadsNothing) {
    static const char text[] = "the program";
    ASSERT_TRUE(win_resources::register_resource(nullptr, RT_GROUP_ICON, MAKEINTRESOURCEW(2401),
                                                 text, sizeof text));
    const int before = win_icons::live_icons();
    SetLastError(0);
    EXPECT_EQ(LoadIconW(nullptr, MAKEINTRESOURCEW(2401)), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_DATA));
    EXPECT_EQ(win_icons::live_icons(), before);
    EXPECT_EQ(LoadIconW(nullptr, MAKEINTRESOURCEW(2402)), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
}

}  // namespace

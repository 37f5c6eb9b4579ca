// Recolouring a key colour in 24-bit rows with their padding.
#include "ui/bitmap_color.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

HBITMAP section(int width, int height, WORD bits_per_pixel, BYTE** bits) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = bits_per_pixel;
    info.bmiHeader.biCompression = BI_RGB;
    void* memory = nullptr;
    HBITMAP made = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &memory, nullptr, 0);
    *bits = static_cast<BYTE*>(memory);
    return made;
}

TEST(ReplaceBitmapColor, RecoloursEveryKeyPixelRowByRowAndLeavesThePaddingAlone) {
    BYTE* bits = nullptr;
    HBITMAP bitmap = section(3, 2, 24, &bits);
    ASSERT_NE(bitmap, nullptr);
    // Rows of 3 pixels take 12 bytes: 9 of pixels (blue, green, red), 3 of padding.
    const std::vector<BYTE> before = {
        255, 0,   255, 1,   2, 3,   255, 0, 255, 255, 0, 255,  // the padding looks like the key
        0,   255, 255, 255, 0, 255, 7,   8, 9,   255, 0, 255};
    std::copy(before.begin(), before.end(), bits);
    EXPECT_EQ(ReplaceBitmapColor(bitmap, RGB(255, 0, 255), RGB(10, 20, 30)), 1);
    const std::vector<BYTE> after(bits, bits + 24);
    EXPECT_EQ(after, (std::vector<BYTE>{30, 20,  10,  1,  2,  3,  30, 20, 10, 255, 0, 255,
                                        0,  255, 255, 30, 20, 10, 7,  8,  9,  255, 0, 255}));
    DeleteObject(bitmap);
}

TEST(ReplaceBitmapColor, OtherBitmapsAreLeftAsTheyAre) {
    BYTE* bits = nullptr;
    HBITMAP wide = section(2, 1, 32, &bits);
    bits[0] = 255;
    bits[2] = 255;
    EXPECT_EQ(ReplaceBitmapColor(wide, RGB(255, 0, 255), RGB(0, 0, 0)), 0);
    EXPECT_EQ(bits[0], 255);
    DeleteObject(wide);
    HBITMAP plain = CreateCompatibleBitmap(nullptr, 2, 2);
    EXPECT_EQ(ReplaceBitmapColor(plain, RGB(255, 0, 255), RGB(0, 0, 0)), 0);
    DeleteObject(plain);
    EXPECT_EQ(ReplaceBitmapColor(nullptr, RGB(255, 0, 255), RGB(0, 0, 0)), 0);
}

}  // namespace

// DIB sections of 24 bits a pixel: pixel memory with padded rows, described
// as DIB sections, never drawn into.
#include <gtest/gtest.h>

#include "win/gdi.h"

namespace {

HBITMAP make_section(int width, int height, WORD bits_per_pixel, void** bits) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = bits_per_pixel;
    info.bmiHeader.biCompression = BI_RGB;
    return CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, bits, nullptr, 0);
}

TEST(DibSections, TwentyFourBitRowsArePaddedToFourBytesAndDescribedAsSuch) {
    void* bits = nullptr;
    HBITMAP bitmap = make_section(3, 2, 24, &bits);
    ASSERT_NE(bitmap, nullptr);
    ASSERT_NE(bits, nullptr);
    DIBSECTION section{};
    ASSERT_EQ(GetObjectW(bitmap, sizeof section, &section), static_cast<int>(sizeof section));
    EXPECT_EQ(section.dsBm.bmWidthBytes, 12);  // 9 bytes of pixels, 3 of padding
    EXPECT_EQ(section.dsBm.bmBitsPixel, 24);
    EXPECT_EQ(section.dsBm.bmBits, bits);
    EXPECT_EQ(section.dsBmih.biBitCount, 24);
    EXPECT_EQ(section.dsBmih.biHeight, 2);
    EXPECT_EQ(section.dsBmih.biSizeImage, 24u);
    auto* bytes = static_cast<BYTE*>(bits);
    bytes[23] = 0xAB;  // the last padding byte is the section's own memory

    BITMAP plain{};
    EXPECT_EQ(GetObjectW(bitmap, sizeof plain, &plain), static_cast<int>(sizeof plain));
    EXPECT_EQ(plain.bmBitsPixel, 24);

    HDC dc = CreateCompatibleDC(nullptr);
    EXPECT_EQ(SelectObject(dc, bitmap), nullptr);
    DeleteDC(dc);
    EXPECT_TRUE(DeleteObject(bitmap));
}

TEST(DibSections, OtherBitmapsAreNoTwentyFourBitSections) {
    void* bits = nullptr;
    HBITMAP section32 = make_section(3, 2, 32, &bits);
    DIBSECTION section{};
    ASSERT_EQ(GetObjectW(section32, sizeof section, &section), static_cast<int>(sizeof section));
    EXPECT_EQ(section.dsBm.bmBitsPixel, 32);
    EXPECT_EQ(section.dsBm.bmWidthBytes, 12);
    DeleteObject(section32);

    HBITMAP compatible = CreateCompatibleBitmap(nullptr, 3, 2);
    EXPECT_EQ(GetObjectW(compatible, sizeof section, &section), static_cast<int>(sizeof(BITMAP)));
    EXPECT_EQ(section.dsBm.bmBits, nullptr);
    DeleteObject(compatible);
    EXPECT_EQ(make_section(3, 2, 16, &bits), nullptr);
}

}  // namespace

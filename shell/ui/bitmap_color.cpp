#include "ui/bitmap_color.h"

int ReplaceBitmapColor(HBITMAP bitmap, COLORREF old_color, COLORREF new_color) {
    DIBSECTION section{};
    if (GetObjectW(bitmap, sizeof section, &section) != static_cast<int>(sizeof section) ||
        section.dsBm.bmBitsPixel != 24 || !section.dsBm.bmBits)
        return 0;
    const LONG width = section.dsBm.bmWidth;
    const LONG height = section.dsBm.bmHeight;
    // Rows start at multiples of the stride: three bytes a pixel, padded to 4.
    const size_t stride = (static_cast<size_t>(width) * 3 + 3) / 4 * 4;
    auto* bytes = static_cast<BYTE*>(section.dsBm.bmBits);
    for (LONG y = 0; y < height; ++y) {
        BYTE* pixel = bytes + static_cast<size_t>(y) * stride;
        for (LONG x = 0; x < width; ++x, pixel += 3) {
            if (pixel[0] == GetBValue(old_color) && pixel[1] == GetGValue(old_color) &&
                pixel[2] == GetRValue(old_color)) {
                pixel[0] = GetBValue(new_color);
                pixel[1] = GetGValue(new_color);
                pixel[2] = GetRValue(new_color);
            }
        }
    }
    return 1;
}

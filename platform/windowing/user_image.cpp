// Bitmaps from module resources: a packed DIB copied into a new DIB section.
#include "win/user_image.h"

#include <cstring>

namespace {

HANDLE refuse(DWORD error) {
    SetLastError(error);
    return nullptr;
}

size_t row_bytes(LONG width, WORD bits) {
    return (static_cast<size_t>(width) * bits / 8 + 3) / 4 * 4;
}

}  // namespace

HANDLE LoadImageW(HINSTANCE instance, LPCWSTR name, UINT type, int width, int height, UINT flags) {
    if (type != IMAGE_BITMAP || (flags & LR_LOADFROMFILE) || !(flags & LR_CREATEDIBSECTION) ||
        width != 0 || height != 0)
        return refuse(ERROR_NOT_SUPPORTED);
    const HRSRC found = FindResourceW(instance, name, RT_BITMAP);
    if (!found) return nullptr;
    const auto* bytes = static_cast<const BYTE*>(LockResource(LoadResource(instance, found)));
    const size_t size = SizeofResource(instance, found);
    BITMAPINFOHEADER header{};
    if (!bytes || size < sizeof header) return refuse(ERROR_INVALID_DATA);
    std::memcpy(&header, bytes, sizeof header);
    if (header.biSize != sizeof header || header.biPlanes != 1 || header.biWidth <= 0 ||
        header.biHeight == 0 || header.biHeight == INT32_MIN)
        return refuse(ERROR_INVALID_DATA);
    if (header.biCompression != BI_RGB || (header.biBitCount != 24 && header.biBitCount != 32) ||
        header.biClrUsed != 0)
        return refuse(ERROR_NOT_SUPPORTED);
    const LONG rows = header.biHeight < 0 ? -header.biHeight : header.biHeight;
    const size_t stride = row_bytes(header.biWidth, header.biBitCount);
    if (rows > 16384 || header.biWidth > 16384 ||
        (size - sizeof header) / stride < static_cast<size_t>(rows))
        return refuse(ERROR_INVALID_DATA);

    BITMAPINFO info{};
    info.bmiHeader = header;
    info.bmiHeader.biSizeImage = 0;
    void* pixels = nullptr;
    const HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &pixels, nullptr, 0);
    if (!bitmap) return nullptr;
    std::memcpy(pixels, bytes + sizeof header, stride * static_cast<size_t>(rows));
    return bitmap;
}

namespace win_resources {

std::vector<BYTE> make_bitmap_resource(int width, int height,
                                       const std::vector<COLORREF>& rows_top_down) {
    BITMAPINFOHEADER header{};
    header.biSize = sizeof header;
    header.biWidth = width;
    header.biHeight = height;
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biCompression = BI_RGB;
    const size_t stride = row_bytes(width, 24);
    std::vector<BYTE> out(sizeof header + stride * static_cast<size_t>(height));
    std::memcpy(out.data(), &header, sizeof header);
    for (int y = 0; y < height; ++y) {
        // Stored bottom-up: the last row given comes first.
        BYTE* row = out.data() + sizeof header + stride * static_cast<size_t>(height - 1 - y);
        for (int x = 0; x < width; ++x) {
            const COLORREF color = rows_top_down.at(static_cast<size_t>(y) * width + x);
            row[3 * x] = GetBValue(color);
            row[3 * x + 1] = GetGValue(color);
            row[3 * x + 2] = GetRValue(color);
        }
    }
    return out;
}

}  // namespace win_resources

// The pixels of a window as it painted itself, for tests of drawn controls.
#pragma once

#include <cstdint>
#include <vector>

#include "win/user.h"

namespace shell_testing {

// The pixel value an opaque colour has in a drawing surface.
inline uint32_t opaque(COLORREF color) {
    return 0xFF000000u | (GetRValue(color) << 16) | (GetGValue(color) << 8) | GetBValue(color);
}

// Paints the window now, then copies its client area row by row, top row
// first.
inline std::vector<uint32_t> paint_client(HWND window) {
    InvalidateRect(window, nullptr, TRUE);
    UpdateWindow(window);
    RECT client{};
    GetClientRect(window, &client);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = client.right;
    info.bmiHeader.biHeight = -client.bottom;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP copy = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!copy) return {};
    HDC memory = CreateCompatibleDC(nullptr);
    HGDIOBJ previous = SelectObject(memory, copy);
    HDC screen = GetDC(window);
    BitBlt(memory, 0, 0, client.right, client.bottom, screen, 0, 0, SRCCOPY);
    ReleaseDC(window, screen);
    const auto* pixels = static_cast<const uint32_t*>(bits);
    std::vector<uint32_t> out(pixels, pixels + client.right * client.bottom);
    SelectObject(memory, previous);
    DeleteDC(memory);
    DeleteObject(copy);
    return out;
}

}  // namespace shell_testing

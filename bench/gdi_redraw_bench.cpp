// Full redraws of a progress-window-sized surface: a frame, 100 rows of
// trimmed text and 100 small images with per-pixel alpha, composed into a
// 32-bit DIB section as the tray's layered window does. Reports redraws per
// second, against the 200 a second the window needs; saves the last frame as
// a picture (bench-frames beside the program's folder, or the path given).
#include <chrono>
#include <cstdio>
#include <string>

#include "drawing/gdi_canvas.h"
#include "last_frame.h"
#include "win/gdi.h"
#include "win/gdiplus.h"

using namespace Gdiplus;

namespace {

// A 16 by 16 round icon with soft edges, premultiplied.
Bitmap* make_icon() {
    auto* icon = new Bitmap(16, 16);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            const double dx = x - 7.5, dy = y - 7.5;
            const double d = dx * dx + dy * dy;
            const int alpha = d < 36 ? 255 : d < 64 ? static_cast<int>(255 * (64 - d) / 28) : 0;
            icon->SetPixel(x, y, Color(static_cast<BYTE>(alpha), 90, 160, 230));
        }
    return icon;
}

void redraw(HDC dc, Bitmap* icon, const Font& font, const StringFormat& format) {
    Graphics g(dc);
    g.Clear(Color(0, 0, 0, 0));
    SolidBrush frame(Color(230, 40, 52, 70));
    g.FillRectangle(&frame, 0, 0, 400, 220);
    SolidBrush bar(Color(255, 100, 120, 140));
    SolidBrush text(Color(255, 255, 255, 255));
    for (int i = 0; i < 100; ++i) {
        const int y = 5 + (i * 2) % 190;
        g.FillRectangle(&bar, 2, y + 3, (i * 37) % 380, 20);
        g.DrawImage(icon, 10 + (i % 5) * 4, y + 8);
        const std::wstring name = L"Document number " + std::to_wstring(i) +
                                  L" with a long name that needs trimming.txt (12 KB)";
        g.DrawString(name.c_str(), -1, &font, RectF(30, static_cast<REAL>(y + 7), 250, 20), &format,
                     &text);
    }
}

}  // namespace

int main(int argc, char** argv) {
    const std::string picture = bench_support::last_frame_path(
        argc, argv, "bench_gdi_redraw [PICTURE.png]", "gdi_redraw.png");
    GdiplusStartupInput input;
    ULONG_PTR token = 0;
    GdiplusStartup(&token, &input, nullptr);
    {
        BITMAPINFO info{};
        info.bmiHeader = {sizeof(BITMAPINFOHEADER), 400, -220, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        void* bits = nullptr;
        HBITMAP buffer = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        HDC dc = CreateCompatibleDC(nullptr);
        HGDIOBJ previous = SelectObject(dc, buffer);
        Bitmap* icon = make_icon();
        Font font(L"Arial", 8);
        StringFormat format(StringFormatFlagsLineLimit);
        format.SetTrimming(StringTrimmingEllipsisCharacter);

        redraw(dc, icon, font, format);  // fills the glyph cache
        const int frames = 400;
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < frames; ++i) redraw(dc, icon, font, format);
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const double rate = frames / seconds;
        std::printf(
            "gdi redraw: %.0f full redraws/s of 400x220 with 100 text rows and 100 "
            "alpha images (needed: 200/s, ratio %.2f)\n",
            rate, rate / 200.0);

        win_gdi::save_png(*win_gdi::dc_canvas(dc), picture);
        std::printf("last frame: %s\n", picture.c_str());

        delete icon;
        SelectObject(dc, previous);
        DeleteDC(dc);
        DeleteObject(buffer);
    }
    GdiplusShutdown(token);
    return 0;
}

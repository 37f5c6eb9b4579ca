// Full redraws of the sync window's surface through the tray toolkit: a
// 400 by 220 layered window with its frame, its buttons and a list of 100
// rows (names, progress bars, icons), composed and handed to the system by
// the window's Redraw. Reported in redraws per second against the 200 a
// second the window needs, and against the same picture drawn directly (the
// frame, the buttons, the rows in view and the bar, with no control tree) as
// a peer in the same run. The last frame is saved as a picture (bench-frames
// beside the program's folder, or the path given).
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "demo/demo_controls.h"
#include "last_frame.h"
#include "ui/resource_ids.h"
#include "win/machine.h"
#include "win/win_test.h"

using namespace demo;

namespace {

double rate_of(int frames, const std::function<void(int)>& frame) {
    frame(0);  // glyphs and images cached
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < frames; ++i) frame(i);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return frames / seconds;
}

// The peer: the same frame, buttons, six rows in view and scroll bar, drawn
// straight into a back buffer and handed to the system, with nothing routed
// through controls.
class direct_painter {
public:
    direct_painter() {
        BITMAPINFO info{};
        info.bmiHeader = {sizeof(BITMAPINFOHEADER), 400, -220, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        buffer_ = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits_, nullptr, 0);
        dc_ = CreateCompatibleDC(nullptr);
        previous_ = SelectObject(dc_, buffer_);
        for (int i = 0; i < 11; ++i)
            LoadImageSlot(frame_[i], IDB_FRAME_CENTRE + i, AfxGetResourceHandle());
        for (int i = 0; i < 3; ++i)
            LoadImageSlot(bar_[i], IDB_BAR_LEFT + i, AfxGetResourceHandle());
        LoadImageSlot(icon_, IDB_UPLOAD_ICON, AfxGetResourceHandle());
        LoadImageSlot(thumb_, IDB_SCROLL_THUMB_MIDDLE, AfxGetResourceHandle());
        LoadImageSlot(track_, IDB_SCROLL_TRACK, AfxGetResourceHandle());
        LoadImageSlot(up_, IDB_SCROLL_UP, AfxGetResourceHandle());
        LoadImageSlot(down_, IDB_SCROLL_DOWN, AfxGetResourceHandle());
        LoadImageSlot(button_, IDB_BUTTON_STOP, AfxGetResourceHandle());
        LoadImageSlot(close_, IDB_CLOSE_NORMAL, AfxGetResourceHandle());
        format_.SetTrimming(Gdiplus::StringTrimmingEllipsisCharacter);
    }
    ~direct_painter() {
        SelectObject(dc_, previous_);
        DeleteDC(dc_);
        DeleteObject(buffer_);
    }

    void draw(HWND window, int first_row) {
        std::fill_n(static_cast<uint32_t*>(bits_), 400 * 220, 0u);
        const CImageSlot* f = frame_;  // 201 to 211
        f[9].Draw(dc_, 0, 0);
        f[6].Draw(dc_, 10, 0);
        f[7].DrawStretched(dc_, CRect(106, 0, 360, 30));
        f[8].Draw(dc_, 360, 0);
        f[10].Draw(dc_, 390, 0);
        f[4].DrawStretched(dc_, CRect(0, 30, 5, 192));
        f[0].DrawStretched(dc_, CRect(5, 30, 395, 192));
        f[5].DrawStretched(dc_, CRect(395, 30, 400, 192));
        f[2].Draw(dc_, 0, 192);
        f[1].DrawStretched(dc_, CRect(10, 192, 390, 220));
        f[3].Draw(dc_, 390, 192);
        button_.Draw(dc_, 307, 197);
        close_.Draw(dc_, 376, 4);
        IntersectClipRect(dc_, 5, 30, 395, 192);
        Gdiplus::Graphics g(dc_);
        for (int i = 0; i < 6; ++i) {
            const int top = 30 + i * 30;
            const int row = first_row + i;
            g.FillRectangle(&fill_, 7, top + 3, 373 * (row % 100) / 100, 24);
            bar_[0].Draw(dc_, 5, top + 1);
            bar_[1].DrawTiled(dc_, CRect(11, top + 1, 377, top + 29));
            bar_[2].Draw(dc_, 377, top + 1);
            icon_.Draw(dc_, 15, top + 8);
            const std::wstring name = L"Document number " + std::to_wstring(row) +
                                      L" with a long name that needs trimming.txt (12 KB)";
            g.DrawString(name.c_str(), -1, &font_, Gdiplus::RectF(28, top + 7.0f, 258, 20),
                         &format_, &white_);
        }
        track_.DrawTiled(dc_, CRect(389, 36, 395, 186));
        up_.Draw(dc_, 389, 30);
        down_.Draw(dc_, 389, 186);
        thumb_.DrawTiled(dc_, CRect(389, 36, 395, 60));
        SelectClipRgn(dc_, nullptr);
        HDC screen = GetDC(nullptr);
        POINT position{0, 0}, source{0, 0};
        SIZE size{400, 220};
        BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
        UpdateLayeredWindow(window, screen, &position, &size, dc_, &source, 0, &blend, ULW_ALPHA);
        ReleaseDC(nullptr, screen);
    }

private:
    HBITMAP buffer_ = nullptr;
    void* bits_ = nullptr;
    HDC dc_ = nullptr;
    HGDIOBJ previous_ = nullptr;
    CImageSlot frame_[11], bar_[3], icon_, thumb_, track_, up_, down_, button_, close_;
    Gdiplus::Font font_{L"Arial", 8};
    Gdiplus::StringFormat format_{Gdiplus::StringFormatFlagsLineLimit};
    Gdiplus::SolidBrush fill_{Gdiplus::Color(0xFF64788C)};
    Gdiplus::SolidBrush white_{Gdiplus::Color(0xFFFFFFFF)};
};

}  // namespace

int main(int argc, char** argv) {
    const std::string path = bench_support::last_frame_path(
        argc, argv, "bench_tray_redraw [PICTURE.png]", "tray_redraw.png");
    win_machine::scoped_root machine;
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    Gdiplus::GdiplusStartup(&token, &input, nullptr);
    {
        CDemoWindow window;
        window.Create(CRect(1500, 820, 1900, 1040), TRUE);
        CDemoList list;
        const CRect inside = window.Inside();
        list.Create(&window, nullptr, inside.left, inside.top, inside.right, inside.bottom, 1004,
                    L"", 0);
        CDemoButton close, stop_all;
        close.Create(&window, nullptr, 1001, IDB_CLOSE_NORMAL, IDB_CLOSE_HOVERED, IDB_CLOSE_PRESSED,
                     IDB_CLOSE_DISABLED, L"Close", 376, 4);
        stop_all.m_caption = L"Stop all";
        stop_all.Create(&window, nullptr, 1002, IDB_BUTTON_STOP, IDB_BUTTON_STOP, IDB_BUTTON_STOP,
                        IDB_BUTTON_STOP, L"", 307, 197);
        std::vector<CAlphaRowKey> keys;
        for (int i = 0; i < 100; ++i) {
            keys.push_back(demo_row{L"Document number " + std::to_wstring(i) +
                                        L" with a long name that needs trimming.txt (12 KB)",
                                    i % 100, i % 3 == 0});
        }
        list.SetRows(keys, {}, FALSE);
        const int frames = 400;

        const double still = rate_of(frames, [&](int) { window.Redraw(); });
        // Scrolled between redraws, as the wheel does.
        const double scrolling = rate_of(frames, [&](int i) {
            list.ScrollTo((i * 75) % 2800);
            window.Redraw();
        });
        direct_painter direct;
        const double peer = rate_of(frames, [&](int i) { direct.draw(window, i % 94); });

        std::printf(
            "tray redraw: %.0f full redraws/s of a 400x220 layered window with a list of 100 rows "
            "(needed: 200/s, ratio %.2f)\n",
            still, still / 200.0);
        std::printf("tray redraw while scrolling: %.0f/s (ratio %.2f to 200/s)\n", scrolling,
                    scrolling / 200.0);
        std::printf(
            "direct drawing of the same picture without controls: %.0f/s (toolkit at %.2f of it)\n",
            peer, still / peer);

        list.ScrollTo(0);
        window.Redraw();
        if (win_test::save_png(window, path)) std::printf("last frame: %s\n", path.c_str());
    }
    Gdiplus::GdiplusShutdown(token);
    return 0;
}

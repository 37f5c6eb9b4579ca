#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "drawing/image_codecs.h"
#include "user_dialog_test_support.h"
#include "windowing/user_surface.h"

namespace {

using user_test::test_window;
using Painting = user_test::UserTest;

constexpr win_gdi::pixel opaque(uint8_t r, uint8_t g, uint8_t b) {
    return win_gdi::make_pixel(255, r, g, b);
}

// Fills the area BeginPaint hands out with the colour.
std::optional<LRESULT> paint_with(HWND h, COLORREF color) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(h, &ps);
    HBRUSH brush = CreateSolidBrush(color);
    RECT all{0, 0, 10000, 10000};
    FillRect(dc, &all, brush);
    DeleteObject(brush);
    EndPaint(h, &ps);
    return 0;
}

// The pixels of the window's client area as they are now.
win_gdi::pixel client_pixel(HWND h, int x, int y) {
    const auto pixels = win_user::window_pixels(h);
    const RECT window = win_test::window_rect(h);
    POINT p{x, y};
    ClientToScreen(h, &p);
    return pixels->at(p.x - window.left, p.y - window.top);
}

std::string pictures_folder() {
    return WINDOW_PICTURE_DIR;
}

TEST_F(Painting, ParentsPaintBeforeChildrenAndOnlyWhatIsInvalid) {
    std::vector<HWND> painted;
    auto record = [&](HWND h, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (m == WM_PAINT) painted.push_back(h);
        return std::nullopt;
    };
    test_window parent(
        test_window::with().styled(WS_POPUP | WS_VISIBLE).at({0, 0, 300, 200}).reacting(record));
    test_window child(test_window::with()
                          .styled(WS_CHILD | WS_VISIBLE)
                          .child_of(parent.hwnd(), 1)
                          .at({100, 100, 200, 150})
                          .reacting(record));
    win_test::pump();
    EXPECT_EQ(painted, (std::vector<HWND>{parent.hwnd(), child.hwnd()}));
    EXPECT_EQ(HIWORD(GetQueueStatus(QS_PAINT)), 0);

    painted.clear();
    const RECT away{0, 0, 50, 50};
    InvalidateRect(parent.hwnd(), &away, TRUE);
    win_test::pump();
    EXPECT_EQ(painted, std::vector<HWND>{parent.hwnd()});
    painted.clear();
    const RECT over{150, 120, 160, 130};
    InvalidateRect(parent.hwnd(), &over, TRUE);
    win_test::pump();
    EXPECT_EQ(painted, (std::vector<HWND>{parent.hwnd(), child.hwnd()}));
    // A hidden window is not painted.
    painted.clear();
    ShowWindow(parent.hwnd(), SW_HIDE);
    InvalidateRect(parent.hwnd(), nullptr, TRUE);
    win_test::pump();
    EXPECT_TRUE(painted.empty());
}

TEST_F(Painting, BeginPaintClipsToTheInvalidAreaAfterErasingWithTheClassBrush) {
    int paints = 0;
    test_window w(test_window::with().styled(WS_POPUP | WS_VISIBLE).at({0, 0, 100, 100}));
    w.set_reaction([&](HWND h, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (m != WM_PAINT) return std::nullopt;
        ++paints;
        if (paints == 1) {  // leaves the erased background alone
            PAINTSTRUCT ps;
            BeginPaint(h, &ps);
            EXPECT_FALSE(ps.fErase);  // erased already
            EXPECT_EQ(ps.rcPaint.right, 100);
            EndPaint(h, &ps);
            return 0;
        }
        return paint_with(h, RGB(255, 0, 0));
    });
    win_test::pump();
    EXPECT_EQ(client_pixel(w.hwnd(), 50, 50), opaque(255, 255, 255));  // COLOR_WINDOW
    const RECT part{10, 10, 20, 20};
    InvalidateRect(w.hwnd(), &part, FALSE);
    win_test::pump();
    EXPECT_EQ(client_pixel(w.hwnd(), 15, 15), opaque(255, 0, 0));
    EXPECT_EQ(client_pixel(w.hwnd(), 25, 25), opaque(255, 255, 255));
    EXPECT_EQ(paints, 2);
}

TEST_F(Painting, WindowDCsStartAtTheClientAreaAndChildrenAreClippedToTheirParent) {
    test_window w(test_window::with()
                      .styled(WS_POPUP | WS_VISIBLE | WS_CAPTION)
                      .at({0, 0, 200, 200})
                      .reacting([](HWND h, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
                          if (m == WM_PAINT) return paint_with(h, RGB(0, 0, 255));
                          return std::nullopt;
                      }));
    test_window child(test_window::with()
                          .styled(WS_CHILD | WS_VISIBLE)
                          .child_of(w.hwnd(), 1)
                          .at({150, 150, 250, 250})
                          .reacting([](HWND h, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
                              if (m == WM_PAINT) return paint_with(h, RGB(0, 255, 0));
                              return std::nullopt;
                          }));
    win_test::pump();
    HDC dc = GetDC(w.hwnd());
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
    const RECT corner{0, 0, 5, 5};
    FillRect(dc, &corner, red);
    ReleaseDC(w.hwnd(), dc);
    DeleteObject(red);
    EXPECT_EQ(client_pixel(w.hwnd(), 0, 0), opaque(255, 0, 0));
    EXPECT_EQ(client_pixel(w.hwnd(), 6, 6), opaque(0, 0, 255));
    EXPECT_EQ(client_pixel(child.hwnd(), 5, 5), opaque(0, 255, 0));
    // The part of the child outside its parent's client area is not drawn.
    const RECT client = win_test::client_rect(w.hwnd());
    EXPECT_NE(client_pixel(w.hwnd(), client.right - 1, client.bottom - 1), opaque(0, 0, 255));
    const auto whole = win_user::window_pixels(w.hwnd());
    const RECT frame = win_test::window_rect(w.hwnd());
    EXPECT_EQ(whole->width(), frame.right - frame.left);
}

// A 32-bit top-down DIB section in a memory DC, every pixel the value.
struct section {
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = nullptr;
    uint32_t* bits = nullptr;
    section(int width, int height, uint32_t value) {
        BITMAPINFO info{};
        info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        void* p = nullptr;
        bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &p, nullptr, 0);
        bits = static_cast<uint32_t*>(p);
        std::fill(bits, bits + width * height, value);
        SelectObject(dc, bitmap);
    }
    ~section() {
        DeleteDC(dc);
        DeleteObject(bitmap);
    }
};

TEST_F(Painting, ALayeredWindowKeepsItsLastUpdateAndFollowsItsPositionAndSize) {
    test_window w(
        test_window::with()
            .styled(WS_POPUP | WS_VISIBLE, WS_EX_LAYERED | WS_EX_TOOLWINDOW | WS_EX_TOPMOST)
            .at({0, 0, 10, 10}));
    win_test::pump();
    section source(400, 220, 0x80800000u);  // half-transparent red, premultiplied
    source.bits[0] = 0xFF00FF00u;
    HDC screen = GetDC(nullptr);
    POINT to{1520, 820}, from{0, 0};
    SIZE size{400, 220};
    BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    w.clear();
    ASSERT_TRUE(
        UpdateLayeredWindow(w.hwnd(), screen, &to, &size, source.dc, &from, 0, &blend, ULW_ALPHA));
    EXPECT_EQ(w.count(WM_SIZE), 1u);
    EXPECT_EQ(w.count(WM_MOVE), 1u);
    const RECT r = win_test::window_rect(w.hwnd());
    EXPECT_EQ(r.left, 1520);
    EXPECT_EQ(r.bottom, 1040);
    auto pixels = win_user::window_pixels(w.hwnd());
    ASSERT_EQ(pixels->width(), 400);
    EXPECT_EQ(pixels->at(0, 0), 0xFF00FF00u);
    EXPECT_EQ(pixels->at(5, 5), 0x80800000u);

    // Drawing into the source afterwards changes nothing until the next update.
    source.bits[0] = 0;
    EXPECT_EQ(win_user::window_pixels(w.hwnd())->at(0, 0), 0xFF00FF00u);
    blend.SourceConstantAlpha = 128;
    ASSERT_TRUE(UpdateLayeredWindow(w.hwnd(), screen, nullptr, nullptr, source.dc, &from, 0, &blend,
                                    ULW_ALPHA));
    EXPECT_EQ(win_user::window_pixels(w.hwnd())->at(5, 5), 0x40400000u);

    // A source smaller than the window, and a window that is not layered, fail.
    SIZE bigger{401, 220};
    EXPECT_FALSE(UpdateLayeredWindow(w.hwnd(), screen, nullptr, &bigger, source.dc, &from, 0,
                                     &blend, ULW_ALPHA));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    test_window plain(test_window::with().styled(WS_POPUP));
    EXPECT_FALSE(UpdateLayeredWindow(plain.hwnd(), screen, nullptr, nullptr, source.dc, &from, 0,
                                     &blend, ULW_ALPHA));
    ReleaseDC(nullptr, screen);
}

// Decodes a saved picture.
std::shared_ptr<win_gdi::canvas> load(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(file)),
                            std::istreambuf_iterator<char>());
    return win_gdi::decode_png(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()).pixels;
}

TEST_F(Painting, PicturesOfADialogAndOfALayeredWindow) {
    const std::string folder = pictures_folder();
    const std::string dialog_file = folder + "/question-dialog.png";
    dialog_test::probe p;
    win_test::scoped_dialog_responder script([&](HWND dialog) {
        SetDlgItemTextW(
            dialog, dialog_test::message_text,
            L"File 'report.txt' exists on the local drive, but not on the server.\r\n\r\n"
            L"Would you like to upload it?");
        CheckDlgButton(dialog, dialog_test::remember, BST_CHECKED);
        EXPECT_TRUE(win_test::save_png(dialog, dialog_file));
        win_test::press(dialog, IDOK);
    });
    EXPECT_EQ(dialog_test::run(dialog_test::question, p), IDOK);
    const auto picture = load(dialog_file);
    ASSERT_TRUE(picture);
    EXPECT_GT(picture->width(), 400);
    // The dialog's face along its bottom.
    EXPECT_EQ(picture->at(picture->width() / 2, picture->height() - 5), opaque(240, 240, 240));

    test_window layered(test_window::with()
                            .styled(WS_POPUP | WS_VISIBLE, WS_EX_LAYERED | WS_EX_TOOLWINDOW)
                            .at({0, 0, 10, 10}));
    section source(120, 60, 0x00000000u);
    for (int y = 10; y < 50; ++y)
        for (int x = 10; x < 110; ++x) source.bits[y * 120 + x] = 0xC0002060u;
    POINT from{0, 0};
    SIZE size{120, 60};
    BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    ASSERT_TRUE(UpdateLayeredWindow(layered.hwnd(), nullptr, nullptr, &size, source.dc, &from, 0,
                                    &blend, ULW_ALPHA));
    const std::string layered_file = folder + "/layered-window.png";
    ASSERT_TRUE(win_test::save_png(layered.hwnd(), layered_file));
    const auto back = load(layered_file);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->at(0, 0), 0u);
    EXPECT_EQ(back->at(50, 30) >> 24, 0xC0u);
    EXPECT_FALSE(win_test::save_png(reinterpret_cast<HWND>(12345), folder + "/none.png"));
}

TEST_F(Painting, TheSnapshotFolderGetsEveryChangedTopLevelWindow) {
    const std::string folder = root_.path() + "/snapshots";
    setenv("CALVIMORA_SNAPSHOT_DIR", folder.c_str(), 1);
    test_window w(test_window::with().styled(WS_POPUP | WS_VISIBLE).named(L"Sync progress"));
    test_window hidden(test_window::with().styled(WS_POPUP).named(L"Hidden"));
    // A window without a title, as the layered ones are, is named after
    // what it shows first, never after its class.
    test_window untitled(test_window::with().styled(WS_POPUP | WS_VISIBLE).named(L""));
    test_window text(test_window::with()
                         .styled(WS_CHILD | WS_VISIBLE)
                         .child_of(untitled.hwnd(), 1)
                         .named(L"Replace a/b?"));
    win_test::pump();
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        files.push_back(entry.path().filename());
    std::sort(files.begin(), files.end());
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files[0].rfind("Calvimora-Replace_a_b_-", 0), 0u) << files[0];
    EXPECT_EQ(files[1].rfind("Calvimora-Sync_progress-", 0), 0u) << files[1];
    // A change writes the picture again.
    std::filesystem::remove(folder + "/" + files[1]);
    InvalidateRect(w.hwnd(), nullptr, TRUE);
    win_test::pump();
    EXPECT_TRUE(std::filesystem::exists(folder + "/" + files[1]));
    unsetenv("CALVIMORA_SNAPSHOT_DIR");
}

}  // namespace

namespace {

// A 20 x 20 DIB section filled with grey, selected into a memory DC.
struct grey_canvas {
    grey_canvas() {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = 20;
        info.bmiHeader.biHeight = -20;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        dc = CreateCompatibleDC(nullptr);
        bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits),
                                  nullptr, 0);
        old = SelectObject(dc, bitmap);
        std::fill(bits, bits + 400, 0xFF808080u);
    }
    ~grey_canvas() {
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
    uint32_t at(int x, int y) const { return bits[y * 20 + x] & 0xFFFFFFu; }
    int count(uint32_t color) const {
        return static_cast<int>(
            std::count_if(bits, bits + 400, [&](uint32_t p) { return (p & 0xFFFFFFu) == color; }));
    }

    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ old = nullptr;
    uint32_t* bits = nullptr;
};

}  // namespace

TEST_F(Painting, MenuCheckMarkIsBlackOnWhiteUnlessTransparent) {
    EXPECT_EQ(GetSystemMetrics(SM_CXMENUCHECK), 13);
    EXPECT_EQ(GetSystemMetrics(SM_CYMENUCHECK), 13);
    {
        grey_canvas canvas;
        RECT mark{2, 2, 15, 15};
        ASSERT_TRUE(DrawFrameControl(canvas.dc, &mark, DFC_MENU, DFCS_MENUCHECK));
        EXPECT_EQ(canvas.at(1, 1), 0x808080u);   // outside: untouched
        EXPECT_EQ(canvas.at(2, 2), 0xFFFFFFu);   // the square's corner: white
        EXPECT_EQ(canvas.at(2 + 5, 2 + 8), 0u);  // the stroke's bottom: black
        EXPECT_GT(canvas.count(0), 10);
    }
    {
        grey_canvas canvas;
        RECT mark{2, 2, 15, 15};
        ASSERT_TRUE(
            DrawFrameControl(canvas.dc, &mark, DFC_MENU, DFCS_MENUCHECK | DFCS_TRANSPARENT));
        EXPECT_EQ(canvas.at(2, 2), 0x808080u);
        EXPECT_EQ(canvas.count(0xFFFFFFu), 0);
        EXPECT_GT(canvas.count(0), 10);
    }
    {
        grey_canvas canvas;
        RECT mark{2, 2, 15, 15};
        EXPECT_FALSE(DrawFrameControl(canvas.dc, &mark, DFC_BUTTON, 0));
        EXPECT_FALSE(DrawFrameControl(canvas.dc, &mark, DFC_MENU, DFCS_MENUARROW));
        EXPECT_EQ(canvas.count(0x808080u), 400);
    }
}

#include "toolkit_test_support.h"

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace toolkit_test {

ToolkitTest::ToolkitTest() {
    Gdiplus::GdiplusStartupInput input;
    EXPECT_EQ(Gdiplus::GdiplusStartup(&gdiplus_, &input, nullptr), Gdiplus::Ok);
    // The pointer starts away from every window of the test.
    win_test::move_mouse({1, 1});
    win_test::pump();
}

ToolkitTest::~ToolkitTest() {
    win_test::release_mouse({1, 1});
    win_test::pump();
    Gdiplus::GdiplusShutdown(gdiplus_);
}

BOOL recording_window::OnCommand(WPARAM wparam, LPARAM) {
    const int id = LOWORD(wparam);
    commands.push_back(id);
    if (on_command) on_command(id);
    return TRUE;
}

BOOL recording_window::OnWndMsg(UINT message, WPARAM wparam, LPARAM lparam, LRESULT* result) {
    if (message == WM_VSCROLL) {
        scrolls.push_back(static_cast<int>(wparam));
        *result = 0;
        return TRUE;
    }
    return CAlphaWindow::OnWndMsg(message, wparam, lparam, result);
}

void probe::Paint(HDC dc) {
    HBRUSH brush = CreateSolidBrush(colour);
    const RECT all{0, 0, m_rect.Width(), m_rect.Height()};
    FillRect(dc, &all, brush);
    DeleteObject(brush);
}

LRESULT probe::OnNotify(UINT message, WPARAM, LPARAM) {
    return message == consumes ? 1 : 0;
}

HCURSOR probe::GetCursor(CPoint point) {
    last_point = point;
    return cursor;
}

void probe::OnMouseMove(CPoint point) {
    ++moves;
    last_point = point;
}

void probe::OnMouseEnter(CPoint point) {
    ++enters;
    last_point = point;
}

void probe::OnMouseLeave() {
    ++leaves;
}

void probe::OnButtonDown(CPoint point) {
    ++downs;
    last_point = point;
}

void probe::OnButtonUp(CPoint point) {
    ++ups;
    last_point = point;
}

void probe::OnDoubleClick(CPoint point) {
    ++double_clicks;
    last_point = point;
}

BOOL probe::OnMouseWheel(UINT, short, CPoint point) {
    ++wheels;
    last_point = point;
    return wheel_answer;
}

void probe::OnTimer(UINT_PTR id) {
    timers.push_back(id);
}

POINT at(const CWnd& window, int x, int y) {
    CRect place;
    window.GetWindowRect(&place);
    return {place.left + x, place.top + y};
}

void move(const CWnd& window, int x, int y) {
    win_test::move_mouse(at(window, x, y));
    win_test::pump();
}

void press(const CWnd& window, int x, int y) {
    win_test::press_mouse(at(window, x, y));
    win_test::pump();
}

void release(const CWnd& window, int x, int y) {
    win_test::release_mouse(at(window, x, y));
    win_test::pump();
}

picture::picture(HWND window, const std::string& name) {
    std::filesystem::create_directories(TRAY_UI_PICTURE_DIR);
    // Written under a name of this process and read back before it takes
    // the shared name: runs of the suite side by side read their own.
    const std::string path = std::string(TRAY_UI_PICTURE_DIR) + "/" + name + ".png";
    const std::string own = path + "." + std::to_string(getpid());
    if (!win_test::save_png(window, own)) return;
    std::ifstream file(own, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(file)),
                            std::istreambuf_iterator<char>());
    std::error_code ignored;
    std::filesystem::rename(own, path, ignored);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
    std::memcpy(GlobalLock(memory), bytes.data(), bytes.size());
    GlobalUnlock(memory);
    IStream* stream = nullptr;
    if (FAILED(CreateStreamOnHGlobal(memory, TRUE, &stream))) return;
    auto bitmap = std::make_unique<Gdiplus::Bitmap>(stream);
    stream->Release();
    if (bitmap->GetLastStatus() == Gdiplus::Ok) bitmap_ = std::move(bitmap);
}

int picture::width() const {
    return bitmap_ ? static_cast<int>(bitmap_->GetWidth()) : 0;
}

int picture::height() const {
    return bitmap_ ? static_cast<int>(bitmap_->GetHeight()) : 0;
}

Gdiplus::Color picture::at(int x, int y) const {
    Gdiplus::Color colour(0, 0, 0, 0);
    if (bitmap_) bitmap_->GetPixel(x, y, &colour);
    return colour;
}

std::string describe(const Gdiplus::Color& colour) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(colour.GetValue()));
    return text;
}

}  // namespace toolkit_test

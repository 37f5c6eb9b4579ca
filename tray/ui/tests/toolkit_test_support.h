// Shared pieces of the toolkit's tests: a fixture with its own machine and
// GDI+ running, a window that records what reaches it, a control that
// records its events, the mouse at window points, and saved pictures read
// back for pixel probes.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ui/alpha_control.h"
#include "ui/alpha_window.h"
#include "win/gdiplus.h"
#include "win/machine.h"
#include "win/win_test.h"

namespace toolkit_test {

class ToolkitTest : public ::testing::Test {
protected:
    ToolkitTest();
    ~ToolkitTest() override;

    win_machine::scoped_root root_;
    ULONG_PTR gdiplus_ = 0;
};

// A layered window that records the commands and scroll notifications that
// reach it, and lets a test react to commands.
class recording_window : public CAlphaWindow {
public:
    std::vector<int> commands;  // control ids
    std::vector<int> scrolls;   // positions
    std::function<void(int id)> on_command;

    BOOL OnCommand(WPARAM wparam, LPARAM lparam) override;
    BOOL OnWndMsg(UINT message, WPARAM wparam, LPARAM lparam, LRESULT* result) override;
};

// A control that counts its events and paints itself in one opaque colour.
class probe : public CAlphaControl {
public:
    int enters = 0, leaves = 0, moves = 0, downs = 0, ups = 0, double_clicks = 0, wheels = 0;
    std::vector<UINT_PTR> timers;
    CPoint last_point;
    COLORREF colour = RGB(200, 30, 30);
    HCURSOR cursor = nullptr;
    BOOL wheel_answer = FALSE;
    UINT consumes = 0;  // the message OnNotify consumes

    void Paint(HDC dc) override;
    LRESULT OnNotify(UINT message, WPARAM wparam, LPARAM lparam) override;
    HCURSOR GetCursor(CPoint point) override;
    void OnMouseMove(CPoint point) override;
    void OnMouseEnter(CPoint point) override;
    void OnMouseLeave() override;
    void OnButtonDown(CPoint point) override;
    void OnButtonUp(CPoint point) override;
    void OnDoubleClick(CPoint point) override;
    BOOL OnMouseWheel(UINT flags, short delta, CPoint point) override;
    void OnTimer(UINT_PTR id) override;
};

// The screen point of a point in the window's coordinates.
POINT at(const CWnd& window, int x, int y);
// The mouse moved, pressed or let go at a window point, and what follows
// delivered.
void move(const CWnd& window, int x, int y);
void press(const CWnd& window, int x, int y);
void release(const CWnd& window, int x, int y);

// A window's picture as win_test::save_png writes it (kept in the build
// folder for people to look at), read back.
class picture {
public:
    picture(HWND window, const std::string& name);
    bool valid() const { return bitmap_ != nullptr; }
    int width() const;
    int height() const;
    // Straight (not premultiplied) colour.
    Gdiplus::Color at(int x, int y) const;

private:
    std::unique_ptr<Gdiplus::Bitmap> bitmap_;
};

// A colour as 0xAARRGGBB, for readable failures.
std::string describe(const Gdiplus::Color& colour);

}  // namespace toolkit_test

// The test driver of the windowing calls.

#include "win/win_test.h"

#include <algorithm>
#include <mutex>

#include "windowing/user_answers.h"
#include "windowing/user_internal.h"
#include "windowing/user_state.h"
#include "windowing/user_surface.h"
#include "windowing/user_tooltip.h"

namespace win_test {

namespace {

using win_user::clock;

// Delivers one waiting message as a modal loop would (dialog keys through
// the dialog); false when none waits. A WM_QUIT is put back.
bool deliver_one(bool* quit) {
    MSG m;
    if (!PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) return false;
    if (m.message == WM_QUIT) {
        PostQuitMessage(static_cast<int>(m.wParam));
        *quit = true;
        return true;
    }
    HWND top = m.hwnd ? GetAncestor(m.hwnd, GA_ROOT) : nullptr;
    if (top && win_user::is_dialog_window(top) && IsDialogMessageW(top, &m)) return true;
    TranslateMessage(&m);
    DispatchMessageW(&m);
    return true;
}

}  // namespace

bool pump(std::chrono::milliseconds patience) {
    const auto until = clock::now() + patience;
    bool quit = false;
    while (deliver_one(&quit)) {
        if (quit) return true;
        if (clock::now() > until) return false;
    }
    return true;
}

bool pump_until(const std::function<bool()>& condition, std::chrono::milliseconds patience) {
    const auto until = clock::now() + patience;
    const win_user::queue_ptr queue = win_user::current_queue();
    bool quit = false;
    for (;;) {
        if (condition()) return true;
        if (clock::now() > until) return false;
        if (deliver_one(&quit)) continue;
        // Other threads may make the condition true without a message here.
        win_user::wait_for_work(queue, nullptr, 0, 0,
                                std::min(until, clock::now() + std::chrono::milliseconds(5)));
    }
}

void move_mouse(POINT screen) {
    win_user::inject_mouse(WM_MOUSEMOVE, screen, 0, 0);
}

void press_mouse(POINT screen) {
    win_user::inject_mouse(WM_LBUTTONDOWN, screen, MK_LBUTTON, 0);
}

void release_mouse(POINT screen) {
    win_user::inject_mouse(WM_LBUTTONUP, screen, 0, 0);
}

void click(POINT screen) {
    press_mouse(screen);
    release_mouse(screen);
}

void double_click(POINT screen) {
    click(screen);
    click(screen);
}

void wheel(POINT screen, int delta) {
    win_user::inject_mouse(WM_MOUSEWHEEL, screen, 0, static_cast<short>(delta));
}

POINT center_of(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

void click(HWND window) {
    const POINT at = center_of(window);
    move_mouse(at);
    click(at);
}

void press(HWND dialog, int control_id) {
    click(control(dialog, control_id));
    pump();
}

void press_key(UINT virtual_key) {
    win_user::inject_key(WM_KEYDOWN, virtual_key);
    win_user::inject_key(WM_KEYUP, virtual_key);
}

void type_text(const std::wstring& text) {
    for (wchar_t c : text) win_user::inject_key(WM_CHAR, static_cast<WPARAM>(c));
}

bool fire_timer(HWND window, UINT_PTR id) {
    return win_user::fire_timer_now(window, id);
}

void refuse_timers_for_class(const std::wstring& class_name) {
    win_user::refuse_timers_for_class(class_name);
}

std::vector<HWND> top_level_windows() {
    std::lock_guard<std::mutex> guard(win_user::state().lock);
    return win_user::state().top_level;
}

HWND find_window(LPCWSTR class_name, LPCWSTR caption, HWND owner) {
    for (HWND h : top_level_windows()) {
        if (!IsWindow(h)) continue;
        if (class_name && win_test::class_name(h) != class_name) continue;
        if (caption && text(h) != caption) continue;
        if (owner && GetWindow(h, GW_OWNER) != owner) continue;
        return h;
    }
    return nullptr;
}

HWND control(HWND dialog, int id) {
    return win_user::descendant_control(dialog, id);
}

namespace {

// Reads a window's record directly, so a test never waits for the window's
// thread.
template <typename F>
auto read_window(HWND window, F read) -> decltype(read(std::declval<win_user::window&>())) {
    std::lock_guard<std::mutex> guard(win_user::state().lock);
    const win_user::window_ptr w = win_user::find_locked(window);
    if (!w) return {};
    return read(*w);
}

}  // namespace

std::wstring text(HWND window) {
    return win_user::stored_text(window);
}

std::wstring class_name(HWND window) {
    return read_window(window, [](win_user::window& w) { return w.cls->name; });
}

bool checked(HWND button) {
    return IsDlgButtonChecked(GetParent(button), GetDlgCtrlID(button)) == BST_CHECKED;
}

bool enabled(HWND window) {
    return IsWindowEnabled(window) != FALSE;
}

bool visible(HWND window) {
    return IsWindowVisible(window) != FALSE;
}

bool topmost(HWND window) {
    return read_window(window,
                       [](win_user::window& w) { return (w.ex_style & WS_EX_TOPMOST) != 0; });
}

RECT window_rect(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    return r;
}

RECT client_rect(HWND window) {
    RECT r{};
    GetClientRect(window, &r);
    return r;
}

int current_cursor_id() {
    return win_user::cursor_id(GetCursor());
}

namespace {

std::shared_ptr<win_user::tooltip_data> tooltip_of(HWND tooltip) {
    std::lock_guard<std::mutex> guard(win_user::state().lock);
    const win_user::window_ptr w = win_user::find_locked(tooltip);
    return w ? std::dynamic_pointer_cast<win_user::tooltip_data>(w->control) : nullptr;
}

}  // namespace

std::vector<tool> tooltip_tools(HWND tooltip) {
    std::vector<tool> out;
    const auto data = tooltip_of(tooltip);
    if (!data) return out;
    std::lock_guard<std::mutex> guard(data->lock);
    for (const win_user::tool_entry& t : data->tools)
        out.push_back({t.window, t.id, t.flags, t.rect, t.text});
    return out;
}

bool tooltip_active(HWND tooltip) {
    const auto data = tooltip_of(tooltip);
    if (!data) return false;
    std::lock_guard<std::mutex> guard(data->lock);
    return data->active;
}

int tooltip_max_width(HWND tooltip) {
    const auto data = tooltip_of(tooltip);
    if (!data) return 0;
    std::lock_guard<std::mutex> guard(data->lock);
    return data->max_width;
}

std::wstring shown_tip(HWND tooltip) {
    const auto data = tooltip_of(tooltip);
    if (!data || !IsWindowVisible(tooltip)) return L"";
    std::lock_guard<std::mutex> guard(data->lock);
    return data->shown_text;
}

bool answers_on_terminal() {
    return win_user::answers_on_terminal();
}

bool save_png(HWND window, const std::string& path) {
    const auto picture = win_user::window_picture(window);
    return picture && win_gdi::save_png(*picture, path);
}

bool save_screen_png(const RECT& area, const std::string& path) {
    const int width = area.right - area.left, height = area.bottom - area.top;
    if (width <= 0 || height <= 0) return false;
    win_gdi::canvas screen(width, height);
    std::vector<HWND> windows = top_level_windows();  // front to back
    std::reverse(windows.begin(), windows.end());
    for (HWND window : windows) {
        if (!IsWindowVisible(window)) continue;
        const RECT place = window_rect(window);
        RECT meet{};
        if (!IntersectRect(&meet, &place, &area)) continue;
        const auto picture = win_user::window_picture(window);
        if (picture)
            win_gdi::draw_over(screen, *picture, place.left - area.left, place.top - area.top);
    }
    return win_gdi::save_png(screen, path);
}

}  // namespace win_test

// Moving, sizing, stacking, showing and hiding windows.

#include <algorithm>

#include "user_internal.h"
#include "user_state.h"
#include "win/user_queue.h"

using namespace win_user;

namespace {

bool topmost_locked(HWND handle) {
    const window_ptr w = find_locked(handle);
    return w && (w->ex_style & WS_EX_TOPMOST);
}

// Index of the first window of the normal band.
size_t normal_band_start_locked(const std::vector<HWND>& list) {
    size_t i = 0;
    while (i < list.size() && topmost_locked(list[i])) ++i;
    return i;
}

// Owned windows stay above their owner and share its band.
void lift_owned_locked(window& owner) {
    auto& list = state().top_level;
    for (HWND h : std::vector<HWND>(list)) {
        const window_ptr o = find_locked(h);
        if (!o || o->owner != owner.handle) continue;
        list.erase(std::remove(list.begin(), list.end(), h), list.end());
        const auto at = std::find(list.begin(), list.end(), owner.handle);
        list.insert(at, h);
        o->ex_style = (o->ex_style & ~WS_EX_TOPMOST) | (owner.ex_style & WS_EX_TOPMOST);
        lift_owned_locked(*o);
    }
}

void restack_top_level_locked(window& w, HWND after) {
    auto& list = state().top_level;
    list.erase(std::remove(list.begin(), list.end(), w.handle), list.end());
    if (after == HWND_TOPMOST) {
        w.ex_style |= WS_EX_TOPMOST;
        list.insert(list.begin(), w.handle);
    } else if (after == HWND_NOTOPMOST) {
        w.ex_style &= ~WS_EX_TOPMOST;
        list.insert(list.begin() + normal_band_start_locked(list), w.handle);
    } else if (after == HWND_BOTTOM) {
        w.ex_style &= ~WS_EX_TOPMOST;
        list.push_back(w.handle);
    } else {
        const auto at = std::find(list.begin(), list.end(), after);
        const bool same_band =
            at != list.end() && topmost_locked(after) == ((w.ex_style & WS_EX_TOPMOST) != 0);
        if (after != HWND_TOP && same_band)
            list.insert(at + 1, w.handle);
        else
            list.insert(
                list.begin() + ((w.ex_style & WS_EX_TOPMOST) ? 0 : normal_band_start_locked(list)),
                w.handle);
    }
    lift_owned_locked(w);
}

void restack_child_locked(window& w, HWND after) {
    const window_ptr p = find_locked(w.parent);
    if (!p) return;
    auto& list = p->children;
    list.erase(std::remove(list.begin(), list.end(), w.handle), list.end());
    if (after == HWND_TOP || after == HWND_TOPMOST || after == HWND_NOTOPMOST) {
        list.insert(list.begin(), w.handle);
    } else if (after == HWND_BOTTOM) {
        list.push_back(w.handle);
    } else {
        const auto at = std::find(list.begin(), list.end(), after);
        list.insert(at == list.end() ? list.begin() : at + 1, w.handle);
    }
}

}  // namespace

BOOL SetWindowPos(HWND handle, HWND after, int x, int y, int width, int height, UINT flags) {
    WINDOWPOS pos{handle, after, x, y, width, height, flags};
    {
        std::lock_guard<std::mutex> guard(state().lock);
        const window_ptr w = find_locked(handle);
        if (!w) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
        if (flags & SWP_NOMOVE) {
            pos.x = w->rect.left;
            pos.y = w->rect.top;
        }
        if (flags & SWP_NOSIZE) {
            pos.cx = w->rect.right - w->rect.left;
            pos.cy = w->rect.bottom - w->rect.top;
        }
        const bool visible = (w->style & WS_VISIBLE) != 0;
        if ((flags & SWP_SHOWWINDOW) && visible) pos.flags &= ~SWP_SHOWWINDOW;
        if ((flags & SWP_HIDEWINDOW) && !visible) pos.flags &= ~SWP_HIDEWINDOW;
    }
    if (!(pos.flags & SWP_NOSENDCHANGING))
        SendMessageW(handle, WM_WINDOWPOSCHANGING, 0, reinterpret_cast<LPARAM>(&pos));

    bool moved = false, sized = false, shown = false, hidden = false;
    RECT old_in_parent{}, new_in_parent{};
    HWND parent = nullptr;
    {
        std::lock_guard<std::mutex> guard(state().lock);
        const window_ptr w = find_locked(handle);
        if (!w) return FALSE;
        parent = w->parent;
        old_in_parent = w->rect;
        const RECT wanted{pos.x, pos.y, far_edge(pos.x, pos.cx), far_edge(pos.y, pos.cy)};
        moved =
            !(pos.flags & SWP_NOMOVE) && (wanted.left != w->rect.left || wanted.top != w->rect.top);
        sized = !(pos.flags & SWP_NOSIZE) &&
                (wanted.right - wanted.left != w->rect.right - w->rect.left ||
                 wanted.bottom - wanted.top != w->rect.bottom - w->rect.top);
        if (moved) {
            const LONG cx = w->rect.right - w->rect.left, cy = w->rect.bottom - w->rect.top;
            w->rect = {wanted.left, wanted.top, far_edge(wanted.left, cx),
                       far_edge(wanted.top, cy)};
        }
        if (sized) {
            w->rect.right = far_edge(w->rect.left, wanted.right - wanted.left);
            w->rect.bottom = far_edge(w->rect.top, wanted.bottom - wanted.top);
        }
        if (!(pos.flags & SWP_NOZORDER)) {
            if (w->parent)
                restack_child_locked(*w, pos.hwndInsertAfter);
            else
                restack_top_level_locked(*w, pos.hwndInsertAfter);
        }
        if (pos.flags & SWP_SHOWWINDOW) {
            w->style |= WS_VISIBLE;
            shown = true;
        }
        if (pos.flags & SWP_HIDEWINDOW) {
            w->style &= ~WS_VISIBLE;
            hidden = true;
        }
        new_in_parent = w->rect;
        if (!moved) pos.flags |= SWP_NOMOVE;
        if (!sized) pos.flags |= SWP_NOSIZE;
        pos.x = w->rect.left;
        pos.y = w->rect.top;
        pos.cx = w->rect.right - w->rect.left;
        pos.cy = w->rect.bottom - w->rect.top;
    }
    if (sized) surface_resized(handle);
    if (hidden) {
        release_capture_within(handle);
        leave_focus_within(handle);
    }
    if (!(pos.flags & SWP_NOREDRAW) || shown || hidden) {
        if (shown || sized || (pos.flags & SWP_FRAMECHANGED))
            invalidate(handle, nullptr, true, true);
        if (parent && (moved || sized || hidden)) {
            RECT area = old_in_parent;
            if (!hidden) {
                area.left = std::min(area.left, new_in_parent.left);
                area.top = std::min(area.top, new_in_parent.top);
                area.right = std::max(area.right, new_in_parent.right);
                area.bottom = std::max(area.bottom, new_in_parent.bottom);
            }
            invalidate(parent, &area, true, false);
        }
    }
    if (shown && !(pos.flags & SWP_NOACTIVATE)) activate_on_show(handle);
    SendMessageW(handle, WM_WINDOWPOSCHANGED, 0, reinterpret_cast<LPARAM>(&pos));
    window_changed(handle);
    return TRUE;
}

BOOL MoveWindow(HWND handle, int x, int y, int width, int height, BOOL repaint) {
    return SetWindowPos(handle, nullptr, x, y, width, height,
                        SWP_NOZORDER | SWP_NOACTIVATE | (repaint ? 0 : SWP_NOREDRAW));
}

BOOL ShowWindow(HWND handle, int command) {
    bool was_visible = false, child = false;
    {
        std::lock_guard<std::mutex> guard(state().lock);
        const window_ptr w = find_locked(handle);
        if (!w) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
        was_visible = (w->style & WS_VISIBLE) != 0;
        child = w->parent != nullptr;
    }
    const bool show = command != SW_HIDE;
    const bool activate = show && !child && command != SW_SHOWNOACTIVATE && command != SW_SHOWNA &&
                          command != SW_SHOWMINNOACTIVE;
    if (show == was_visible) {
        if (activate) activate_on_show(handle);
        return was_visible;
    }
    SendMessageW(handle, WM_SHOWWINDOW, show ? TRUE : FALSE, 0);
    UINT flags = SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER;
    flags |= show ? SWP_SHOWWINDOW : SWP_HIDEWINDOW;
    if (!activate) flags |= SWP_NOACTIVATE;
    SetWindowPos(handle, nullptr, 0, 0, 0, 0, flags);
    return was_visible;
}

BOOL IsWindowVisible(HWND handle) {
    std::lock_guard<std::mutex> guard(state().lock);
    const window_ptr w = find_locked(handle);
    return w && visible_locked(*w);
}

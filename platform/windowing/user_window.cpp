// Windows: creation, destruction, the parent and owner tree, control ids,
// texts and enabling.

#include <algorithm>

#include "user_internal.h"
#include "user_session_windows.h"
#include "user_state.h"
#include "win/kernel.h"
#include "win/user_queue.h"

namespace win_user {

namespace {

thread_local std::function<void(HWND)> creation_hook;

// Where CW_USEDEFAULT puts top-level windows: a cascade from the top-left.
POINT default_position_locked() {
    static int next = 0;
    const int step = 26 * (next++ % 10);
    return {40 + step, 40 + step};
}

void insert_top_level_locked(window& w) {
    auto& list = state().top_level;
    auto at = list.begin();
    if (!(w.ex_style & WS_EX_TOPMOST)) {
        at = std::find_if(list.begin(), list.end(), [](HWND h) {
            const window_ptr other = find_locked(h);
            return other && !(other->ex_style & WS_EX_TOPMOST);
        });
    }
    list.insert(at, w.handle);
}

void mark_destroying_locked(window& w) {
    w.life = window_life::destroying;
    for (HWND child : w.children)
        if (const window_ptr c = find_locked(child)) mark_destroying_locked(*c);
}

void remove_queued_for_locked(thread_queue& queue, HWND handle) {
    for (auto& message : queue.sent) {
        if (message->window != handle) continue;
        message->result = 0;
        message->done = true;
        if (message->sender) wake(*message->sender);
    }
    auto& sent = queue.sent;
    sent.erase(std::remove_if(sent.begin(), sent.end(),
                              [handle](const auto& m) { return m->window == handle; }),
               sent.end());
    auto& posted = queue.posted;
    posted.erase(std::remove_if(posted.begin(), posted.end(),
                                [handle](const MSG& m) { return m.hwnd == handle; }),
                 posted.end());
    auto& input = queue.input;
    input.erase(std::remove_if(input.begin(), input.end(),
                               [handle](const input_event& e) { return e.target == handle; }),
                input.end());
    auto& timers = queue.timers;
    timers.erase(std::remove_if(timers.begin(), timers.end(),
                                [handle](const timer& t) { return t.window == handle; }),
                 timers.end());
    if (queue.active == handle) queue.active = nullptr;
    if (queue.focus == handle) queue.focus = nullptr;
}

void send_destroy(HWND handle) {
    call_procedure(handle, WM_DESTROY, 0, 0);
    std::vector<HWND> children;
    {
        std::lock_guard<std::mutex> guard(state().lock);
        if (const window_ptr w = find_locked(handle)) children = w->children;
    }
    for (HWND child : children) send_destroy(child);
}

void send_nc_destroy(HWND handle) {
    std::vector<HWND> children;
    {
        std::lock_guard<std::mutex> guard(state().lock);
        if (const window_ptr w = find_locked(handle)) children = w->children;
    }
    for (HWND child : children) send_nc_destroy(child);
    call_procedure(handle, WM_NCDESTROY, 0, 0);
    HRGN region = nullptr;
    {
        std::lock_guard<std::mutex> guard(state().lock);
        if (const window_ptr w = find_locked(handle)) region = unlink_window_locked(*w);
    }
    release_region(region);
}

// Undoes a creation that its procedure refused.
HWND fail_creation(HWND handle, bool send_destroy_first) {
    if (send_destroy_first) send_destroy(handle);
    send_nc_destroy(handle);
    return nullptr;
}

}  // namespace

void set_creation_hook(std::function<void(HWND)> hook) {
    creation_hook = std::move(hook);
}

RECT frame_of(DWORD style, DWORD ex_style) {
    int edge = 0;
    if (style & WS_THICKFRAME)
        edge = 4;
    else if ((style & WS_DLGFRAME) || (ex_style & WS_EX_DLGMODALFRAME))
        edge = 3;
    else if (style & WS_BORDER)
        edge = 1;
    if (ex_style & WS_EX_CLIENTEDGE) edge += 2;
    if (ex_style & WS_EX_STATICEDGE) edge += 1;
    int top = edge;
    if ((style & WS_CAPTION) == WS_CAPTION) top += (ex_style & WS_EX_TOOLWINDOW) ? 17 : 23;
    return {edge, top, edge, edge};
}

HRGN unlink_window_locked(window& w) {
    for (HWND child : std::vector<HWND>(w.children)) {
        if (const window_ptr c = find_locked(child)) release_region(unlink_window_locked(*c));
    }
    w.children.clear();
    w.life = window_life::destroyed;
    if (w.parent) {
        if (const window_ptr p = find_locked(w.parent)) {
            auto& list = p->children;
            list.erase(std::remove(list.begin(), list.end(), w.handle), list.end());
        }
    } else {
        auto& list = state().top_level;
        list.erase(std::remove(list.begin(), list.end(), w.handle), list.end());
        unpublish_window(w.handle);
    }
    for (auto& [handle, other] : state().windows)
        if (other->owner == w.handle) other->owner = nullptr;
    if (w.queue) remove_queued_for_locked(*w.queue, w.handle);
    if (state().capture == w.handle) state().capture = nullptr;
    if (state().foreground == w.handle) state().foreground = nullptr;
    if (state().tracking.window == w.handle) state().tracking = {};
    state().windows.erase(w.handle);
    HRGN region = w.region;
    w.region = nullptr;
    return region;
}

std::wstring stored_text(HWND window) {
    std::lock_guard<std::mutex> guard(state().lock);
    const window_ptr w = find_locked(window);
    return w ? w->text : std::wstring();
}

HWND descendant_control(HWND dialog, int id) {
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (GetDlgCtrlID(child) == id) return child;
        if (HWND deeper = descendant_control(child, id)) return deeper;
    }
    return nullptr;
}

}  // namespace win_user

using namespace win_user;

HWND CreateWindowExW(DWORD ex_style, LPCWSTR class_name, LPCWSTR window_name, DWORD style, int x,
                     int y, int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                     LPVOID parameter) {
    const queue_ptr queue = current_queue();
    HWND handle = nullptr;
    const bool visible = (style & WS_VISIBLE) != 0;
    {
        std::lock_guard<std::mutex> guard(state().lock);
        const auto cls = find_class_locked(class_name, instance);
        if (!cls) {
            SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
            return nullptr;
        }
        window_ptr parent_window;
        if (parent) {
            parent_window = find_locked(parent);
            if (!parent_window) {
                SetLastError(ERROR_INVALID_WINDOW_HANDLE);
                return nullptr;
            }
        } else if ((style & WS_CHILD) && !(style & WS_POPUP)) {
            SetLastError(ERROR_TLW_WITH_WSCHILD);
            return nullptr;
        }
        const bool child = (style & WS_CHILD) && !(style & WS_POPUP);
        if (!child && !(style & WS_POPUP)) style |= WS_CAPTION | WS_CLIPSIBLINGS;
        if (!child) style |= WS_CLIPSIBLINGS;

        auto w = std::make_shared<window>();
        w->handle = make_window_handle(state().next_handle);
        state().next_handle += 4;
        w->cls = cls;
        w->procedure = cls->procedure;
        w->style = style & ~WS_VISIBLE;
        w->ex_style = ex_style;
        w->instance = instance;
        w->queue = queue;
        w->thread_id = queue->thread_id;
        w->extra.assign(static_cast<size_t>(cls->window_extra), 0);
        if (child) {
            w->parent = parent;
            w->id = reinterpret_cast<LONG_PTR>(menu);
        } else if (parent) {
            w->owner = top_level_of_locked(parent);
            // An owned window stays above its owner, so a topmost owner's
            // windows are topmost too.
            const window_ptr owner = find_locked(w->owner);
            if (owner && (owner->ex_style & WS_EX_TOPMOST)) w->ex_style |= WS_EX_TOPMOST;
        }
        if (x == CW_USEDEFAULT || y == CW_USEDEFAULT) {
            const POINT at =
                (!child && !(style & WS_POPUP)) ? default_position_locked() : POINT{0, 0};
            x = at.x;
            y = at.y;
        }
        if (width == CW_USEDEFAULT || height == CW_USEDEFAULT) {
            const bool overlapped = !child && !(style & WS_POPUP);
            width = overlapped ? 800 : 0;
            height = overlapped ? 600 : 0;
        }
        w->rect = {x, y, far_edge(x, width), far_edge(y, height)};
        state().windows[w->handle] = w;
        if (child)
            parent_window->children.push_back(w->handle);
        else
            insert_top_level_locked(*w);
        handle = w->handle;
    }
    if (auto hook = std::move(creation_hook)) {
        creation_hook = nullptr;
        hook(handle);
    }

    CREATESTRUCTW create{
        parameter,   instance,   menu,    parent, height, width, y, x, static_cast<LONG>(style),
        window_name, class_name, ex_style};
    if (!SendMessageW(handle, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&create)))
        return fail_creation(handle, false);
    if (SendMessageW(handle, WM_CREATE, 0, reinterpret_cast<LPARAM>(&create)) == -1)
        return fail_creation(handle, true);
    RECT client{};
    POINT origin{};
    {
        std::lock_guard<std::mutex> guard(state().lock);
        const window_ptr w = find_locked(handle);
        if (!w) return nullptr;  // destroyed by its own creation messages
        client = client_in_window_locked(*w);
        origin = {w->rect.left + client.left, w->rect.top + client.top};
    }
    surface_resized(handle);
    SendMessageW(handle, WM_SIZE, SIZE_RESTORED,
                 MAKELPARAM(client.right - client.left, client.bottom - client.top));
    SendMessageW(handle, WM_MOVE, 0, MAKELPARAM(origin.x, origin.y));
    if (!(style & WS_CHILD) || (style & WS_POPUP)) {
        std::wstring class_text, caption;
        DWORD thread = 0;
        {
            std::lock_guard<std::mutex> guard(state().lock);
            const window_ptr w = find_locked(handle);
            if (!w) return nullptr;
            class_text = w->cls->name;
            caption = w->text;
            thread = w->thread_id;
        }
        publish_window(handle, class_text, caption, thread);
    }
    if (visible && IsWindow(handle)) ShowWindow(handle, SW_SHOW);
    return IsWindow(handle) ? handle : nullptr;
}

BOOL DestroyWindow(HWND handle) {
    std::vector<HWND> owned;
    {
        std::lock_guard<std::mutex> guard(state().lock);
        const window_ptr w = find_locked(handle);
        if (!w) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
        if (w->thread_id != GetCurrentThreadId()) {
            SetLastError(ERROR_ACCESS_DENIED);
            return FALSE;
        }
        if (w->life == window_life::destroying) return TRUE;
        mark_destroying_locked(*w);
        for (const auto& [other_handle, other] : state().windows)
            if (other->owner == handle && other->life == window_life::alive &&
                other->thread_id == w->thread_id)
                owned.push_back(other_handle);
    }
    for (HWND other : owned) DestroyWindow(other);
    if (IsWindowVisible(handle))
        SetWindowPos(handle, nullptr, 0, 0, 0, 0,
                     SWP_HIDEWINDOW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    release_capture_within(handle);
    leave_focus_within(handle);
    send_destroy(handle);
    send_nc_destroy(handle);
    return TRUE;
}

BOOL IsWindow(HWND handle) {
    {
        std::lock_guard<std::mutex> guard(state().lock);
        if (find_locked(handle)) return TRUE;
    }
    return remote_window_of(handle).has_value();
}

HWND GetParent(HWND handle) {
    const window_ptr w = find(handle);
    if (!w) return nullptr;
    return w->parent ? w->parent : w->owner;
}

HWND GetAncestor(HWND handle, UINT flags) {
    std::lock_guard<std::mutex> guard(state().lock);
    window_ptr w = find_locked(handle);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    switch (flags) {
        case GA_PARENT:
            return w->parent;
        case GA_ROOT:
            return top_level_of_locked(handle);
        case GA_ROOTOWNER: {
            w = find_locked(top_level_of_locked(handle));
            while (w && w->owner) w = find_locked(w->owner);
            return w ? w->handle : nullptr;
        }
        default:
            SetLastError(ERROR_INVALID_PARAMETER);
            return nullptr;
    }
}

BOOL IsChild(HWND parent, HWND handle) {
    std::lock_guard<std::mutex> guard(state().lock);
    return is_descendant_locked(parent, handle, false);
}

HWND GetWindow(HWND handle, UINT relation) {
    std::lock_guard<std::mutex> guard(state().lock);
    const window_ptr w = find_locked(handle);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    if (relation == GW_OWNER) return w->owner;
    if (relation == GW_CHILD) return w->children.empty() ? nullptr : w->children.front();
    const std::vector<HWND>* siblings = &state().top_level;
    if (w->parent) {
        const window_ptr p = find_locked(w->parent);
        if (!p) return nullptr;
        siblings = &p->children;
    }
    if (siblings->empty()) return nullptr;
    const auto at = std::find(siblings->begin(), siblings->end(), handle);
    switch (relation) {
        case GW_HWNDFIRST:
            return siblings->front();
        case GW_HWNDLAST:
            return siblings->back();
        case GW_HWNDNEXT:
            return (at == siblings->end() || at + 1 == siblings->end()) ? nullptr : *(at + 1);
        case GW_HWNDPREV:
            return (at == siblings->end() || at == siblings->begin()) ? nullptr : *(at - 1);
        default:
            SetLastError(ERROR_INVALID_PARAMETER);
            return nullptr;
    }
}

HWND GetDesktopWindow() {
    return nullptr;
}

DWORD GetWindowThreadProcessId(HWND handle, LPDWORD process_id) {
    const window_ptr w = find(handle);
    if (!w) {
        const std::optional<remote_window> remote = remote_window_of(handle);
        if (!remote) return 0;
        if (process_id) *process_id = remote->process_id;
        return remote->thread_id;
    }
    if (process_id) *process_id = GetCurrentProcessId();
    return w->thread_id;
}

HWND FindWindowW(LPCWSTR class_name, LPCWSTR window_name) {
    {
        std::lock_guard<std::mutex> guard(state().lock);
        for (HWND h : state().top_level) {
            const window_ptr w = find_locked(h);
            if (!w) continue;
            if (class_name && find_class_locked(class_name, w->cls->module) != w->cls) continue;
            if (window_name && w->text != window_name) continue;
            return h;
        }
    }
    const std::optional<remote_window> remote = find_remote_window(class_name, window_name);
    return remote ? remote->handle : nullptr;
}

int GetDlgCtrlID(HWND handle) {
    const window_ptr w = find(handle);
    return w && w->parent ? static_cast<int>(w->id) : 0;
}

HWND GetDlgItem(HWND dialog, int id) {
    std::lock_guard<std::mutex> guard(state().lock);
    const window_ptr w = find_locked(dialog);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    for (HWND child : w->children) {
        const window_ptr c = find_locked(child);
        if (c && static_cast<int>(c->id) == id) return child;
    }
    SetLastError(ERROR_CONTROL_ID_NOT_FOUND);
    return nullptr;
}

BOOL SetWindowTextW(HWND handle, LPCWSTR text) {
    if (!IsWindow(handle)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    return SendMessageW(handle, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text ? text : L"")) != 0;
}

int GetWindowTextW(HWND handle, LPWSTR text, int max_count) {
    if (!text || max_count <= 0) return 0;
    text[0] = 0;
    if (!IsWindow(handle)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    return static_cast<int>(SendMessageW(handle, WM_GETTEXT, static_cast<WPARAM>(max_count),
                                         reinterpret_cast<LPARAM>(text)));
}

int GetWindowTextLengthW(HWND handle) {
    if (!IsWindow(handle)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    return static_cast<int>(SendMessageW(handle, WM_GETTEXTLENGTH, 0, 0));
}

BOOL EnableWindow(HWND handle, BOOL enable) {
    bool was_disabled = false;
    {
        std::lock_guard<std::mutex> guard(state().lock);
        const window_ptr w = find_locked(handle);
        if (!w) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
        was_disabled = (w->style & WS_DISABLED) != 0;
        if (was_disabled == !enable) return was_disabled;
        if (enable) w->style &= ~WS_DISABLED;
    }
    if (!enable) {
        SendMessageW(handle, WM_CANCELMODE, 0, 0);
        {
            std::lock_guard<std::mutex> guard(state().lock);
            if (const window_ptr w = find_locked(handle)) w->style |= WS_DISABLED;
        }
        leave_focus_within(handle);
    }
    SendMessageW(handle, WM_ENABLE, enable ? TRUE : FALSE, 0);
    return was_disabled;
}

BOOL IsWindowEnabled(HWND handle) {
    const window_ptr w = find(handle);
    return w && !(w->style & WS_DISABLED);
}

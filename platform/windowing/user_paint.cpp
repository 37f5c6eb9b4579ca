// Invalid areas, WM_PAINT, window DCs over the top-level window's picture,
// window regions and the system colour brushes.

#include <algorithm>
#include <array>

#include "user_internal.h"
#include "user_state.h"
#include "user_surface.h"
#include "win/user_input.h"
#include "win/user_paint.h"
#include "win/user_queue.h"

namespace win_user {

namespace {

RECT client_size_locked(const window& w) {
    const RECT c = client_in_window_locked(w);
    return {0, 0, c.right - c.left, c.bottom - c.top};
}

void invalidate_locked(window& w, const RECT* area, bool erase, bool frame) {
    if (w.life != window_life::alive) return;
    const RECT client = client_size_locked(w);
    RECT r = client;
    if (area && !IntersectRect(&r, area, &client)) SetRectEmpty(&r);
    if (!IsRectEmpty(&r)) {
        UnionRect(&w.invalid, &w.invalid, &r);
        w.erase_pending = w.erase_pending || erase;
    }
    if (frame) w.frame_pending = true;
    // Children lie in the client area, their rectangles in its coordinates.
    const RECT under = area ? r : client;
    for (HWND child : w.children) {
        const window_ptr c = find_locked(child);
        if (!c || !(c->style & WS_VISIBLE)) continue;
        RECT overlap;
        if (!IntersectRect(&overlap, &under, &c->rect)) continue;
        const RECT frame_widths = client_in_window_locked(*c);
        OffsetRect(&overlap, -c->rect.left - frame_widths.left, -c->rect.top - frame_widths.top);
        invalidate_locked(*c, &overlap, erase, true);
    }
    wake(*w.queue);
}

// A DC over the top-level picture, its origin at the window's client (or
// window) corner, clipped to the area (in the same coordinates) and to the
// client areas of its ancestors.
HDC window_dc(HWND handle, bool whole_window, const RECT* area) {
    std::shared_ptr<win_gdi::canvas> target;
    POINT origin{};
    RECT visible{};
    {
        std::lock_guard<std::mutex> guard(state().lock);
        const window_ptr w = find_locked(handle);
        if (!w) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return nullptr;
        }
        const window_ptr top = find_locked(top_level_of_locked(handle));
        if (!top || !top->surface || !top->surface->pixels) return nullptr;
        target = top->surface->pixels;
        const RECT top_screen = screen_rect_locked(*top);
        const RECT own_screen = screen_rect_locked(*w);
        const POINT client = client_origin_locked(*w);
        origin = whole_window
                     ? POINT{own_screen.left - top_screen.left, own_screen.top - top_screen.top}
                     : POINT{client.x - top_screen.left, client.y - top_screen.top};
        RECT own = whole_window ? RECT{0, 0, own_screen.right - own_screen.left,
                                       own_screen.bottom - own_screen.top}
                                : client_size_locked(*w);
        if (area && !IntersectRect(&own, &own, area)) SetRectEmpty(&own);
        OffsetRect(&own, origin.x, origin.y);
        visible = own;
        for (HWND up = w->parent; up;) {
            const window_ptr p = find_locked(up);
            if (!p) break;
            const POINT pc = client_origin_locked(*p);
            RECT pr = client_size_locked(*p);
            OffsetRect(&pr, pc.x - top_screen.left, pc.y - top_screen.top);
            if (!IntersectRect(&visible, &visible, &pr)) SetRectEmpty(&visible);
            up = p->parent;
        }
    }
    HDC dc = win_gdi::create_dc_over(target);
    if (!dc) return nullptr;
    SetViewportOrgEx(dc, origin.x, origin.y, nullptr);
    HRGN clip = CreateRectRgnIndirect(&visible);
    SelectClipRgn(dc, clip);
    DeleteObject(clip);
    return dc;
}

std::shared_ptr<win_gdi::canvas> screen_canvas() {
    static const auto screen = std::make_shared<win_gdi::canvas>(GetSystemMetrics(SM_CXSCREEN),
                                                                 GetSystemMetrics(SM_CYSCREEN));
    return screen;
}

// Sends WM_PAINT to the window while it is invalid, then to its children.
void update_now(HWND handle) {
    bool invalid = false;
    std::vector<HWND> children;
    {
        std::lock_guard<std::mutex> guard(state().lock);
        const window_ptr w = find_locked(handle);
        if (!w || !visible_locked(*w)) return;
        invalid = !IsRectEmpty(&w->invalid) || w->frame_pending;
        children = w->children;
    }
    if (invalid) SendMessageW(handle, WM_PAINT, 0, 0);
    for (auto it = children.rbegin(); it != children.rend(); ++it) update_now(*it);
}

}  // namespace

void invalidate(HWND handle, const RECT* area, bool erase, bool frame) {
    std::lock_guard<std::mutex> guard(state().lock);
    const window_ptr w = find_locked(handle);
    if (w && visible_locked(*w)) invalidate_locked(*w, area, erase, frame);
}

void surface_resized(HWND handle) {
    std::lock_guard<std::mutex> guard(state().lock);
    const window_ptr w = find_locked(handle);
    if (!w || w->parent) return;
    if (!w->surface) w->surface = std::make_shared<window_surface>();
    const int width = std::max<LONG>(1, w->rect.right - w->rect.left);
    const int height = std::max<LONG>(1, w->rect.bottom - w->rect.top);
    const auto& pixels = w->surface->pixels;
    if (!pixels || pixels->width() != width || pixels->height() != height)
        w->surface->pixels = std::make_shared<win_gdi::canvas>(width, height);
}

void window_changed(HWND handle) {
    std::lock_guard<std::mutex> guard(state().lock);
    const window_ptr top = find_locked(top_level_of_locked(handle));
    if (top && top->surface) top->surface->changed = true;
}

HWND paint_candidate_locked(const thread_queue& queue, HWND filter) {
    std::vector<HWND> pending(state().top_level.rbegin(), state().top_level.rend());
    while (!pending.empty()) {
        const HWND h = pending.back();
        pending.pop_back();
        const window_ptr w = find_locked(h);
        if (!w || !(w->style & WS_VISIBLE) || w->life != window_life::alive) continue;
        const bool needs_paint = !IsRectEmpty(&w->invalid) || w->frame_pending;
        if (needs_paint && w->queue.get() == &queue &&
            matches_filter_locked(h, WM_PAINT, filter, 0, 0))
            return h;
        // Bottom-most children first, so that the ones above paint last.
        pending.insert(pending.end(), w->children.begin(), w->children.end());
    }
    return nullptr;
}

bool region_contains(HRGN region, int x, int y) {
    return PtInRegion(region, x, y) != FALSE;
}

void release_region(HRGN region) {
    if (region) DeleteObject(region);
}

void paint_everything(HWND handle) {
    {
        std::lock_guard<std::mutex> guard(state().lock);
        const window_ptr w = find_locked(handle);
        if (!w) return;
        std::function<void(window&)> all = [&](window& x) {
            x.invalid = client_size_locked(x);
            x.erase_pending = true;
            x.frame_pending = true;
            for (HWND child : x.children)
                if (const window_ptr c = find_locked(child); c && (c->style & WS_VISIBLE)) all(*c);
        };
        all(*w);
    }
    std::function<void(HWND)> paint = [&](HWND h) {
        SendMessageW(h, WM_PAINT, 0, 0);
        std::vector<HWND> children;
        {
            std::lock_guard<std::mutex> guard(state().lock);
            if (const window_ptr w = find_locked(h)) children = w->children;
        }
        for (auto it = children.rbegin(); it != children.rend(); ++it)
            if (IsWindow(*it) && (GetWindowLongW(*it, GWL_STYLE) & WS_VISIBLE)) paint(*it);
    };
    paint(handle);
}

}  // namespace win_user

using namespace win_user;

BOOL InvalidateRect(HWND handle, LPCRECT rect, BOOL erase) {
    if (!handle) {
        std::vector<HWND> all;
        {
            std::lock_guard<std::mutex> guard(state().lock);
            all = state().top_level;
        }
        for (HWND h : all) invalidate(h, nullptr, erase != FALSE, true);
        return TRUE;
    }
    if (!IsWindow(handle)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    invalidate(handle, rect, erase != FALSE, false);
    return TRUE;
}

BOOL ValidateRect(HWND handle, LPCRECT rect) {
    std::lock_guard<std::mutex> guard(state().lock);
    const window_ptr w = find_locked(handle);
    if (!w) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    RECT inside;
    if (!rect || (IntersectRect(&inside, rect, &w->invalid) && EqualRect(&inside, &w->invalid))) {
        SetRectEmpty(&w->invalid);
        w->erase_pending = false;
    }
    return TRUE;
}

BOOL UpdateWindow(HWND handle) {
    if (!IsWindow(handle)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    update_now(handle);
    return TRUE;
}

BOOL RedrawWindow(HWND handle, LPCRECT rect, HRGN region, UINT flags) {
    if (!IsWindow(handle)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    RECT area{};
    const RECT* where = rect;
    if (!where && region && GetRgnBox(region, &area) != ERROR) where = &area;
    if (flags & RDW_INVALIDATE) {
        std::lock_guard<std::mutex> guard(state().lock);
        const window_ptr w = find_locked(handle);
        if (w && visible_locked(*w)) {
            if (flags & RDW_NOCHILDREN) {
                const RECT client = client_size_locked(*w);
                RECT r = client;
                if (where && !IntersectRect(&r, where, &client)) SetRectEmpty(&r);
                UnionRect(&w->invalid, &w->invalid, &r);
                w->erase_pending = w->erase_pending || (flags & RDW_ERASE);
                if (flags & RDW_FRAME) w->frame_pending = true;
                wake(*w->queue);
            } else {
                invalidate_locked(*w, where, (flags & RDW_ERASE) != 0, (flags & RDW_FRAME) != 0);
            }
        }
    }
    if (flags & RDW_VALIDATE) ValidateRect(handle, where);
    if (flags & (RDW_UPDATENOW | RDW_ERASENOW)) update_now(handle);
    return TRUE;
}

HDC BeginPaint(HWND handle, LPPAINTSTRUCT paint) {
    if (!paint) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    *paint = PAINTSTRUCT{};
    bool frame = false;
    {
        std::lock_guard<std::mutex> guard(state().lock);
        const window_ptr w = find_locked(handle);
        if (!w) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return nullptr;
        }
        frame = w->frame_pending;
        w->frame_pending = false;
    }
    if (frame) SendMessageW(handle, WM_NCPAINT, 1, 0);
    RECT area{};
    bool erase = false;
    {
        std::lock_guard<std::mutex> guard(state().lock);
        const window_ptr w = find_locked(handle);
        if (!w) return nullptr;
        area = w->invalid;
        erase = w->erase_pending;
        SetRectEmpty(&w->invalid);
        w->erase_pending = false;
    }
    HDC dc = window_dc(handle, false, &area);
    paint->hdc = dc;
    paint->rcPaint = area;
    paint->fErase = FALSE;
    if (dc && erase)
        paint->fErase =
            SendMessageW(handle, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0) ? FALSE : TRUE;
    return dc;
}

BOOL EndPaint(HWND handle, const PAINTSTRUCT* paint) {
    if (paint && paint->hdc) win_gdi::release_dc(paint->hdc);
    window_changed(handle);
    return TRUE;
}

HDC GetDC(HWND handle) {
    if (!handle) return win_gdi::create_dc_over(screen_canvas());
    return window_dc(handle, false, nullptr);
}

HDC GetWindowDC(HWND handle) {
    if (!handle) return win_gdi::create_dc_over(screen_canvas());
    return window_dc(handle, true, nullptr);
}

int ReleaseDC(HWND handle, HDC dc) {
    if (!dc || !win_gdi::release_dc(dc)) return 0;
    if (handle) window_changed(handle);
    return 1;
}

int SetWindowRgn(HWND handle, HRGN region, BOOL redraw) {
    HRGN old = nullptr;
    {
        std::lock_guard<std::mutex> guard(state().lock);
        const window_ptr w = find_locked(handle);
        if (!w) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return 0;
        }
        old = w->region;
        w->region = region;
    }
    release_region(old);
    if (redraw) invalidate(handle, nullptr, true, true);
    window_changed(handle);
    return 1;
}

int GetWindowRgn(HWND handle, HRGN region) {
    std::lock_guard<std::mutex> guard(state().lock);
    const window_ptr w = find_locked(handle);
    if (!w || !w->region || !region) return ERROR;
    return CombineRgn(region, w->region, nullptr, RGN_COPY);
}

HBRUSH GetSysColorBrush(int index) {
    static std::array<HBRUSH, 32> brushes{};
    static std::mutex lock;
    if (index < 0 || index >= static_cast<int>(brushes.size())) return nullptr;
    std::lock_guard<std::mutex> guard(lock);
    HBRUSH& brush = brushes[static_cast<size_t>(index)];
    if (!brush) brush = CreateSolidBrush(GetSysColor(index));
    return brush;
}

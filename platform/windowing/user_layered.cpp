// Layered windows keep the pixels of their last update; every window can be
// turned into a picture, and with CALVIMORA_SNAPSHOT_DIR set the changed
// top-level windows of a thread are saved as PNG files whenever the thread
// runs out of messages.

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "kernel/wide_text.h"
#include "user_internal.h"
#include "user_state.h"
#include "user_surface.h"
#include "win/user_paint.h"
#include "win/user_window.h"

namespace win_user {

namespace {

// Applies what the blend and flags say about alpha to the copied pixels.
void apply_blend(win_gdi::canvas& pixels, COLORREF key, const BLENDFUNCTION* blend, DWORD flags) {
    const bool per_pixel = (flags & ULW_ALPHA) && blend && (blend->AlphaFormat & AC_SRC_ALPHA) &&
                           !(flags & ULW_OPAQUE);
    const unsigned constant = (flags & ULW_ALPHA) && blend ? blend->SourceConstantAlpha : 255;
    const win_gdi::pixel key_pixel =
        win_gdi::make_pixel(0, GetRValue(key), GetGValue(key), GetBValue(key));
    for (int y = 0; y < pixels.height(); ++y) {
        win_gdi::pixel* row = pixels.row(y);
        for (int x = 0; x < pixels.width(); ++x) {
            win_gdi::pixel p = row[x];
            if ((flags & ULW_COLORKEY) && (p & 0x00FFFFFFu) == key_pixel) {
                row[x] = 0;
                continue;
            }
            if (!per_pixel) p |= 0xFF000000u;
            if (constant != 255) {
                auto scale = [constant](unsigned channel) {
                    return (channel * constant + 127) / 255;
                };
                p = win_gdi::make_pixel(static_cast<uint8_t>(scale(win_gdi::alpha_of(p))),
                                        static_cast<uint8_t>(scale(win_gdi::red_of(p))),
                                        static_cast<uint8_t>(scale(win_gdi::green_of(p))),
                                        static_cast<uint8_t>(scale(win_gdi::blue_of(p))));
            }
            row[x] = p;
        }
    }
}

// What a captionless window shows first: the text of its first child that
// has one (under the lock).
std::wstring first_child_text_locked(const window& top) {
    for (HWND child : top.children) {
        const window_ptr c = find_locked(child);
        if (c && !c->text.empty()) return c->text;
    }
    return L"untitled";
}

// The picture's file name: "Calvimora-", the window's title made safe for a
// file name, and the process and window, so that windows of one title do
// not overwrite each other.
std::string snapshot_name(HWND handle, const std::wstring& title) {
    std::string name = win_detail::to_utf8(title);
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '_') c = '_';
    char suffix[64];
    std::snprintf(suffix, sizeof suffix, "-%d-%06lx.png", static_cast<int>(getpid()),
                  static_cast<unsigned long>(reinterpret_cast<uintptr_t>(handle)));
    return "Calvimora-" + name.substr(0, 60) + suffix;
}

}  // namespace

namespace {

// The window's rectangle inside its top-level window's picture.
bool place_in_top_level(HWND handle, HWND* top, RECT* within) {
    std::lock_guard<std::mutex> guard(state().lock);
    const window_ptr w = find_locked(handle);
    if (!w) return false;
    *top = top_level_of_locked(handle);
    const window_ptr t = find_locked(*top);
    if (!t) return false;
    const RECT top_screen = screen_rect_locked(*t);
    *within = screen_rect_locked(*w);
    OffsetRect(within, -top_screen.left, -top_screen.top);
    return true;
}

}  // namespace

std::shared_ptr<win_gdi::canvas> window_pixels(HWND handle) {
    HWND top = nullptr;
    RECT within{};
    if (!place_in_top_level(handle, &top, &within)) return nullptr;
    std::lock_guard<std::mutex> guard(state().lock);
    const window_ptr t = find_locked(top);
    if (!t || !t->surface) return nullptr;
    const auto& source = t->surface->layered ? t->surface->layered : t->surface->pixels;
    return source ? win_gdi::copy_rect(*source, within) : nullptr;
}

std::shared_ptr<win_gdi::canvas> window_picture(HWND handle) {
    HWND top = nullptr;
    RECT within{};
    if (!place_in_top_level(handle, &top, &within)) return nullptr;
    bool layered = false;
    {
        std::lock_guard<std::mutex> guard(state().lock);
        const window_ptr t = find_locked(top);
        layered = t && t->surface && t->surface->layered;
    }
    if (!layered) paint_everything(top);
    return window_pixels(handle);
}

void write_snapshots(const queue_ptr& queue) {
    const char* folder = std::getenv("CALVIMORA_SNAPSHOT_DIR");
    if (!folder || !*folder) return;
    struct picture {
        std::shared_ptr<win_gdi::canvas> pixels;
        std::string name;
    };
    std::vector<picture> pictures;
    {
        std::lock_guard<std::mutex> guard(state().lock);
        for (HWND h : state().top_level) {
            const window_ptr w = find_locked(h);
            if (!w || w->queue != queue || !w->surface || !w->surface->changed) continue;
            if (!(w->style & WS_VISIBLE)) continue;
            w->surface->changed = false;
            const auto& source = w->surface->layered ? w->surface->layered : w->surface->pixels;
            if (!source) continue;
            pictures.push_back(
                {win_gdi::copy_rect(*source, {0, 0, source->width(), source->height()}),
                 snapshot_name(h, w->text.empty() ? first_child_text_locked(*w) : w->text)});
        }
    }
    if (pictures.empty()) return;
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    for (const picture& p : pictures) {
        const std::string path = std::string(folder) + "/" + p.name;
        const std::string partial = path + ".partial";
        if (win_gdi::save_png(*p.pixels, partial)) std::filesystem::rename(partial, path, error);
    }
}

}  // namespace win_user

using namespace win_user;

BOOL UpdateLayeredWindow(HWND handle, HDC, POINT* position, SIZE* size, HDC source,
                         POINT* source_point, COLORREF key, BLENDFUNCTION* blend, DWORD flags) {
    RECT rect{};
    {
        std::lock_guard<std::mutex> guard(state().lock);
        const window_ptr w = find_locked(handle);
        if (!w) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
        if (!(w->ex_style & WS_EX_LAYERED) || w->parent ||
            (flags & ~(ULW_COLORKEY | ULW_ALPHA | ULW_OPAQUE)) ||
            (size && (size->cx <= 0 || size->cy <= 0))) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        rect = w->rect;
    }
    const LONG width = size ? size->cx : rect.right - rect.left;
    const LONG height = size ? size->cy : rect.bottom - rect.top;
    if (source) {
        const auto pixels = win_gdi::dc_canvas(source);
        const POINT from = source_point ? *source_point : POINT{0, 0};
        if (!pixels || from.x < 0 || from.y < 0 ||
            static_cast<long long>(from.x) + width > pixels->width() ||
            static_cast<long long>(from.y) + height > pixels->height()) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        auto copy = win_gdi::copy_rect(*pixels, {from.x, from.y, from.x + width, from.y + height});
        apply_blend(*copy, key, blend, flags);
        std::lock_guard<std::mutex> guard(state().lock);
        const window_ptr w = find_locked(handle);
        if (!w) return FALSE;
        if (!w->surface) w->surface = std::make_shared<window_surface>();
        w->surface->layered = std::move(copy);
        w->surface->changed = true;
    }
    const bool moved = position && (position->x != rect.left || position->y != rect.top);
    const bool sized = width != rect.right - rect.left || height != rect.bottom - rect.top;
    if (moved || sized) {
        SetWindowPos(handle, nullptr, position ? position->x : rect.left,
                     position ? position->y : rect.top, width, height,
                     SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW | (moved ? 0 : SWP_NOMOVE) |
                         (sized ? 0 : SWP_NOSIZE));
    }
    return TRUE;
}

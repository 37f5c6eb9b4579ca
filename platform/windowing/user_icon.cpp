// Icon handles: a module icon resource per handle with the pixels of its
// picture, an icon of its own pixels, or a shared standard icon.
#include "win/user_icon.h"

#include <memory>
#include <mutex>
#include <unordered_map>

#include "drawing/gdi_canvas.h"
#include "drawing/image_codecs.h"
#include "win/user_image.h"
#include "win/user_input.h"

namespace {

constexpr int first_standard = 32512;
constexpr int last_standard = 32518;

struct icon_record {
    HMODULE module = nullptr;
    int id = 0;                                     // 0 for a named resource
    std::shared_ptr<const win_gdi::canvas> pixels;  // an icon made from bitmaps
};

struct icon_table {
    std::mutex lock;
    std::unordered_map<HICON, icon_record> live;
};

icon_table& icons() {
    static auto* t = new icon_table;  // used until the process ends
    return *t;
}

// The shared standard icons are the addresses of these.
char standard_icons[last_standard - first_standard + 1];

int standard_id(HICON icon) {
    const auto* at = reinterpret_cast<const char*>(icon);
    if (at < standard_icons || at >= standard_icons + sizeof standard_icons) return 0;
    return first_standard + static_cast<int>(at - standard_icons);
}

}  // namespace

HICON LoadIconW(HINSTANCE instance, LPCWSTR name) {
    if (!instance && IS_INTRESOURCE(name)) {
        const int id = static_cast<int>(reinterpret_cast<ULONG_PTR>(name));
        if (id >= first_standard && id <= last_standard)
            return reinterpret_cast<HICON>(&standard_icons[id - first_standard]);
    }
    const HRSRC found = FindResourceW(instance, name, RT_GROUP_ICON);
    if (!found) return nullptr;
    const auto* bytes = static_cast<const uint8_t*>(LockResource(LoadResource(instance, found)));
    win_gdi::decoded_image picture =
        win_gdi::decode_picture(bytes, bytes ? SizeofResource(instance, found) : 0);
    if (picture.status != win_gdi::decode_status::ok) {
        SetLastError(ERROR_INVALID_DATA);
        return nullptr;
    }
    auto* icon = reinterpret_cast<HICON>(new char);
    icon_record record{instance, 0, std::move(picture.pixels)};
    if (IS_INTRESOURCE(name)) record.id = static_cast<int>(reinterpret_cast<ULONG_PTR>(name));
    std::lock_guard<std::mutex> guard(icons().lock);
    icons().live[icon] = record;
    return icon;
}

BOOL DestroyIcon(HICON icon) {
    if (standard_id(icon)) return TRUE;
    {
        std::lock_guard<std::mutex> guard(icons().lock);
        if (icons().live.erase(icon) == 0) {
            SetLastError(ERROR_INVALID_ICON_HANDLE);
            return FALSE;
        }
    }
    delete reinterpret_cast<char*>(icon);
    return TRUE;
}

HICON CreateIconIndirect(PICONINFO info) {
    const auto colour = info && info->hbmMask ? win_gdi::bitmap_canvas(info->hbmColor) : nullptr;
    if (!colour || !win_gdi::bitmap_canvas(info->hbmMask)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const RECT all{0, 0, colour->width(), colour->height()};
    icon_record record;
    record.pixels = win_gdi::copy_rect(*colour, all);
    auto* icon = reinterpret_cast<HICON>(new char);
    std::lock_guard<std::mutex> guard(icons().lock);
    icons().live[icon] = record;
    return icon;
}

BOOL DrawIconEx(HDC dc, int x, int y, HICON icon, int width, int height, UINT, HBRUSH brush,
                UINT flags) {
    std::shared_ptr<const win_gdi::canvas> pixels;
    {
        std::lock_guard<std::mutex> guard(icons().lock);
        const auto found = icons().live.find(icon);
        if (found == icons().live.end() && !standard_id(icon)) {
            SetLastError(ERROR_INVALID_ICON_HANDLE);
            return FALSE;
        }
        if (found != icons().live.end()) pixels = found->second.pixels;
    }
    if (!pixels) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return FALSE;
    }
    if (width == 0) width = flags & DI_DEFAULTSIZE ? GetSystemMetrics(SM_CXICON) : pixels->width();
    if (height == 0)
        height = flags & DI_DEFAULTSIZE ? GetSystemMetrics(SM_CYICON) : pixels->height();
    if (brush) {
        const RECT area{x, y, x + width, y + height};
        FillRect(dc, &area, brush);
    }
    if (!(flags & DI_IMAGE)) return TRUE;
    HBITMAP bitmap = win_gdi::create_bitmap(*pixels);
    HDC source = CreateCompatibleDC(dc);
    HGDIOBJ previous = SelectObject(source, bitmap);
    const BOOL drawn =
        AlphaBlend(dc, x, y, width, height, source, 0, 0, pixels->width(), pixels->height(),
                   BLENDFUNCTION{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA});
    SelectObject(source, previous);
    DeleteDC(source);
    DeleteObject(bitmap);
    return drawn;
}

namespace win_icons {

SIZE icon_size(HICON icon) {
    std::lock_guard<std::mutex> guard(icons().lock);
    const auto found = icons().live.find(icon);
    if (found == icons().live.end() || !found->second.pixels) return SIZE{0, 0};
    return SIZE{found->second.pixels->width(), found->second.pixels->height()};
}

int resource_id(HICON icon) {
    if (const int id = standard_id(icon)) return id;
    std::lock_guard<std::mutex> guard(icons().lock);
    const auto found = icons().live.find(icon);
    return found == icons().live.end() ? 0 : found->second.id;
}

int live_icons() {
    std::lock_guard<std::mutex> guard(icons().lock);
    return static_cast<int>(icons().live.size());
}

}  // namespace win_icons

// The icons of file types: where a type's icon is (the registry's classes
// name it under "DefaultIcon", the shell library holds the folder and
// document icons), and the shell library's own icons drawn at the two
// system sizes.
#include <algorithm>
#include <cwchar>
#include <cwctype>
#include <memory>
#include <string>

#include "drawing/gdi_canvas.h"
#include "system_objects.h"
#include "win/file.h"
#include "win/shell_info.h"
#include "win/user_icon.h"

namespace {

constexpr wchar_t shell_library[] = L"shell32.dll";
constexpr int large_side = 32;
constexpr int small_side = 16;

using win_gdi::canvas;
using win_gdi::make_pixel;

// Fills the rectangle given in 32-pixel units, scaled to the canvas.
void fill(canvas& c, int left, int top, int right, int bottom, win_gdi::pixel colour) {
    const int side = c.width();
    for (int y = top * side / large_side; y < bottom * side / large_side; ++y)
        for (int x = left * side / large_side; x < right * side / large_side; ++x)
            c.set(x, y, colour);
}

// A rectangle with a one-pixel border, in 32-pixel units.
void framed(canvas& c, int left, int top, int right, int bottom, win_gdi::pixel inside,
            win_gdi::pixel border) {
    fill(c, left, top, right, bottom, border);
    const int one = large_side / c.width();  // one pixel of the canvas in 32-pixel units
    fill(c, left + one, top + one, right - one, bottom - one, inside);
}

// A page with its top-right corner folded down.
void draw_document(canvas& c) {
    const win_gdi::pixel edge = make_pixel(255, 0x70, 0x70, 0x70);
    framed(c, 6, 2, 26, 30, make_pixel(255, 0xFF, 0xFF, 0xFF), edge);
    const int side = c.width();
    const int fold = side / 4;
    const int right = 26 * side / large_side;
    const int top = 2 * side / large_side;
    for (int y = 0; y < fold; ++y)
        for (int x = right - fold + y; x < right; ++x) c.set(x, top + y, 0);
    for (int y = 0; y < fold; ++y) c.set(right - fold + y, top + y, edge);
    for (int x = right - fold; x < right; ++x) c.set(x, top + fold - 1, edge);
}

void draw_folder(canvas& c, bool open) {
    const win_gdi::pixel edge = make_pixel(255, 0xA0, 0x78, 0x20);
    framed(c, 2, 6, 14, 12, make_pixel(255, 0xE0, 0xB0, 0x40), edge);
    framed(c, 2, 9, 30, 28, make_pixel(255, 0xE8, 0xBC, 0x48), edge);
    if (open) framed(c, 6, 14, 30, 28, make_pixel(255, 0xF8, 0xD8, 0x78), edge);
}

bool shell_icon_exists(int index) {
    return index == SHELL_ICON_DOCUMENT || index == SHELL_ICON_FOLDER ||
           index == SHELL_ICON_OPEN_FOLDER;
}

HICON make_shell_icon(int index, int side) {
    canvas pixels(side, side);
    if (index == SHELL_ICON_DOCUMENT)
        draw_document(pixels);
    else
        draw_folder(pixels, index == SHELL_ICON_OPEN_FOLDER);
    HBITMAP colour = win_gdi::create_bitmap(pixels);
    HBITMAP mask = CreateCompatibleBitmap(nullptr, side, side);
    ICONINFO info{TRUE, 0, 0, mask, colour};
    HICON icon = CreateIconIndirect(&info);
    DeleteObject(mask);
    DeleteObject(colour);
    return icon;
}

struct icon_location {
    std::wstring file;
    int index = 0;
};

icon_location location_of(const std::wstring& path, DWORD attributes, bool open) {
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return {shell_library, open ? SHELL_ICON_OPEN_FOLDER : SHELL_ICON_FOLDER};
    const size_t slash = path.find_last_of(L"\\/");
    const std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
    const size_t dot = name.rfind(L'.');
    const std::wstring extension = dot == std::wstring::npos ? L"" : name.substr(dot);
    const std::wstring type = win_shell::class_default(extension);
    const std::wstring named =
        type.empty() ? L"" : win_shell::class_default(type + L"\\DefaultIcon");
    if (named.empty() || named.find(L"%1") != std::wstring::npos)
        return {shell_library, SHELL_ICON_DOCUMENT};
    const size_t comma = named.rfind(L',');
    if (comma == std::wstring::npos) return {named, 0};
    return {named.substr(0, comma),
            static_cast<int>(std::wcstol(named.c_str() + comma + 1, nullptr, 10))};
}

}  // namespace

UINT ExtractIconExW(LPCWSTR file, int index, HICON* large, HICON* small, UINT count) {
    if (!file || !win_shell::names_shell_library(file)) return 0;
    if (index == -1 && !large && !small) return 3;
    if (count != 1 || !shell_icon_exists(index)) return 0;
    if (large) *large = make_shell_icon(index, large_side);
    if (small) *small = make_shell_icon(index, small_side);
    return 1;
}

namespace win_shell {

bool file_icon_info(const std::wstring& path, DWORD attributes, SHFILEINFOW& info, UINT flags) {
    const icon_location where = location_of(path, attributes, flags & SHGFI_OPENICON);
    if (flags & SHGFI_ICONLOCATION) {
        const size_t length = std::min<size_t>(where.file.size(), MAX_PATH - 1);
        where.file.copy(info.szDisplayName, length);
        info.szDisplayName[length] = L'\0';
        info.iIcon = where.index;
    }
    if (flags & SHGFI_ICON) {
        HICON icon = nullptr;
        HICON* large = flags & SHGFI_SMALLICON ? nullptr : &icon;
        HICON* small = flags & SHGFI_SMALLICON ? &icon : nullptr;
        info.iIcon = where.index;
        if (ExtractIconExW(where.file.c_str(), where.index, large, small, 1) != 1) {
            ExtractIconExW(shell_library, SHELL_ICON_DOCUMENT, large, small, 1);
            info.iIcon = SHELL_ICON_DOCUMENT;
        }
        info.hIcon = icon;
        if (!icon) return false;
    }
    return true;
}

}  // namespace win_shell

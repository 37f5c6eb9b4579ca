// Menu templates as resource bytes, a small format of our own read back
// with every length checked:
//
//   "CVMT" u16 version(1) items
//   items: u16 count, per item: u32 flags, u32 id, text, and when flags
//          hold MF_POPUP the pop-up's items
//   text: u32 byte count, then UTF-8 bytes; all numbers little-endian.

#include <cstring>

#include "kernel/resource_bytes.h"
#include "user_resources.h"
#include "win/user_menu.h"

namespace win_menus {

namespace {

constexpr char magic[4] = {'C', 'V', 'M', 'T'};
constexpr uint16_t version = 1;
constexpr int deepest = 16;
constexpr size_t most_items = 4096;

void write_items(win_user::resource_writer& w, const std::vector<item_template>& items) {
    w.u16(static_cast<uint16_t>(items.size()));
    for (const item_template& i : items) {
        w.u32(i.flags);
        w.u32(i.id);
        w.text(i.text);
        if (i.flags & MF_POPUP) write_items(w, i.items);
    }
}

bool read_items(win_user::resource_reader& r, int depth, size_t* total,
                std::vector<item_template>* out) {
    uint16_t count = 0;
    if (depth > deepest || !r.u16(&count)) return false;
    for (uint16_t n = 0; n < count; ++n) {
        item_template i;
        if (++*total > most_items || !r.u32(&i.flags) || !r.u32(&i.id) || !r.text(&i.text))
            return false;
        if ((i.flags & MF_POPUP) && !read_items(r, depth + 1, total, &i.items)) return false;
        out->push_back(std::move(i));
    }
    return true;
}

// Builds the items into the menu; false when a pop-up cannot be made.
bool build(HMENU menu, const std::vector<item_template>& items) {
    for (const item_template& i : items) {
        if (i.flags & MF_POPUP) {
            HMENU popup = CreatePopupMenu();
            if (!build(popup, i.items) ||
                !AppendMenuW(menu, i.flags, reinterpret_cast<UINT_PTR>(popup), i.text.c_str())) {
                DestroyMenu(popup);
                return false;
            }
        } else if (!AppendMenuW(menu, i.flags, i.id, i.text.c_str())) {
            return false;
        }
    }
    return true;
}

}  // namespace

item_template item(UINT id, std::wstring text, UINT flags) {
    return {std::move(text), id, flags & (MF_GRAYED | MF_DISABLED | MF_CHECKED | MF_DEFAULT), {}};
}

item_template separator() {
    return {L"", 0, MF_SEPARATOR, {}};
}

item_template popup(std::wstring text, std::vector<item_template> items, UINT flags) {
    return {std::move(text), 0, (flags & (MF_GRAYED | MF_DISABLED)) | MF_POPUP, std::move(items)};
}

void register_menu(HMODULE module, WORD id, const std::vector<item_template>& bar) {
    win_user::resource_writer w;
    w.bytes(magic, sizeof magic);
    w.u16(version);
    write_items(w, bar);
    win_user::register_kept_resource(module, RT_MENU, MAKEINTRESOURCEW(id), w.take());
}

bool parse_menu(const void* bytes, size_t size, std::vector<item_template>* out) {
    win_user::resource_reader r(bytes, size);
    char head[4];
    uint16_t v = 0;
    if (!r.bytes(head, 4) || std::memcmp(head, magic, 4) != 0 || !r.u16(&v) || v != version)
        return false;
    std::vector<item_template> items;
    size_t total = 0;
    if (!read_items(r, 0, &total, &items) || !r.at_end()) return false;
    *out = std::move(items);
    return true;
}

}  // namespace win_menus

HMENU LoadMenuW(HINSTANCE instance, LPCWSTR name) {
    HRSRC found = FindResourceW(instance, name, RT_MENU);
    if (!found) return nullptr;
    std::vector<win_menus::item_template> bar;
    if (!win_menus::parse_menu(LockResource(LoadResource(instance, found)),
                               SizeofResource(instance, found), &bar)) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return nullptr;
    }
    HMENU menu = CreateMenu();
    if (!win_menus::build(menu, bar)) {
        DestroyMenu(menu);
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return nullptr;
    }
    return menu;
}

// Menus and their items: creation, destruction, changes and questions.
#include <algorithm>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "user_menu_state.h"

namespace win_user {

namespace {

constexpr UINT state_bits = MF_GRAYED | MF_DISABLED | MF_CHECKED | MF_HILITE | MF_DEFAULT;
constexpr UINT type_bits =
    MFT_BITMAP | MFT_MENUBARBREAK | MFT_MENUBREAK | MFT_OWNERDRAW | MFT_RADIOCHECK | MFT_SEPARATOR;
constexpr int deepest_menu = 16;

struct menu_object {
    bool popup = false;
    std::vector<menu_item> items;
};

struct menu_table {
    std::mutex lock;
    std::unordered_map<HMENU, std::shared_ptr<menu_object>> menus;
    uintptr_t next_handle = 0x30000;
};

menu_table& table() {
    static auto* t = new menu_table;  // used until the process ends
    return *t;
}

menu_object* find_locked(HMENU menu) {
    const auto found = table().menus.find(menu);
    return found == table().menus.end() ? nullptr : found->second.get();
}

HMENU create(bool popup) {
    std::lock_guard<std::mutex> guard(table().lock);
    auto* handle = reinterpret_cast<HMENU>(table().next_handle);
    table().next_handle += 4;
    auto menu = std::make_shared<menu_object>();
    menu->popup = popup;
    table().menus[handle] = menu;
    return handle;
}

// The item by position, or by command through the sub-menus too.
menu_item* find_item_locked(HMENU menu, UINT item, bool by_position, int depth = 0) {
    menu_object* m = find_locked(menu);
    if (!m || depth > deepest_menu) return nullptr;
    if (by_position) return item < m->items.size() ? &m->items[item] : nullptr;
    for (menu_item& i : m->items) {
        if (!i.submenu && i.id == item) return &i;
        if (i.submenu)
            if (menu_item* found = find_item_locked(i.submenu, item, false, depth + 1))
                return found;
    }
    return nullptr;
}

void destroy_locked(HMENU menu, int depth) {
    const auto found = table().menus.find(menu);
    if (found == table().menus.end() || depth > deepest_menu) return;
    const std::shared_ptr<menu_object> m = found->second;
    table().menus.erase(found);
    for (const menu_item& i : m->items)
        if (i.submenu) destroy_locked(i.submenu, depth + 1);
}

bool insert_locked(HMENU menu, UINT item, bool by_position, menu_item added) {
    menu_object* m = find_locked(menu);
    if (!m) {
        SetLastError(ERROR_INVALID_MENU_HANDLE);
        return false;
    }
    if (added.submenu && !find_locked(added.submenu)) {
        SetLastError(ERROR_INVALID_MENU_HANDLE);
        return false;
    }
    size_t at = m->items.size();
    if (by_position) {
        at = std::min<size_t>(item, m->items.size());
    } else if (item != static_cast<UINT>(-1)) {
        const auto found =
            std::find_if(m->items.begin(), m->items.end(),
                         [item](const menu_item& i) { return !i.submenu && i.id == item; });
        if (found == m->items.end()) {
            SetLastError(ERROR_MENU_ITEM_NOT_FOUND);
            return false;
        }
        at = static_cast<size_t>(found - m->items.begin());
    }
    m->items.insert(m->items.begin() + static_cast<std::ptrdiff_t>(at), std::move(added));
    return true;
}

// Removes the item by position, or by command through the sub-menus too,
// and destroys its sub-menu.
bool erase_locked(HMENU menu, UINT item, bool by_position, int depth) {
    menu_object* m = find_locked(menu);
    if (!m || depth > deepest_menu) return false;
    for (size_t at = 0; at < m->items.size(); ++at) {
        const menu_item& i = m->items[at];
        if (by_position ? at == item : (!i.submenu && i.id == item)) {
            const HMENU submenu = i.submenu;
            m->items.erase(m->items.begin() + static_cast<std::ptrdiff_t>(at));
            if (submenu) destroy_locked(submenu, depth + 1);
            return true;
        }
        if (!by_position && i.submenu && erase_locked(i.submenu, item, false, depth + 1))
            return true;
    }
    return false;
}

bool chooseable_locked(HMENU menu, UINT id, int depth) {
    menu_object* m = find_locked(menu);
    if (!m || depth > deepest_menu) return false;
    for (const menu_item& i : m->items) {
        if (i.state & (MF_GRAYED | MF_DISABLED)) continue;
        if (i.submenu) {
            if (chooseable_locked(i.submenu, id, depth + 1)) return true;
        } else if (!(i.type & MFT_SEPARATOR) && i.id == id) {
            return true;
        }
    }
    return false;
}

}  // namespace

std::optional<std::vector<menu_item>> items_of(HMENU menu) {
    std::lock_guard<std::mutex> guard(table().lock);
    const menu_object* m = find_locked(menu);
    if (!m) return std::nullopt;
    return m->items;
}

bool can_choose(HMENU menu, UINT id) {
    std::lock_guard<std::mutex> guard(table().lock);
    return id != 0 && chooseable_locked(menu, id, 0);
}

}  // namespace win_user

using namespace win_user;

HMENU CreateMenu() {
    return create(false);
}

HMENU CreatePopupMenu() {
    return create(true);
}

BOOL DestroyMenu(HMENU menu) {
    std::lock_guard<std::mutex> guard(table().lock);
    if (!find_locked(menu)) {
        SetLastError(ERROR_INVALID_MENU_HANDLE);
        return FALSE;
    }
    destroy_locked(menu, 0);
    return TRUE;
}

BOOL IsMenu(HMENU menu) {
    std::lock_guard<std::mutex> guard(table().lock);
    return find_locked(menu) != nullptr;
}

BOOL AppendMenuW(HMENU menu, UINT flags, UINT_PTR id, LPCWSTR item) {
    menu_item added;
    added.state = flags & (MF_GRAYED | MF_DISABLED | MF_CHECKED | MF_HILITE | MF_DEFAULT);
    added.type = flags & (MFT_MENUBARBREAK | MFT_MENUBREAK);
    if (flags & MF_POPUP)
        added.submenu = reinterpret_cast<HMENU>(id);
    else
        added.id = static_cast<UINT>(id);
    if (flags & MF_SEPARATOR) {
        added.type |= MFT_SEPARATOR;
    } else if (flags & MF_BITMAP) {
        added.type |= MFT_BITMAP;
        added.bitmap = reinterpret_cast<HBITMAP>(const_cast<LPWSTR>(item));
    } else if (flags & MF_OWNERDRAW) {
        added.type |= MFT_OWNERDRAW;
        added.data = reinterpret_cast<ULONG_PTR>(item);
    } else {
        added.text = item ? item : L"";
    }
    std::lock_guard<std::mutex> guard(table().lock);
    return insert_locked(menu, static_cast<UINT>(-1), true, std::move(added)) ? TRUE : FALSE;
}

BOOL InsertMenuItemW(HMENU menu, UINT item, BOOL by_position, LPCMENUITEMINFOW info) {
    if (!info || info->cbSize != sizeof(MENUITEMINFOW)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    menu_item added;
    if (info->fMask & (MIIM_FTYPE | MIIM_TYPE)) added.type = info->fType & type_bits;
    if (info->fMask & MIIM_STATE) added.state = info->fState & state_bits;
    if (info->fMask & MIIM_ID) added.id = info->wID;
    if (info->fMask & MIIM_SUBMENU) added.submenu = info->hSubMenu;
    if (info->fMask & MIIM_DATA) added.data = info->dwItemData;
    if (info->fMask & MIIM_CHECKMARKS) {
        added.checked_bitmap = info->hbmpChecked;
        added.unchecked_bitmap = info->hbmpUnchecked;
    }
    if (info->fMask & MIIM_BITMAP) added.bitmap = info->hbmpItem;
    const bool legacy_text =
        (info->fMask & MIIM_TYPE) && !(info->fType & (MFT_BITMAP | MFT_SEPARATOR | MFT_OWNERDRAW));
    if ((info->fMask & MIIM_STRING) || legacy_text)
        added.text = info->dwTypeData ? info->dwTypeData : L"";
    if ((info->fMask & MIIM_TYPE) && (info->fType & MFT_BITMAP))
        added.bitmap = reinterpret_cast<HBITMAP>(info->dwTypeData);
    std::lock_guard<std::mutex> guard(table().lock);
    return insert_locked(menu, item, by_position != FALSE, std::move(added)) ? TRUE : FALSE;
}

BOOL DeleteMenu(HMENU menu, UINT item, UINT flags) {
    std::lock_guard<std::mutex> guard(table().lock);
    if (!find_locked(menu)) {
        SetLastError(ERROR_INVALID_MENU_HANDLE);
        return FALSE;
    }
    if (!erase_locked(menu, item, (flags & MF_BYPOSITION) != 0, 0)) {
        SetLastError(ERROR_MENU_ITEM_NOT_FOUND);
        return FALSE;
    }
    return TRUE;
}

BOOL SetMenuItemBitmaps(HMENU menu, UINT item, UINT flags, HBITMAP unchecked, HBITMAP checked) {
    std::lock_guard<std::mutex> guard(table().lock);
    menu_item* i = find_item_locked(menu, item, (flags & MF_BYPOSITION) != 0);
    if (!i) {
        SetLastError(find_locked(menu) ? ERROR_MENU_ITEM_NOT_FOUND : ERROR_INVALID_MENU_HANDLE);
        return FALSE;
    }
    i->unchecked_bitmap = unchecked;
    i->checked_bitmap = checked;
    return TRUE;
}

BOOL GetMenuItemInfoW(HMENU menu, UINT item, BOOL by_position, LPMENUITEMINFOW info) {
    if (!info || info->cbSize != sizeof(MENUITEMINFOW)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::lock_guard<std::mutex> guard(table().lock);
    const menu_item* i = find_item_locked(menu, item, by_position != FALSE);
    if (!i) {
        SetLastError(find_locked(menu) ? ERROR_MENU_ITEM_NOT_FOUND : ERROR_INVALID_MENU_HANDLE);
        return FALSE;
    }
    if (info->fMask & (MIIM_FTYPE | MIIM_TYPE)) info->fType = i->type;
    if (info->fMask & MIIM_STATE) info->fState = i->state;
    if (info->fMask & MIIM_ID) info->wID = i->id;
    if (info->fMask & MIIM_SUBMENU) info->hSubMenu = i->submenu;
    if (info->fMask & MIIM_DATA) info->dwItemData = i->data;
    if (info->fMask & MIIM_CHECKMARKS) {
        info->hbmpChecked = i->checked_bitmap;
        info->hbmpUnchecked = i->unchecked_bitmap;
    }
    if (info->fMask & MIIM_BITMAP) info->hbmpItem = i->bitmap;
    if (info->fMask & (MIIM_STRING | MIIM_TYPE)) {
        if (info->dwTypeData && info->cch > 0) {
            const size_t count = std::min<size_t>(i->text.size(), info->cch - 1);
            std::copy_n(i->text.begin(), count, info->dwTypeData);
            info->dwTypeData[count] = 0;
        }
        info->cch = static_cast<UINT>(i->text.size());
    }
    return TRUE;
}

int GetMenuItemCount(HMENU menu) {
    std::lock_guard<std::mutex> guard(table().lock);
    const menu_object* m = find_locked(menu);
    if (!m) {
        SetLastError(ERROR_INVALID_MENU_HANDLE);
        return -1;
    }
    return static_cast<int>(m->items.size());
}

UINT GetMenuItemID(HMENU menu, int position) {
    std::lock_guard<std::mutex> guard(table().lock);
    const menu_item* i =
        position < 0 ? nullptr : find_item_locked(menu, static_cast<UINT>(position), true);
    return i && !i->submenu ? i->id : static_cast<UINT>(-1);
}

HMENU GetSubMenu(HMENU menu, int position) {
    std::lock_guard<std::mutex> guard(table().lock);
    const menu_item* i =
        position < 0 ? nullptr : find_item_locked(menu, static_cast<UINT>(position), true);
    return i ? i->submenu : nullptr;
}

UINT GetMenuState(HMENU menu, UINT item, UINT flags) {
    std::lock_guard<std::mutex> guard(table().lock);
    const menu_item* i = find_item_locked(menu, item, (flags & MF_BYPOSITION) != 0);
    if (!i) return static_cast<UINT>(-1);
    const UINT own = i->state | i->type;
    if (!i->submenu) return own;
    const menu_object* sub = find_locked(i->submenu);
    const UINT count = sub ? static_cast<UINT>(std::min<size_t>(sub->items.size(), 0xFF)) : 0;
    return (count << 8) | ((own | MF_POPUP) & 0xFF);
}

BOOL EnableMenuItem(HMENU menu, UINT item, UINT flags) {
    std::lock_guard<std::mutex> guard(table().lock);
    menu_item* i = find_item_locked(menu, item, (flags & MF_BYPOSITION) != 0);
    if (!i) return -1;
    const UINT previous = i->state & (MF_GRAYED | MF_DISABLED);
    i->state = (i->state & ~(MF_GRAYED | MF_DISABLED)) | (flags & (MF_GRAYED | MF_DISABLED));
    return static_cast<BOOL>(previous);
}

DWORD CheckMenuItem(HMENU menu, UINT item, UINT flags) {
    std::lock_guard<std::mutex> guard(table().lock);
    menu_item* i = find_item_locked(menu, item, (flags & MF_BYPOSITION) != 0);
    if (!i) return static_cast<DWORD>(-1);
    const DWORD previous = i->state & MF_CHECKED;
    i->state = (i->state & ~MF_CHECKED) | (flags & MF_CHECKED);
    return previous;
}

// What the menu files share: the menus of the process and their items.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "win/user_menu.h"

namespace win_user {

struct menu_item {
    UINT type = MFT_STRING;  // MFT_* bits
    UINT state = 0;          // MF_GRAYED, MF_DISABLED, MF_CHECKED, MF_HILITE, MF_DEFAULT
    UINT id = 0;
    HMENU submenu = nullptr;
    std::wstring text;
    HBITMAP bitmap = nullptr;
    HBITMAP checked_bitmap = nullptr;
    HBITMAP unchecked_bitmap = nullptr;
    ULONG_PTR data = 0;
};

// A copy of the menu's items; nullopt for a handle that is no menu.
std::optional<std::vector<menu_item>> items_of(HMENU menu);

// Whether a person could choose the id in the menu: an enabled item
// without a sub-menu, in the menu or an enabled sub-menu of it.
bool can_choose(HMENU menu, UINT id);

}  // namespace win_user

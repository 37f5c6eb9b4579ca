// What the property sheet of remote items shares with each of its pages:
// the folder whose items are shown, the selection and the sheet's look.
// The sheet owns one; a page copies what it keeps when it is constructed
// (the item ids with CPidlArray::Assign), so a page never points into it.
#pragma once

#include "folder/item_ids/item_id_list.h"
#include "folder/item_ids/pidl_array.h"
#include "vfs/directory.h"
#include "win/gdi.h"
#include "win/user_icon.h"
#include "win/user_window.h"

struct sheet_selection {
    vfs::directory_ptr folder_directory;  // the folder whose items are shown
    CItemIdList folder_ids;               // that folder's id list
    CPidlArray items;                     // the selected items' ids
    int folder_count = 0;                 // selected items of the kind "directory"
    int file_count = 0;                   // selected items of the kind "file"
    HBRUSH theme_brush = nullptr;         // the tab control's background, or null
    HICON large_icon = nullptr;
    HICON small_icon = nullptr;
    HWND sheet = nullptr;  // the sheet window; set before the pages are made
};

// The id of the sheet's Apply button, which a page enables when the user
// changes something.
constexpr int sheet_apply_button_id = 352;

// A page's request to enable the sheet's Apply button.
inline void enable_sheet_apply(HWND sheet) {
    if (sheet) EnableWindow(GetDlgItem(sheet, sheet_apply_button_id), TRUE);
}

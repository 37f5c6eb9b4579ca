// Menus: menu bars and pop-up menus with their items (text or bitmap,
// separators, sub-menus), built at run time or loaded from menu templates
// defined in code (win_menus), and shown with TrackPopupMenu.
//
// A tracked menu shows nothing: it runs a modal loop on the calling thread
// that delivers the thread's messages, and once the thread has nothing else
// to do a responder chooses: a test's script (win_test.h), the answers file
// (win_test::answers_file_variable), the terminal when a person runs the
// program, else nobody (no choice, at once). Only an enabled command item
// can be chosen. Every tracked menu is journalled with its items and the
// choice.
#pragma once

#include <string>
#include <vector>

#include "win/gdi.h"
#include "win/user_messages.h"
#include "win/user_types.h"

#define MF_INSERT 0x00000000u
#define MF_BYCOMMAND 0x00000000u
#define MF_BYPOSITION 0x00000400u
#define MF_ENABLED 0x00000000u
#define MF_GRAYED 0x00000001u
#define MF_DISABLED 0x00000002u
#define MF_UNCHECKED 0x00000000u
#define MF_CHECKED 0x00000008u
#define MF_STRING 0x00000000u
#define MF_BITMAP 0x00000004u
#define MF_POPUP 0x00000010u
#define MF_MENUBARBREAK 0x00000020u
#define MF_MENUBREAK 0x00000040u
#define MF_UNHILITE 0x00000000u
#define MF_HILITE 0x00000080u
#define MF_OWNERDRAW 0x00000100u
#define MF_SEPARATOR 0x00000800u
#define MF_DEFAULT 0x00001000u

#define MFT_STRING MF_STRING
#define MFT_BITMAP MF_BITMAP
#define MFT_MENUBARBREAK MF_MENUBARBREAK
#define MFT_MENUBREAK MF_MENUBREAK
#define MFT_OWNERDRAW MF_OWNERDRAW
#define MFT_RADIOCHECK 0x00000200u
#define MFT_SEPARATOR MF_SEPARATOR
#define MFS_ENABLED 0x00000000u
#define MFS_GRAYED 0x00000003u
#define MFS_DISABLED MFS_GRAYED
#define MFS_UNCHECKED 0x00000000u
#define MFS_CHECKED MF_CHECKED
#define MFS_HILITE MF_HILITE
#define MFS_DEFAULT MF_DEFAULT

#define MIIM_STATE 0x00000001u
#define MIIM_ID 0x00000002u
#define MIIM_SUBMENU 0x00000004u
#define MIIM_CHECKMARKS 0x00000008u
#define MIIM_TYPE 0x00000010u
#define MIIM_DATA 0x00000020u
#define MIIM_STRING 0x00000040u
#define MIIM_BITMAP 0x00000080u
#define MIIM_FTYPE 0x00000100u

typedef struct tagMENUITEMINFOW {
    UINT cbSize;
    UINT fMask;
    UINT fType;
    UINT fState;
    UINT wID;
    HMENU hSubMenu;
    HBITMAP hbmpChecked;
    HBITMAP hbmpUnchecked;
    ULONG_PTR dwItemData;
    LPWSTR dwTypeData;
    UINT cch;
    HBITMAP hbmpItem;
} MENUITEMINFOW, *LPMENUITEMINFOW;
typedef const MENUITEMINFOW* LPCMENUITEMINFOW;

#define ERROR_INVALID_MENU_HANDLE 1401L
#define ERROR_MENU_ITEM_NOT_FOUND 1456L

// Menus live until DestroyMenu, which destroys their sub-menus with them.
HMENU CreateMenu();
HMENU CreatePopupMenu();
BOOL DestroyMenu(HMENU menu);
BOOL IsMenu(HMENU menu);

// Items. By command (MF_BYCOMMAND) an item is found by its id in the menu
// and its sub-menus, the first in order; by position in the menu itself.
// AppendMenuW: MF_POPUP makes id the sub-menu; MF_BITMAP makes item the
// bitmap, MF_OWNERDRAW its data, MF_SEPARATOR a separator, otherwise item
// is the text. InsertMenuItemW inserts before the item named (at the end
// for a position past the last); the record's size must be its own.
BOOL AppendMenuW(HMENU menu, UINT flags, UINT_PTR id, LPCWSTR item);
BOOL InsertMenuItemW(HMENU menu, UINT item, BOOL by_position, LPCMENUITEMINFOW info);
// Removes the item (flags: MF_BYCOMMAND or MF_BYPOSITION) and destroys its
// sub-menu, if it has one.
BOOL DeleteMenu(HMENU menu, UINT item, UINT flags);
// Fills what fMask asks for; with MIIM_STRING the text is copied into
// dwTypeData (at most cch - 1 characters and a zero) and cch becomes the
// text's length (the length alone when dwTypeData is null).
BOOL GetMenuItemInfoW(HMENU menu, UINT item, BOOL by_position, LPMENUITEMINFOW info);

// The pictures shown beside the item (flags: MF_BYCOMMAND or
// MF_BYPOSITION) in its unchecked and checked state; null for none (the
// usual check mark). The caller keeps the bitmaps and deletes them once the
// menu is gone.
BOOL SetMenuItemBitmaps(HMENU menu, UINT item, UINT flags, HBITMAP unchecked, HBITMAP checked);

int GetMenuItemCount(HMENU menu);  // -1 for a handle that is no menu
// The id of the item at the position; -1 (as UINT) for a sub-menu's item
// or a position where there is none.
UINT GetMenuItemID(HMENU menu, int position);
HMENU GetSubMenu(HMENU menu, int position);
// The item's MF_* flags (state and type); for an item with a sub-menu the
// low byte holds its flags with MF_POPUP and the next byte the sub-menu's
// item count. -1 (as UINT) when there is no such item.
UINT GetMenuState(HMENU menu, UINT item, UINT flags);
// flags: MF_BYCOMMAND or MF_BYPOSITION with MF_ENABLED, MF_GRAYED or
// MF_DISABLED (or both). The item's previous MF_GRAYED | MF_DISABLED bits;
// -1 when there is no such item.
BOOL EnableMenuItem(HMENU menu, UINT item, UINT flags);
// flags: by command or position with MF_CHECKED or MF_UNCHECKED. The
// previous MF_CHECKED bit; -1 when there is no such item.
DWORD CheckMenuItem(HMENU menu, UINT item, UINT flags);

// Menu templates as resources (RT_MENU), like dialog templates.
HMENU LoadMenuW(HINSTANCE instance, LPCWSTR name);

#define TPM_LEFTBUTTON 0x0000u
#define TPM_RIGHTBUTTON 0x0002u
#define TPM_LEFTALIGN 0x0000u
#define TPM_CENTERALIGN 0x0004u
#define TPM_RIGHTALIGN 0x0008u
#define TPM_TOPALIGN 0x0000u
#define TPM_VCENTERALIGN 0x0010u
#define TPM_BOTTOMALIGN 0x0020u
#define TPM_HORIZONTAL 0x0000u
#define TPM_VERTICAL 0x0040u
#define TPM_NONOTIFY 0x0080u
#define TPM_RETURNCMD 0x0100u
#define TPM_RECURSE 0x0001u
#define TPM_NOANIMATION 0x4000u

typedef struct tagTPMPARAMS {
    UINT cbSize;
    RECT rcExclude;
} TPMPARAMS, *LPTPMPARAMS;

// Runs the menu's modal loop (see above) for the owner, a window of the
// calling thread. Unless TPM_NONOTIFY, the owner gets WM_ENTERMENULOOP,
// WM_INITMENUPOPUP before the menu is answered, WM_UNINITMENUPOPUP and
// WM_EXITMENULOOP after. With TPM_RETURNCMD the chosen id is returned (0
// for none); otherwise WM_COMMAND with the id is posted to the owner when
// an item was chosen, and the result is TRUE. FALSE (0) for a handle that
// is no menu or an owner that is no window of this thread. The loop ends
// early with no choice when the owner is destroyed meanwhile or EndMenu is
// called on the thread.
BOOL TrackPopupMenu(HMENU menu, UINT flags, int x, int y, int reserved, HWND owner,
                    const RECT* reserved_rect);
BOOL TrackPopupMenuEx(HMENU menu, UINT flags, int x, int y, HWND owner, LPTPMPARAMS params);
BOOL EndMenu();

namespace win_menus {

// One item of a menu template: a command (id and text, with MF_GRAYED,
// MF_DISABLED, MF_CHECKED or MF_DEFAULT), a separator, or a pop-up with
// items of its own.
struct item_template {
    std::wstring text;
    UINT id = 0;
    UINT flags = 0;
    std::vector<item_template> items;  // MF_POPUP items only
};

item_template item(UINT id, std::wstring text, UINT flags = 0);
item_template separator();
item_template popup(std::wstring text, std::vector<item_template> items, UINT flags = 0);

// Files the menu bar (its items, normally pop-ups) as the module's RT_MENU
// resource of that id.
void register_menu(HMODULE module, WORD id, const std::vector<item_template>& bar);
// The template bytes back; false for bytes that are not a well-formed
// template (every length checked, nesting at most 16 deep).
bool parse_menu(const void* bytes, size_t size, std::vector<item_template>* out);

}  // namespace win_menus

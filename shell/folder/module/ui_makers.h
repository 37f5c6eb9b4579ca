// The windows the folder's objects open or hand out but the dialogs room
// (shell/ui/) makes: the login dialog, the property sheet of remote items,
// the menu of a view's background and the command bar's commands. The
// folder's rooms lie below ui/ and never include it, so they reach these
// through this table, which ui/ fills in while the module loads (as COM
// gets the shell's own classes through a hook its shell area sets).
#pragma once

#include "folder/item_ids/item_id_list.h"
#include "vfs/item.h"
#include "win/shell_dragdrop.h"
#include "win/shell_folder.h"
#include "win/user_types.h"

class CDataObjectImpl;

// The pages a property sheet of remote items may start on.
enum sheet_start_page : int {
    start_general = 0,
    start_sharing = 1,
    start_sync = 2,  // 3 and 4 too: the sync page chooses its mode by them
};

struct ui_makers {
    // Shows the login dialog modally; true when it ended with a log-in.
    bool (*log_in_with_dialog)(HWND owner);
    // Opens the sheet of the data object's selection at the start page on a
    // thread of its own, or brings the open sheet of that selection to the
    // front; returns at once.
    void (*show_item_properties)(IShellFolder* folder, CDataObjectImpl* data, int start_page);
    // A new menu of the background of the folder's view, which pastes
    // through the folder's drop target; the caller's interface of it.
    HRESULT(*create_background_menu)
    (IDropTarget* target, const CItemIdList& folder, const vfs::item_ptr& directory, REFIID iid,
     void** object);
    // A new provider of the command bar's commands over the folder.
    HRESULT (*create_command_provider)(IShellFolder* folder, REFIID iid, void** object);
};

// The table as ui/ filled it in. Until then (a program without ui/) every
// entry refuses: no login, no sheet, E_NOTIMPL.
const ui_makers& folder_ui_makers();
// For ui/, while the module loads.
void set_folder_ui_makers(const ui_makers& makers);

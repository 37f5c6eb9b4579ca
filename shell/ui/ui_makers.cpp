// Room ui, above the rooms of the folder and below module (the order of the
// rooms: shell/CMakeLists.txt): the extension's menus, command bar, sheets,
// pages and dialogs. The folder's rooms never include it; this file fills
// the folder's table of makers with the room's windows while the module
// loads, and the folder's objects open the login dialog and the sheets, and
// hand out the background menu and the command bar's provider, through it.
#include "folder/module/ui_makers.h"

#include "ui/bg_context_menu.h"
#include "ui/explorer_commands.h"
#include "ui/login_dlg.h"
#include "ui/property_sheet.h"

namespace {

bool log_in_with_dialog(HWND owner) {
    CLoginDlg dialog;
    return dialog.DoModal(owner) == IDOK;
}

const bool makers_given = [] {
    set_folder_ui_makers({&log_in_with_dialog, &ShowItemProperties, &create_background_menu,
                          &create_explorer_command_provider});
    return true;
}();

}  // namespace

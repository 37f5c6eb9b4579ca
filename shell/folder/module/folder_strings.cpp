// Adds the folder's texts to the string table of the module it is built
// into, when that module is loaded.
#include "folder/module/folder_strings.h"

#include "win/process.h"
#include "win/user_dialog.h"

namespace {

const bool registered = [] {
    win_dialogs::register_strings(win_module::this_module(),
                                  {{IDS_COLUMN_NAME, L"Name"},
                                   {IDS_COLUMN_TYPE, L"Type"},
                                   {IDS_COLUMN_SIZE, L"Size"},
                                   {IDS_COLUMN_DATE_ACCESSED, L"Date accessed"},
                                   {IDS_COLUMN_DATE_MODIFIED, L"Date modified"},
                                   {IDS_MENU_NEW_FOLDER, L"New Folder"},
                                   {IDS_NEW_FOLDER_NAME, L"New Folder"},
                                   {IDS_MENU_OPEN, L"Open"},
                                   {IDS_MENU_SHARE, L"Share..."},
                                   {IDS_MENU_RESTORE, L"Restore"},
                                   {IDS_MENU_SYNCHRONIZE, L"Synchronize with Computer"}});
    return true;
}();

}  // namespace

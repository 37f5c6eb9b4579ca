#include "ui/properties_sync_resources.h"

#include <mutex>

#include "ui/sync_page_controls.h"
#include "win/process.h"
#include "win/user.h"

namespace {

using namespace win_dialogs;

dialog_template sync_page_template() {
    dialog_template t;
    t.style = WS_CHILD | DS_CONTROL | DS_SETFONT;
    t.cx = sync_page_width;
    t.cy = sync_page_height;
    t.caption = L"Sync && Backup";
    // The group box comes last, below the controls it frames.
    t.controls = {
        left_text(-1, L"Remote location:", 14, 20, 215, 8),
        edit_text(IDC_SYNC_REMOTE_LOCATION, 14, 30, 215, 14, ES_AUTOHSCROLL | ES_READONLY),
        left_text(-1, L"Local folder:", 14, 50, 215, 8),
        edit_text(IDC_SYNC_LOCAL_FOLDER, 14, 60, 160, 14, ES_AUTOHSCROLL | ES_READONLY),
        push_button(IDC_SYNC_BROWSE, L"Browse...", 179, 60, 50, 14),
        left_text(-1, L"Sync && Backup options", 14, 84, 215, 8),
        auto_check_box(IDC_SYNC_PERMANENT, L"Permanently sync/backup files or folders", 14, 96, 215,
                       10),
        sync_option_radio(IDC_SYNC_FULL, L"Full Sync", 24, 110, 100, 10),
        sync_option_radio(IDC_SYNC_BACKUP, L"Backup", 24, 122, 100, 10),
        sync_note(IDC_SYNC_BACKUP_NOTE, sync_backup_note_text, 138, 34, true),
        sync_note(IDC_SYNC_FULL_NOTE, sync_full_note_text, 176, 34, true),
        sync_note(IDC_SYNC_HIDDEN_NOTE, sync_hidden_note_text, 176, 10, false),
        push_button(IDC_SYNC_MANAGE, L"Manage Syncing Tasks", 14, 200, 100, 14),
        group_box(-1, L"Sync && Backup", 7, 7, 229, 218),
    };
    return t;
}

}  // namespace

void register_properties_sync_resources() {
    static std::once_flag once;
    std::call_once(once, [] {
        const HMODULE module = win_module::this_module();
        register_dialog(module, IDD_PROPERTIES_SYNC, sync_page_template());
        register_strings(
            module, {
                        {IDS_SELECT_FOLDER, L"Select Calvimora folder"},
                        {IDS_MULTIPLE_ITEMS, L"Multiple Items"},
                        {IDS_SYNC_PRODUCT_NAME, L"Calvimora"},
                        {IDS_ERROR_LOADING_ITEMS, L"Error loading items"},
                        {IDS_WRONG_PATH_SELECTED, L"Wrong path selected"},
                        {IDS_WRONG_PATH_TEXT,
                         L"%s cannot synchronize files with selected location. Please try again."},
                        {IDS_ERROR_SAVING_BINDINGS, L"Error saving bindings"},
                    });
    });
}

#include "ui/local_items_resources.h"

#include <mutex>
#include <vector>

#include "ui/properties_sync_resources.h"
#include "ui/sync_page_controls.h"
#include "win/process.h"
#include "win/user.h"

namespace {

using namespace win_dialogs;

constexpr int menu_bitmap_size = 16;

control_template spare_radio(int id, short y) {
    control_template c = sync_option_radio(id, L"", 150, y, 60, 10);
    c.style &= ~WS_VISIBLE;
    return c;
}

dialog_template local_sync_page_template() {
    dialog_template t;
    t.style = WS_CHILD | DS_CONTROL | DS_SETFONT;
    t.cx = sync_page_width;
    t.cy = sync_page_height;
    t.caption = L"Calvimora";
    // The group box comes last, below the controls it frames.
    t.controls = {
        left_text(-1, L"Local item:", 14, 20, 215, 8),
        edit_text(IDC_LOCAL_PATH, 14, 30, 215, 14, ES_AUTOHSCROLL | ES_READONLY),
        left_text(-1, L"Calvimora folder:", 14, 50, 215, 8),
        edit_text(IDC_LOCAL_REMOTE_FOLDER, 14, 60, 160, 14, ES_AUTOHSCROLL | ES_READONLY),
        push_button(IDC_LOCAL_BROWSE, L"Browse...", 179, 60, 50, 14),
        left_text(IDC_LOCAL_OPTIONS, L"Sync && Backup options", 14, 84, 215, 8),
        auto_check_box(IDC_LOCAL_PERMANENT, L"Permanently sync/backup files or folders", 14, 96,
                       215, 10),
        sync_option_radio(IDC_LOCAL_FULL, L"Full Sync", 24, 110, 100, 10),
        sync_option_radio(IDC_LOCAL_BACKUP, L"Backup", 24, 122, 100, 10),
        spare_radio(IDC_LOCAL_SPARE_FIRST, 110),
        spare_radio(IDC_LOCAL_SPARE_FIRST + 1, 122),
        spare_radio(IDC_LOCAL_SPARE_FIRST + 2, 134),
        sync_note(IDC_LOCAL_BACKUP_NOTE, sync_backup_note_text, 138, 34, false),
        sync_note(IDC_LOCAL_FULL_NOTE, sync_full_note_text, 176, 34, false),
        sync_note(IDC_LOCAL_HIDDEN_NOTE, sync_hidden_note_text, 176, 10, false),
        push_button(IDC_LOCAL_MANAGE, L"Manage Syncing Tasks", 14, 200, 100, 14),
        group_box(-1, L"Sync && Backup", 7, 7, 229, 218),
    };
    return t;
}

// The menu entries' picture: a blue cloud with a white arrow up, on the
// key colour magenta that the menu replaces with the face colour.
std::vector<COLORREF> menu_picture() {
    const COLORREF key = RGB(255, 0, 255), cloud = RGB(30, 110, 210), arrow = RGB(255, 255, 255);
    std::vector<COLORREF> pixels(menu_bitmap_size * menu_bitmap_size, key);
    const auto inside = [](int x, int y, int cx, int cy, int r) {
        return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r;
    };
    for (int y = 0; y < menu_bitmap_size; ++y) {
        for (int x = 0; x < menu_bitmap_size; ++x) {
            const bool puff = inside(x, y, 5, 9, 4) || inside(x, y, 9, 7, 5) ||
                              inside(x, y, 12, 10, 3) || (y >= 9 && y <= 13 && x >= 3 && x <= 13);
            if (puff) pixels[y * menu_bitmap_size + x] = cloud;
        }
    }
    // The arrow: a shaft and a head pointing up.
    for (int y = 6; y <= 12; ++y) pixels[y * menu_bitmap_size + 8] = arrow;
    for (int d = 1; d <= 2; ++d) {
        pixels[(6 + d) * menu_bitmap_size + 8 - d] = arrow;
        pixels[(6 + d) * menu_bitmap_size + 8 + d] = arrow;
    }
    return pixels;
}

}  // namespace

void register_local_items_resources() {
    static std::once_flag once;
    std::call_once(once, [] {
        register_properties_sync_resources();
        const HMODULE module = win_module::this_module();
        register_dialog(module, IDD_LOCAL_SYNC_PAGE, local_sync_page_template());
        register_strings(module, {
                                     {IDS_LOCAL_SYNCHRONIZE, L"Synchronize with Calvimora"},
                                     {IDS_LOCAL_BACKUP, L"Backup to Calvimora"},
                                 });
        // Resources live as long as the module: the bytes are never freed.
        static const std::vector<BYTE> bitmap =
            win_resources::make_bitmap_resource(menu_bitmap_size, menu_bitmap_size, menu_picture());
        win_resources::register_resource(module, RT_BITMAP, MAKEINTRESOURCEW(IDB_LOCAL_MENU),
                                         bitmap.data(), bitmap.size());
    });
}

#include "folder/module/ui_makers.h"

namespace {

bool no_login(HWND) {
    return false;
}

void no_sheet(IShellFolder*, CDataObjectImpl*, int) {}

HRESULT no_menu(IDropTarget*, const CItemIdList&, const vfs::item_ptr&, REFIID, void** object) {
    if (object) *object = nullptr;
    return E_NOTIMPL;
}

HRESULT no_provider(IShellFolder*, REFIID, void** object) {
    if (object) *object = nullptr;
    return E_NOTIMPL;
}

ui_makers& table() {
    static ui_makers makers{&no_login, &no_sheet, &no_menu, &no_provider};
    return makers;
}

}  // namespace

const ui_makers& folder_ui_makers() {
    return table();
}

void set_folder_ui_makers(const ui_makers& makers) {
    table() = makers;
}

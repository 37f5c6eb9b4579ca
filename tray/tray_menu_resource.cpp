// The tray menu as a resource of the program's module: one pop-up whose
// items the tray icon's right click shows. The icons are PNG pictures
// embedded by the build (art/icons/).
#include "tray_resource_ids.h"
#include "win/process.h"
#include "win/user_menu.h"

namespace {

struct registrar {
    registrar() {
        win_menus::register_menu(
            win_module::this_module(), IDR_TRAY_MENU,
            {win_menus::popup(L"Calvimora",
                              {
                                  win_menus::item(ID_TRAY_LOG_IN, L"Log In"),
                                  win_menus::item(ID_TRAY_LOG_OUT, L"Log Out"),
                                  win_menus::separator(),
                                  win_menus::item(ID_TRAY_SHOW_TASK_MANAGER, L"Show Task Manager"),
                              })});
    }
};

const registrar registered;

}  // namespace

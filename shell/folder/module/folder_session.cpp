#include "folder/module/folder_session.h"

#include "folder/module/ui_makers.h"
#include "vfs/session.h"
#include "win/process.h"

namespace {

// The extension's own module: the programs it starts live beside it.
HMODULE extension_module() {
    return win_module::this_module();
}

class client_session final : public folder_session {
public:
    bool is_logged_in() override { return vfs_calvimora::is_logged_in(extension_module()); }
    vfs::client_ptr get_client() override { return vfs_calvimora::get_client(extension_module()); }
    vfs::user_info get_user_info() override {
        return vfs_calvimora::get_user_info(extension_module());
    }
    bool log_in_with_dialog(HWND owner) override {
        return folder_ui_makers().log_in_with_dialog(owner);
    }
};

client_session the_client_session;
folder_session* replacement = nullptr;

}  // namespace

folder_session& current_folder_session() {
    return replacement ? *replacement : the_client_session;
}

void replace_folder_session(folder_session* session) {
    replacement = session;
}

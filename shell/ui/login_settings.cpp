#include "ui/login_settings.h"

#include "folder/module/shell_registry.h"
#include "vfs/saved_login.h"
#include "vfs/sibling_processes.h"
#include "win/kernel.h"
#include "win/process.h"

namespace login_settings {

namespace {

const wchar_t* const settings_key = L"SOFTWARE\\Calvimora";

}  // namespace

bool read_login_flag(const wchar_t* name) {
    DWORD type = 0;
    DWORD value = 0;
    DWORD size = sizeof value;
    return shell_utils::RegReadString(HKEY_CURRENT_USER, settings_key, name, &type, &value,
                                      &size) &&
           type == REG_DWORD && size == sizeof value && value != 0;
}

void write_login_flag(const wchar_t* name, bool on) {
    const DWORD value = on ? 1 : 0;
    shell_utils::RegWriteString(HKEY_CURRENT_USER, settings_key, name, REG_DWORD, &value,
                                sizeof value);
}

bool save_login_data(const std::wstring& user_name, const std::wstring& password) {
    const vfs_calvimora::saved_login login{user_name, password};
    if (!vfs_calvimora::reads_back_identically(login)) {
        vfs_calvimora::store_saved_login({});
        return false;
    }
    return vfs_calvimora::store_saved_login(login);
}

bool load_login_data(std::wstring& user_name, std::wstring& password) {
    vfs_calvimora::saved_login login;
    if (!vfs_calvimora::load_saved_login(login)) return false;
    user_name = login.user_name;
    password = login.password;
    return true;
}

void signal_login_dialog_event() {
    const HANDLE event = OpenEventW(EVENT_MODIFY_STATE, FALSE, L"Local\\CMV_LOGIN_DLG_EVENT");
    if (!event) return;
    // The tray program that made the event may end before the log-on
    // session does, and its next start must still find the mark: the
    // session handler holds the event from its start to log-off, so it is
    // started first when it does not run. Without it the mark lasts as long
    // as the tray program.
    try {
        vfs_calvimora::ensure_session_running(win_module::this_module(), true);
    } catch (const vfs_calvimora::glue_failure&) {
        // Set all the same: the running tray program sees the mark.
    }
    SetEvent(event);
    CloseHandle(event);
}

}  // namespace login_settings

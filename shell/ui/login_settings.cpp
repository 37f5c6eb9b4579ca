#include "ui/login_settings.h"

#include "folder/module/shell_registry.h"
#include "vfs/saved_login.h"
#include "win/kernel.h"

namespace login_settings {

namespace {

const wchar_t* const settings_key = L"SOFTWARE\\Calvimora";

bool reads_back_exactly(const vfs_calvimora::saved_login& login) {
    const vfs_calvimora::saved_login read =
        vfs_calvimora::unscramble_login(vfs_calvimora::scramble_login(login));
    return read.user_name == login.user_name && read.password == login.password;
}

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
    if (!reads_back_exactly(login)) {
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
    SetEvent(event);
    CloseHandle(event);
}

}  // namespace login_settings

#include "ui/login_resources.h"

#include <mutex>

#include "win/process.h"
#include "win/user.h"

namespace {

using namespace win_dialogs;

dialog_template login_template() {
    dialog_template t;
    t.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT;
    t.cx = 195;
    t.cy = 118;
    t.caption = L"Calvimora login";
    t.controls = {
        edit_text(IDC_LOGIN_USER, 63, 6, 125, 14, ES_AUTOHSCROLL),
        edit_text(IDC_LOGIN_PASSWORD, 63, 24, 125, 14, ES_AUTOHSCROLL | ES_PASSWORD),
        auto_check_box(IDC_LOGIN_SAVE_PASSWORD, L"Save &password", 7, 46, 181, 10),
        auto_check_box(IDC_LOGIN_AUTO_LOGIN, L"&Auto login", 7, 60, 181, 10),
        default_push_button(IDOK, L"&Log In", 138, 97, 50, 14),
        left_text(-1, L"Username/Email:", 6, 9, 55, 8),
        left_text(-1, L"Password:", 6, 26, 55, 8),
    };
    return t;
}

dialog_template new_profile_template() {
    dialog_template t;
    t.style = WS_CHILD | DS_CONTROL | DS_SETFONT;
    t.cx = 181;
    t.cy = 135;
    // The group box comes last, below the controls it frames.
    t.controls = {
        left_text(-1, L"Username:", 14, 16, 56, 8),
        edit_text(IDC_PROFILE_USER, 72, 13, 97, 14, ES_AUTOHSCROLL),
        left_text(-1, L"Password:", 14, 32, 56, 8),
        edit_text(IDC_PROFILE_PASSWORD, 72, 29, 97, 14, ES_AUTOHSCROLL | ES_PASSWORD),
        left_text(-1, L"Verify Password:", 14, 49, 56, 8),
        edit_text(IDC_PROFILE_VERIFY_PASSWORD, 72, 46, 97, 14, ES_AUTOHSCROLL | ES_PASSWORD),
        left_text(-1, L"Email Address:", 14, 66, 56, 8),
        edit_text(IDC_PROFILE_EMAIL, 72, 63, 97, 14, ES_AUTOHSCROLL),
        left_text(-1, L"Firstname:", 14, 83, 56, 8),
        edit_text(IDC_PROFILE_FIRST_NAME, 72, 80, 97, 14, ES_AUTOHSCROLL),
        left_text(-1, L"Lastname:", 14, 100, 56, 8),
        edit_text(IDC_PROFILE_LAST_NAME, 72, 97, 97, 14, ES_AUTOHSCROLL),
        push_button(IDC_PROFILE_SIGN_UP, L"&Sign Up", 65, 115, 50, 14),
        push_button(IDCANCEL, L"Cancel", 119, 115, 50, 14),
        group_box(-1, L"New Account", 7, 0, 167, 135),
    };
    return t;
}

}  // namespace

void register_login_resources() {
    static std::once_flag once;
    std::call_once(once, [] {
        const HMODULE module = win_module::this_module();
        register_dialog(module, IDD_LOGIN, login_template());
        register_dialog(module, IDD_NEW_PROFILE, new_profile_template());
        register_strings(module,
                         {
                             {IDS_ERROR_CREATING_PROFILE, L"Error creating profile"},
                             {IDS_ACCOUNT_CREATED, L"Your account has been successfully created!"},
                         });
    });
}

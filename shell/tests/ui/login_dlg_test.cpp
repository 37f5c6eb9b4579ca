// The login dialog and its new-account child against the stand-in service
// and the real session handler, answered by scripts that type, tick and
// press as a person would.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "ui/login_dlg.h"
#include "ui/login_settings.h"
#include "vfs/saved_login.h"
#include "vfs/session.h"
#include "vfs_session_support.h"
#include "win/kernel.h"
#include "win/registry.h"
#include "win/shell.h"
#include "win/test_journal.h"
#include "win/win_test.h"

namespace {

using vfs_session_testing::environment;
using vfs_session_testing::tray_stand_in;

const char* const hangul_name = "\xEA\xB9\x80\xEB\xAF\xBC\xEC\xA4\x80";  // 김민준
const wchar_t* const hangul_name_wide = L"\uAE40\uBBFC\uC900";

// Replaces the text of a box by typing it, as a person would.
void type_into(HWND dialog, int id, const std::wstring& text) {
    HWND edit = win_test::control(dialog, id);
    ASSERT_NE(edit, nullptr);
    SendMessageW(edit, EM_SETSEL, 0, -1);
    SendMessageW(edit, WM_CHAR, VK_BACK, 0);
    for (const wchar_t c : text) SendMessageW(edit, WM_CHAR, c, 0);
}

void tick(HWND dialog, int id, bool on) {
    if (win_test::checked(win_test::control(dialog, id)) != on) win_test::press(dialog, id);
}

DWORD flag(const wchar_t* name) {
    DWORD value = 0xFFFFFFFF;
    DWORD size = sizeof value;
    HKEY key = nullptr;
    if (RegOpenKeyW(HKEY_CURRENT_USER, L"SOFTWARE\\Calvimora", &key) == ERROR_SUCCESS) {
        RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<LPBYTE>(&value), &size);
        RegCloseKey(key);
    }
    return value;
}

std::vector<BYTE> saved_login_bytes() {
    HKEY key = nullptr;
    if (RegOpenKeyW(HKEY_CURRENT_USER, L"CLSID\\{6D3F2A61-9C84-4E1B-B57A-2C0E8F4D9A13}", &key) !=
        ERROR_SUCCESS)
        return {};
    BYTE bytes[1024];
    DWORD size = sizeof bytes;
    const LONG read = RegQueryValueExW(key, L"Data1", nullptr, nullptr, bytes, &size);
    RegCloseKey(key);
    return read == ERROR_SUCCESS ? std::vector<BYTE>(bytes, bytes + size) : std::vector<BYTE>{};
}

class LoginDialog : public ::testing::Test {
protected:
    LoginDialog()
        // The tray program's event, made as the tray program makes it.
        : dialog_event_(CreateEventW(nullptr, TRUE, FALSE, L"Local\\CMV_LOGIN_DLG_EVENT")) {
        vfs_session_testing::store_pc_id(L"0f8fad5b-d9cb-469f-a165-70867728950e");
        env_.service().add_user("alice", "secret");
        env_.service().add_user(hangul_name, "\xEB\xB9\x84\xEB\xB0\x80");  // 비밀
    }
    ~LoginDialog() override { CloseHandle(dialog_event_); }

    bool dialog_event_set() { return WaitForSingleObject(dialog_event_, 0) == WAIT_OBJECT_0; }

    bool logged_in() { return vfs_calvimora::is_logged_in(win_module::this_module()); }

    std::string env_root_answers() {
        return std::string(std::getenv(win_machine::root_variable)) + "/answers.txt";
    }

    // Boxes answered OK, their texts kept as "caption|text".
    std::vector<std::wstring> boxes_;
    win_test::scoped_message_box_responder box_answers_{
        [this](const std::wstring& text, const std::wstring& caption, UINT) {
            boxes_.push_back(caption + L"|" + text);
            return IDOK;
        }};

    environment env_;
    tray_stand_in tray_;
    HANDLE dialog_event_;
};

TEST_F(LoginDialog, ATypedLoginWithBothBoxesIsSavedForTheTrayAndLogsIn) {
    win_test::scoped_dialog_responder script([](HWND dialog) {
        type_into(dialog, IDC_LOGIN_USER, hangul_name_wide);
        type_into(dialog, IDC_LOGIN_PASSWORD, L"\uBE44\uBC00");
        tick(dialog, IDC_LOGIN_SAVE_PASSWORD, true);
        tick(dialog, IDC_LOGIN_AUTO_LOGIN, true);
        win_test::press(dialog, IDOK);
    });
    CLoginDlg dialog;
    EXPECT_EQ(dialog.DoModal(nullptr), IDOK);

    EXPECT_TRUE(logged_in());
    EXPECT_EQ(vfs_calvimora::get_user_info(win_module::this_module()).user_name, hangul_name_wide);
    EXPECT_EQ(flag(L"SavePass"), 1u);
    EXPECT_EQ(flag(L"AutoLogin"), 1u);
    // The tray program's reader gets the login back.
    vfs_calvimora::saved_login saved;
    ASSERT_TRUE(vfs_calvimora::load_saved_login(saved));
    EXPECT_EQ(saved.user_name, hangul_name_wide);
    EXPECT_EQ(saved.password, L"\uBE44\uBC00");
    EXPECT_EQ(saved_login_bytes().size(), (3u + 2u) * 2 + 4);
    // Opened without AutoLogin: the tray's automatic log-in stays away.
    EXPECT_TRUE(dialog_event_set());
    const auto notes = win_test::shell_notifications();
    ASSERT_FALSE(notes.empty());
    EXPECT_EQ(notes.back().event, SHCNE_ASSOCCHANGED);
    EXPECT_TRUE(boxes_.empty());
}

TEST_F(LoginDialog, AnAnswersFileLogsInAsAnotherProcessOfTheSessionWould) {
    const std::string path = env_root_answers();
    std::ofstream(path) << "dialog Calvimora login => text 301 alice; text 302 secret; "
                           "check 485; press ok\n";
    setenv(win_test::answers_file_variable, path.c_str(), 1);
    CLoginDlg dialog;
    const INT_PTR result = dialog.DoModal(nullptr);
    unsetenv(win_test::answers_file_variable);
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(win_test::dialogs().back().answered_by, "file");
    EXPECT_TRUE(logged_in());
    EXPECT_EQ(flag(L"AutoLogin"), 1u);
}

TEST_F(LoginDialog, WithNeitherBoxTheSavedLoginIsEmptiedAndBothFlagsCleared) {
    ASSERT_TRUE(vfs_calvimora::store_saved_login({L"old", L"password"}));
    login_settings::write_login_flag(login_settings::save_pass_flag, true);
    win_test::scoped_dialog_responder script([](HWND dialog) {
        // The saved login was loaded for the SavePass flag.
        EXPECT_EQ(win_test::text(win_test::control(dialog, IDC_LOGIN_USER)), L"old");
        EXPECT_TRUE(win_test::checked(win_test::control(dialog, IDC_LOGIN_SAVE_PASSWORD)));
        type_into(dialog, IDC_LOGIN_USER, L"alice");
        type_into(dialog, IDC_LOGIN_PASSWORD, L"secret");
        tick(dialog, IDC_LOGIN_SAVE_PASSWORD, false);
        win_test::press(dialog, IDOK);
    });
    CLoginDlg dialog;
    EXPECT_EQ(dialog.DoModal(nullptr), IDOK);
    EXPECT_EQ(saved_login_bytes(), std::vector<BYTE>(4, 0));
    EXPECT_EQ(flag(L"SavePass"), 0u);
    EXPECT_EQ(flag(L"AutoLogin"), 0u);
}

TEST_F(LoginDialog, OnlyAutoLoginStillSavesThePassword) {
    win_test::scoped_dialog_responder script([](HWND dialog) {
        type_into(dialog, IDC_LOGIN_USER, L"alice");
        type_into(dialog, IDC_LOGIN_PASSWORD, L"secret");
        tick(dialog, IDC_LOGIN_AUTO_LOGIN, true);
        win_test::press(dialog, IDOK);
    });
    CLoginDlg dialog;
    EXPECT_EQ(dialog.DoModal(nullptr), IDOK);
    vfs_calvimora::saved_login saved;
    ASSERT_TRUE(vfs_calvimora::load_saved_login(saved));
    EXPECT_EQ(saved.password, L"secret");
    EXPECT_EQ(flag(L"SavePass"), 0u);
}

TEST_F(LoginDialog, AFailedLoginShowsTheServicesTextAndLeavesTheDialogUsable) {
    win_test::scoped_dialog_responder script([this](HWND dialog) {
        type_into(dialog, IDC_LOGIN_USER, L"alice");
        type_into(dialog, IDC_LOGIN_PASSWORD, L"wrong");
        win_test::press(dialog, IDOK);
        ASSERT_EQ(boxes_.size(), 1u);
        EXPECT_EQ(boxes_[0], L"Login failed|Invalid user name or password");
        EXPECT_TRUE(win_test::enabled(dialog));
        EXPECT_TRUE(win_test::visible(dialog));
        EXPECT_EQ(win_test::text(win_test::control(dialog, IDC_LOGIN_USER)), L"alice");
        EXPECT_EQ(win_test::text(win_test::control(dialog, IDC_LOGIN_PASSWORD)), L"wrong");
        EXPECT_FALSE(logged_in());
        type_into(dialog, IDC_LOGIN_PASSWORD, L"secret");
        win_test::press(dialog, IDOK);
    });
    CLoginDlg dialog;
    EXPECT_EQ(dialog.DoModal(nullptr), IDOK);
    EXPECT_TRUE(logged_in());
    EXPECT_EQ(win_test::message_boxes().back().type, static_cast<UINT>(MB_ICONERROR));
}

TEST_F(LoginDialog, AutoLoginWithAValidSavedLoginEndsWithoutAClick) {
    ASSERT_TRUE(vfs_calvimora::store_saved_login({L"alice", L"secret"}));
    login_settings::write_login_flag(login_settings::auto_login_flag, true);
    bool asked = false;
    win_test::scoped_dialog_responder script([&](HWND) { asked = true; });
    CLoginDlg dialog;
    EXPECT_EQ(dialog.DoModal(nullptr), IDOK);
    EXPECT_FALSE(asked);
    EXPECT_EQ(win_test::dialogs().back().answered_by, "program");
    EXPECT_TRUE(logged_in());
    // Nobody saw a login dialog: the tray's automatic log-in may go on.
    EXPECT_FALSE(dialog_event_set());
}

TEST_F(LoginDialog, AutoLoginWithAWrongSavedLoginAsksWithTheSavedValues) {
    ASSERT_TRUE(vfs_calvimora::store_saved_login({L"alice", L"stale"}));
    login_settings::write_login_flag(login_settings::auto_login_flag, true);
    win_test::scoped_dialog_responder script([this](HWND dialog) {
        EXPECT_EQ(boxes_.size(), 1u);
        EXPECT_EQ(win_test::text(win_test::control(dialog, IDC_LOGIN_USER)), L"alice");
        EXPECT_EQ(win_test::text(win_test::control(dialog, IDC_LOGIN_PASSWORD)), L"stale");
        EXPECT_TRUE(win_test::checked(win_test::control(dialog, IDC_LOGIN_AUTO_LOGIN)));
        win_test::press_key(VK_ESCAPE);
        win_test::pump();
    });
    CLoginDlg dialog;
    EXPECT_EQ(dialog.DoModal(nullptr), IDCANCEL);
    EXPECT_TRUE(dialog_event_set());
    EXPECT_FALSE(logged_in());
}

TEST_F(LoginDialog, ALoginThatCannotBeSavedWhole_LogsInButIsNotSaved) {
    // The first unit is scrambled with 0xC48F (index 0 minus the constant):
    // that character would be stored as the zero that ends the name.
    const char* const name =
        "\xEC\x92\x8F"
        "ab";  // U+C48F
    env_.service().add_user(name, "pw");
    ASSERT_TRUE(vfs_calvimora::store_saved_login({L"earlier", L"login"}));
    win_test::scoped_dialog_responder script([](HWND dialog) {
        type_into(dialog, IDC_LOGIN_USER,
                  L"\uC48F"
                  L"ab");
        type_into(dialog, IDC_LOGIN_PASSWORD, L"pw");
        tick(dialog, IDC_LOGIN_SAVE_PASSWORD, true);
        win_test::press(dialog, IDOK);
    });
    CLoginDlg dialog;
    EXPECT_EQ(dialog.DoModal(nullptr), IDOK);
    EXPECT_TRUE(logged_in());
    EXPECT_EQ(saved_login_bytes(), std::vector<BYTE>(4, 0));
}

TEST_F(LoginDialog, TheNewAccountChildExpandsAndCollapsesTheDialog) {
    win_test::scoped_dialog_responder script([](HWND dialog) {
        EXPECT_EQ(win_test::client_rect(dialog).bottom, CLoginDlg::collapsed_height);
        HWND child = GetParent(win_test::control(dialog, IDC_PROFILE_USER));
        ASSERT_NE(child, dialog);
        EXPECT_FALSE(win_test::visible(child));
        HWND link = win_test::control(dialog, 0);
        ASSERT_NE(link, nullptr);
        EXPECT_TRUE(win_test::visible(link));
        const RECT before = win_test::window_rect(dialog);

        win_test::click(link);
        win_test::pump();
        EXPECT_EQ(win_test::client_rect(dialog).bottom, CLoginDlg::expanded_height);
        EXPECT_TRUE(win_test::visible(child));
        EXPECT_FALSE(win_test::visible(link));
        // Resized in place.
        EXPECT_EQ(win_test::window_rect(dialog).left, before.left);
        EXPECT_EQ(win_test::window_rect(dialog).top, before.top);

        type_into(dialog, IDC_PROFILE_USER, L"kept");
        win_test::press(dialog, IDCANCEL);
        EXPECT_EQ(win_test::client_rect(dialog).bottom, CLoginDlg::collapsed_height);
        EXPECT_FALSE(win_test::visible(child));
        EXPECT_TRUE(win_test::visible(link));
        EXPECT_TRUE(win_test::visible(dialog)) << "the child's Cancel ended the login dialog";
        EXPECT_EQ(win_test::text(win_test::control(dialog, IDC_PROFILE_USER)), L"kept");
        win_test::press_key(VK_ESCAPE);
        win_test::pump();
    });
    CLoginDlg dialog;
    EXPECT_EQ(dialog.DoModal(nullptr), IDCANCEL);
}

TEST_F(LoginDialog, ACreatedAccountIsFilledInAndLogsIn) {
    win_test::scoped_dialog_responder script([this](HWND dialog) {
        win_test::click(win_test::control(dialog, 0));
        win_test::pump();
        type_into(dialog, IDC_PROFILE_USER, L"newbie");
        type_into(dialog, IDC_PROFILE_PASSWORD, L"pass1");
        type_into(dialog, IDC_PROFILE_VERIFY_PASSWORD, L"pass1");
        type_into(dialog, IDC_PROFILE_EMAIL, L"newbie@example.com");
        type_into(dialog, IDC_PROFILE_FIRST_NAME, L"New");
        type_into(dialog, IDC_PROFILE_LAST_NAME, L"Bie");
        win_test::press(dialog, IDC_PROFILE_SIGN_UP);

        EXPECT_EQ(boxes_, std::vector<std::wstring>{
                              L"Calvimora login|Your account has been successfully created!"});
        EXPECT_EQ(win_test::client_rect(dialog).bottom, CLoginDlg::collapsed_height);
        for (const int id : {IDC_PROFILE_USER, IDC_PROFILE_PASSWORD, IDC_PROFILE_VERIFY_PASSWORD,
                             IDC_PROFILE_EMAIL, IDC_PROFILE_FIRST_NAME, IDC_PROFILE_LAST_NAME})
            EXPECT_EQ(win_test::text(win_test::control(dialog, id)), L"") << id;
        EXPECT_EQ(win_test::text(win_test::control(dialog, IDC_LOGIN_USER)), L"newbie");
        EXPECT_EQ(win_test::text(win_test::control(dialog, IDC_LOGIN_PASSWORD)), L"");
        EXPECT_EQ(GetFocus(), win_test::control(dialog, IDC_LOGIN_PASSWORD));

        type_into(dialog, IDC_LOGIN_PASSWORD, L"pass1");
        win_test::press(dialog, IDOK);
    });
    CLoginDlg dialog;
    EXPECT_EQ(dialog.DoModal(nullptr), IDOK);
    EXPECT_EQ(vfs_calvimora::get_user_info(win_module::this_module()).user_name, L"newbie");
}

TEST_F(LoginDialog, ARefusedSignUpShowsTheServicesErrorAndKeepsTheBoxes) {
    win_test::scoped_dialog_responder script([this](HWND dialog) {
        win_test::click(win_test::control(dialog, 0));
        win_test::pump();
        type_into(dialog, IDC_PROFILE_USER, L"alice");
        type_into(dialog, IDC_PROFILE_PASSWORD, L"x");
        type_into(dialog, IDC_PROFILE_VERIFY_PASSWORD, L"x");
        win_test::press(dialog, IDC_PROFILE_SIGN_UP);

        EXPECT_EQ(boxes_, std::vector<std::wstring>{
                              L"Error creating profile|The user name 'alice' is taken"});
        EXPECT_EQ(win_test::client_rect(dialog).bottom, CLoginDlg::expanded_height);
        EXPECT_EQ(win_test::text(win_test::control(dialog, IDC_PROFILE_USER)), L"alice");
        EXPECT_EQ(win_test::text(win_test::control(dialog, IDC_PROFILE_VERIFY_PASSWORD)), L"x");
        win_test::press_key(VK_ESCAPE);
        win_test::pump();
    });
    CLoginDlg dialog;
    EXPECT_EQ(dialog.DoModal(nullptr), IDCANCEL);
}

}  // namespace

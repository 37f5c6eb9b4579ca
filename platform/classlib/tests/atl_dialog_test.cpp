// The class library's dialog objects: every message of their dialog, the
// initialisation parameter, a child dialog made inside another and bound to
// its own object, and the responders (script, answers file, terminal)
// reaching edits and buttons of the child.
#include "win/atl_dialog.h"
#include "windowing/tests/user_dialog_test_support.h"

namespace {

using dialog_test::answers_file;
using dialog_test::typed_input;

constexpr WORD outer_id = 130;
constexpr WORD inner_id = 131;
constexpr int outer_password = 10;
constexpr int inner_edit = 20;
constexpr int inner_button = 21;

void register_templates() {
    static const bool done = [] {
        using namespace win_dialogs;
        dialog_template outer;
        outer.caption = L"Outer";
        outer.cx = 200;
        outer.cy = 150;
        outer.controls = {left_text(-1, L"Secret:", 5, 7, 40, 8),
                          edit_text(outer_password, 50, 5, 100, 14, ES_PASSWORD),
                          default_push_button(IDOK, L"OK", 140, 130, 50, 14)};
        register_dialog(win_module::this_module(), outer_id, outer);

        dialog_template inner;
        inner.style = WS_CHILD | DS_CONTROL | DS_SETFONT;
        inner.cx = 180;
        inner.cy = 60;
        inner.controls = {left_text(-1, L"Name:", 5, 7, 40, 8),
                          edit_text(inner_edit, 50, 5, 100, 14),
                          push_button(inner_button, L"Add", 50, 30, 50, 14)};
        register_dialog(win_module::this_module(), inner_id, inner);
        return true;
    }();
    (void)done;
}

class InnerDlg : public CAxDialogImpl<InnerDlg> {
public:
    enum { IDD = inner_id };
    std::vector<UINT> seen;
    std::vector<std::wstring> added;
    bool released = false;

    BOOL ProcessWindowMessage(HWND, UINT message, WPARAM wparam, LPARAM, LRESULT& result,
                              DWORD) override {
        seen.push_back(message);
        if (message == WM_COMMAND && LOWORD(wparam) == inner_button) {
            added.push_back(CWindow(GetDlgItem(inner_edit)).GetWindowText());
            result = 0;
            return TRUE;
        }
        return FALSE;
    }
    void OnFinalMessage(HWND) override { released = true; }
};

class OuterDlg : public CAxDialogImpl<OuterDlg> {
public:
    enum { IDD = outer_id };
    InnerDlg inner;
    LPARAM init_parameter = 0;
    std::vector<UINT> seen;
    std::wstring secret;  // the password box's text at the end

    BOOL ProcessWindowMessage(HWND, UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result,
                              DWORD) override {
        seen.push_back(message);
        switch (message) {
            case WM_INITDIALOG:
                init_parameter = lparam;
                if (inner.Create(m_hWnd)) {
                    inner.SetWindowPos(nullptr, 0, 60, 300, 100, SWP_NOZORDER | SWP_NOACTIVATE);
                    inner.ShowWindow(SW_SHOW);
                }
                result = TRUE;
                return TRUE;
            case WM_COMMAND:
                if (LOWORD(wparam) != IDOK && LOWORD(wparam) != IDCANCEL) return FALSE;
                secret = CWindow(GetDlgItem(outer_password)).GetWindowText();
                EndDialog(LOWORD(wparam));
                return TRUE;
            default:
                return FALSE;
        }
    }
};

class AtlDialogs : public user_test::UserTest {
protected:
    AtlDialogs() { register_templates(); }
};

TEST_F(AtlDialogs, EachObjectGetsTheMessagesOfItsOwnDialog) {
    OuterDlg dialog;
    win_test::scoped_dialog_responder script([&](HWND window) {
        EXPECT_EQ(window, dialog.m_hWnd);
        HWND inner = dialog.inner.m_hWnd;
        ASSERT_NE(inner, nullptr);
        EXPECT_NE(inner, window);
        EXPECT_EQ(GetParent(inner), window);
        SetWindowTextW(win_test::control(window, inner_edit), L"first");
        win_test::press(window, inner_button);
        EXPECT_EQ(dialog.inner.added, std::vector<std::wstring>{L"first"});
        win_test::press(window, IDOK);
    });
    EXPECT_EQ(dialog.DoModal(nullptr, 1234), IDOK);
    EXPECT_EQ(dialog.init_parameter, 1234);
    // Both let go with their windows.
    EXPECT_EQ(dialog.m_hWnd, nullptr);
    EXPECT_EQ(dialog.inner.m_hWnd, nullptr);
    EXPECT_TRUE(dialog.inner.released);
    EXPECT_EQ(dialog.seen.back(), static_cast<UINT>(WM_NCDESTROY));
    EXPECT_EQ(std::count(dialog.inner.seen.begin(), dialog.inner.seen.end(), WM_INITDIALOG), 1);
    EXPECT_EQ(std::count(dialog.seen.begin(), dialog.seen.end(), WM_INITDIALOG), 1);
}

TEST_F(AtlDialogs, APasswordEditShowsItsCharacterButKeepsItsText) {
    OuterDlg dialog;
    win_test::scoped_dialog_responder script([&](HWND window) {
        HWND password = win_test::control(window, outer_password);
        SetFocus(password);
        win_test::type_text(L"s3cret");
        win_test::pump();
        EXPECT_EQ(win_test::text(password), L"s3cret");
        EXPECT_EQ(SendMessageW(password, EM_GETPASSWORDCHAR, 0, 0), 0x25CF);
        SendMessageW(password, EM_SETPASSWORDCHAR, 0, 0);
        EXPECT_EQ(SendMessageW(password, EM_GETPASSWORDCHAR, 0, 0), 0);
        EXPECT_EQ(GetWindowLongW(password, GWL_STYLE) & ES_PASSWORD, 0);
        SendMessageW(password, EM_SETPASSWORDCHAR, L'*', 0);
        EXPECT_EQ(SendMessageW(password, EM_GETPASSWORDCHAR, 0, 0), L'*');
        EXPECT_NE(GetWindowLongW(password, GWL_STYLE) & ES_PASSWORD, 0);
        SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    });
    EXPECT_EQ(dialog.DoModal(nullptr), IDCANCEL);
}

TEST_F(AtlDialogs, TheAnswersFileTypesAndPressesInsideAChildDialog) {
    answers_file file(root_.path(),
                      "dialog Name: => text 20 Kim Min-jun; press 21; text 10 pw; press ok\n");
    OuterDlg dialog;
    EXPECT_EQ(dialog.DoModal(nullptr), IDOK);
    EXPECT_EQ(dialog.inner.added, std::vector<std::wstring>{L"Kim Min-jun"});
    EXPECT_EQ(dialog.secret, L"pw");
    EXPECT_EQ(win_test::dialogs().back().answered_by, "file");
}

TEST_F(AtlDialogs, APersonFillsInTheEditsOfTheDialogAndOfItsChild) {
    // The outer dialog's edit and button come first, then the child's.
    typed_input person("3\n\xEA\xB9\x80\n4\n1\npw\n\n");
    OuterDlg dialog;
    EXPECT_EQ(dialog.DoModal(nullptr), IDOK);
    EXPECT_EQ(dialog.inner.added, std::vector<std::wstring>{L"\uAE40"});
    EXPECT_EQ(dialog.secret, L"pw");
    EXPECT_EQ(win_test::dialogs().back().answered_by, "terminal");
}

}  // namespace

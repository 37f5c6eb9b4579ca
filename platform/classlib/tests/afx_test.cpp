#include "win/afx.h"
#include "windowing/tests/user_dialog_test_support.h"

namespace {

using namespace dialog_test;
using Framework = user_test::UserTest;

constexpr const wchar_t* window_class = L"CalvimoraFrameworkTest";

void register_window_class() {
    static const bool done = [] {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = AfxGetInstanceHandle();
        wc.lpszClassName = window_class;
        return RegisterClassExW(&wc) != 0;
    }();
    EXPECT_TRUE(done);
}

class CProbeWnd : public CWnd {
public:
    std::vector<std::string> seen;
    bool post_nc_destroy = false;
    CPoint last_move;

    int OnCreate(LPCREATESTRUCTW create) override {
        seen.push_back(create->lpCreateParams == this ? "create with me" : "create");
        return CWnd::OnCreate(create);
    }
    void OnTimer(UINT_PTR id) override { seen.push_back("timer " + std::to_string(id)); }
    void OnSize(UINT, int width, int height) override {
        seen.push_back("size " + std::to_string(width) + "x" + std::to_string(height));
    }
    void OnMouseMove(UINT, CPoint point) override { last_move = point; }
    BOOL OnSetCursor(CWnd* window, UINT hit, UINT) override {
        EXPECT_EQ(window, this);
        if (hit != HTCLIENT) return CWnd::OnSetCursor(window, hit, 0);
        SetCursor(LoadCursorW(nullptr, IDC_HAND));
        return TRUE;
    }
    BOOL OnCommand(WPARAM wparam, LPARAM) override {
        seen.push_back("command " + std::to_string(LOWORD(wparam)));
        return TRUE;
    }
    void OnDestroy() override {
        seen.push_back("destroy");
        CWnd::OnDestroy();
    }
    void PostNcDestroy() override { post_nc_destroy = true; }
};

TEST_F(Framework, AWindowObjectGetsItsWindowsMessagesFromCreationOn) {
    register_window_class();
    CProbeWnd w;
    ASSERT_TRUE(w.CreateEx(0, window_class, L"probe", WS_POPUP | WS_VISIBLE,
                           CRect(100, 100, 300, 200), nullptr, 0, &w));
    const HWND handle = w.m_hWnd;
    EXPECT_EQ(CWnd::FromHandlePermanent(handle), &w);
    EXPECT_EQ(w.seen.front(), "create with me");
    EXPECT_NE(std::find(w.seen.begin(), w.seen.end(), "size 200x100"), w.seen.end());

    EXPECT_EQ(w.SetTimer(1000000777, 500), 1000000777u);
    win_test::fire_timer(handle, 1000000777);
    win_test::pump();
    EXPECT_EQ(w.seen.back(), "timer 1000000777");

    win_test::move_mouse({150, 130});
    win_test::pump();
    EXPECT_EQ(w.last_move, CPoint(50, 30));
    EXPECT_EQ(win_test::current_cursor_id(), 32649);

    w.SendMessage(WM_COMMAND, MAKEWPARAM(1001, BN_CLICKED), 0);
    EXPECT_EQ(w.seen.back(), "command 1001");
    // What the object leaves goes to the window's own procedure.
    w.SetWindowText(L"renamed");
    EXPECT_EQ(win_test::text(handle), L"renamed");

    EXPECT_TRUE(w.DestroyWindow());
    EXPECT_EQ(w.seen.back(), "destroy");
    EXPECT_TRUE(w.post_nc_destroy);
    EXPECT_EQ(w.m_hWnd, nullptr);
    EXPECT_EQ(CWnd::FromHandlePermanent(handle), nullptr);
}

TEST_F(Framework, AWindowObjectGoneFirstTakesItsWindowAlong) {
    register_window_class();
    HWND handle;
    {
        CProbeWnd w;
        ASSERT_TRUE(w.CreateEx(WS_EX_LAYERED | WS_EX_TOOLWINDOW, L"#32770", nullptr, WS_POPUP, 0, 0,
                               400, 220, nullptr, nullptr));
        handle = w.m_hWnd;
        EXPECT_EQ(CWnd::FromHandle(handle), &w);
    }
    EXPECT_FALSE(IsWindow(handle));
    const HWND plain = CreateWindowExW(0, window_class, L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                       AfxGetInstanceHandle(), nullptr);
    // A window without an object gets a stand-in.
    CWnd* stand_in = CWnd::FromHandle(plain);
    ASSERT_NE(stand_in, nullptr);
    EXPECT_EQ(stand_in->m_hWnd, plain);
    EXPECT_EQ(CWnd::FromHandlePermanent(plain), nullptr);
    DestroyWindow(plain);
}

class CQuestion : public CDialog {
public:
    CQuestion() : CDialog(question) {}

    CStatic m_text;
    int m_remember = BST_UNCHECKED;
    int m_apply = BST_UNCHECKED;
    std::wstring text = L"Upload it?";
    std::vector<int> clicks;

    void DoDataExchange(CDataExchange* exchange) override {
        DDX_Control(exchange, message_text, m_text);
        DDX_Check(exchange, apply_to_all, m_apply);
        DDX_Check(exchange, remember, m_remember);
    }
    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        m_text.SetWindowText(text.c_str());
        SetWindowText(L"Calvimora synchronizer");
        return TRUE;
    }
    BOOL OnCommand(WPARAM wparam, LPARAM lparam) override {
        if (LOWORD(wparam) == remember) clicks.push_back(remember);
        return CDialog::OnCommand(wparam, lparam);
    }
};

TEST_F(Framework, ADialogExchangesItsDataAndEndsThroughOnOkAndOnCancel) {
    register_templates();
    CQuestion box;
    bool text_seen = false;
    win_test::scoped_dialog_responder script([&](HWND dialog) {
        text_seen = win_test::text(GetDlgItem(dialog, message_text)) == L"Upload it?";
        EXPECT_EQ(win_test::text(dialog), L"Calvimora synchronizer");
        EXPECT_EQ(CWnd::FromHandlePermanent(dialog), &box);
        win_test::press(dialog, remember);
        win_test::press(dialog, IDOK);
    });
    EXPECT_EQ(box.DoModal(), IDOK);
    EXPECT_TRUE(text_seen);
    EXPECT_EQ(box.m_remember, BST_CHECKED);
    EXPECT_EQ(box.m_apply, BST_UNCHECKED);
    EXPECT_EQ(box.clicks, std::vector<int>{remember});
    EXPECT_EQ(box.m_hWnd, nullptr);
    EXPECT_EQ(box.m_text.m_hWnd, nullptr);

    // Used again: the members go into the boxes first; Cancel keeps them.
    bool started_checked = false;
    win_test::set_dialog_responder([&](HWND dialog) {
        started_checked = IsDlgButtonChecked(dialog, remember) == BST_CHECKED;
        win_test::press(dialog, remember);
        win_test::press_key(VK_ESCAPE);
        win_test::pump();
    });
    EXPECT_EQ(box.DoModal(), IDCANCEL);
    EXPECT_TRUE(started_checked);
    EXPECT_EQ(box.m_remember, BST_CHECKED);

    // A missing template fails, and leaves no hook behind for the next window.
    CDialog missing(999);
    EXPECT_EQ(missing.DoModal(), -1);
    CProbeWnd later;
    register_window_class();
    ASSERT_TRUE(
        later.CreateEx(0, window_class, L"", WS_POPUP, CRect(0, 0, 1, 1), nullptr, 0, &later));
    EXPECT_EQ(missing.m_hWnd, nullptr);
}

TEST_F(Framework, TheTooltipWrapperKeepsTheToolsOfItsWindow) {
    register_window_class();
    win_dialogs::register_strings(AfxGetInstanceHandle(), {{3002, L"Resume all"}});
    CProbeWnd owner;
    ASSERT_TRUE(owner.CreateEx(WS_EX_LAYERED | WS_EX_TOOLWINDOW, L"#32770", nullptr,
                               WS_POPUP | WS_VISIBLE, CRect(1500, 800, 1900, 1020), nullptr, 0));
    CToolTipCtrl tips;
    ASSERT_TRUE(tips.Create(&owner, TTS_ALWAYSTIP));
    EXPECT_EQ(tips.SetMaxTipWidth(400), -1);
    tips.Activate(TRUE);
    const CRect stop(307, 197, 389, 215);
    EXPECT_TRUE(tips.AddTool(&owner, L"Stop all", &stop, 1002));
    EXPECT_TRUE(tips.AddTool(&owner, 3002u, &stop, 1003));
    EXPECT_TRUE(tips.AddTool(&owner, L"Whole window"));
    EXPECT_EQ(tips.GetToolCount(), 3);
    const CRect moved(300, 190, 382, 208);
    tips.SetToolRect(&owner, 1002, &moved);
    tips.DelTool(&owner, 1003);
    const auto tools = win_test::tooltip_tools(tips.m_hWnd);
    ASSERT_EQ(tools.size(), 2u);
    EXPECT_EQ(tools[0].text, L"Stop all");
    EXPECT_TRUE(EqualRect(&tools[0].rect, &moved));
    EXPECT_EQ(tools[1].flags & TTF_IDISHWND, TTF_IDISHWND);
    EXPECT_EQ(win_test::tooltip_max_width(tips.m_hWnd), 400);
    tips.Activate(FALSE);
    EXPECT_FALSE(win_test::tooltip_active(tips.m_hWnd));
}

TEST_F(Framework, MessageBoxesCarryTheProgramsTitle) {
    std::wstring caption, text;
    UINT type = 0;
    win_test::scoped_message_box_responder script(
        [&](const std::wstring& t, const std::wstring& c, UINT ty) {
            text = t;
            caption = c;
            type = ty;
            return IDNO;
        });
    EXPECT_EQ(AfxGetInstanceHandle(), GetModuleHandleW(nullptr));
    EXPECT_EQ(AfxMessageBox(L"Error updating task info", MB_ICONERROR), IDNO);
    EXPECT_EQ(caption, L"platform_classlib_tests");
    EXPECT_EQ(type, MB_ICONERROR);
    win_dialogs::register_strings(AfxGetInstanceHandle(),
                                  {{AFX_IDS_APP_TITLE, L"Calvimora"}, {2000, L"Logoff anyway?"}});
    EXPECT_EQ(AfxMessageBox(2000, MB_YESNO | MB_ICONEXCLAMATION), IDNO);
    EXPECT_EQ(text, L"Logoff anyway?");
    EXPECT_EQ(caption, L"Calvimora");
    EXPECT_EQ(type, MB_YESNO | MB_ICONEXCLAMATION);
}

}  // namespace

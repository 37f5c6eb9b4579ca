// The edit control and the class library's window objects.
#include <cwctype>
#include <string>

#include "win/atl_window.h"
#include "windowing/tests/user_test_support.h"

namespace {

using user_test::test_window;

class EditControl : public user_test::UserTest {
protected:
    void SetUp() override {
        parent = std::make_unique<test_window>(test_window::with().styled(WS_OVERLAPPEDWINDOW));
        edit = CreateWindowExW(0, WC_EDITW, L"", WS_CHILD | WS_VISIBLE, 10, 10, 100, 20,
                               parent->hwnd(), reinterpret_cast<HMENU>(7), nullptr, nullptr);
        ASSERT_NE(edit, nullptr);
    }
    void type(const std::wstring& characters) {
        for (wchar_t c : characters) SendMessageW(edit, WM_CHAR, c, 0);
    }
    std::pair<DWORD, DWORD> selection() {
        DWORD start = 99, end = 99;
        SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                     reinterpret_cast<LPARAM>(&end));
        return {start, end};
    }
    size_t changes() {
        size_t count = 0;
        for (const user_test::received& r : parent->log())
            if (r.message == WM_COMMAND && HIWORD(r.wparam) == EN_CHANGE && LOWORD(r.wparam) == 7)
                ++count;
        return count;
    }

    std::unique_ptr<test_window> parent;
    HWND edit = nullptr;
};

TEST_F(EditControl, TypingGoesInAtTheCaretAndReplacesASelection) {
    type(L"12.5");
    EXPECT_EQ(win_test::text(edit), L"12.5");
    EXPECT_EQ(selection(), std::make_pair(DWORD{4}, DWORD{4}));
    EXPECT_EQ(changes(), 4u);

    SendMessageW(edit, EM_SETSEL, 1, 3);  // "2."
    type(L"9");
    EXPECT_EQ(win_test::text(edit), L"195");
    EXPECT_EQ(selection(), std::make_pair(DWORD{2}, DWORD{2}));

    // Backspace takes the character before the caret, or the selection.
    SendMessageW(edit, WM_CHAR, VK_BACK, 0);
    EXPECT_EQ(win_test::text(edit), L"15");
    SendMessageW(edit, EM_SETSEL, 0, -1);
    EXPECT_EQ(selection(), std::make_pair(DWORD{0}, DWORD{2}));
    SendMessageW(edit, WM_CHAR, VK_BACK, 0);
    EXPECT_EQ(win_test::text(edit), L"");
    SendMessageW(edit, WM_CHAR, VK_BACK, 0);  // nothing left to take
    EXPECT_EQ(win_test::text(edit), L"");

    // Control characters other than Backspace type nothing.
    SendMessageW(edit, WM_CHAR, L'\t', 0);
    EXPECT_EQ(win_test::text(edit), L"");
}

TEST_F(EditControl, APasteReplacesTheSelectionAndNewTextPutsTheCaretFirst) {
    SetWindowTextW(edit, L"abcdef");
    EXPECT_EQ(selection(), std::make_pair(DWORD{0}, DWORD{0}));
    SendMessageW(edit, EM_SETSEL, 4, 2);  // either order
    EXPECT_EQ(selection(), std::make_pair(DWORD{2}, DWORD{4}));
    SendMessageW(edit, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(L"-1,5"));
    EXPECT_EQ(win_test::text(edit), L"ab-1,5ef");
    EXPECT_EQ(selection(), std::make_pair(DWORD{6}, DWORD{6}));
    // Beyond the end means the end; -1 as the start keeps only the caret.
    SendMessageW(edit, EM_SETSEL, 3, 100);
    EXPECT_EQ(selection(), std::make_pair(DWORD{3}, DWORD{8}));
    SendMessageW(edit, EM_SETSEL, static_cast<WPARAM>(-1), 0);
    EXPECT_EQ(selection(), std::make_pair(DWORD{8}, DWORD{8}));

    // A read-only edit takes no typing, from keys or characters; a text
    // set from outside it still takes.
    SetWindowLongW(edit, GWL_STYLE, GetWindowLongW(edit, GWL_STYLE) | ES_READONLY);
    type(L"x");
    ShowWindow(parent->hwnd(), SW_SHOW);
    SetFocus(edit);
    for (const UINT key : {UINT{'Y'}, UINT{VK_BACK}}) {
        win_test::press_key(key);
        win_test::pump();
        EXPECT_EQ(win_test::text(edit), L"ab-1,5ef") << key;
    }
    SetWindowTextW(edit, L"set");
    EXPECT_EQ(win_test::text(edit), L"set");
}

// As typing does, a text set from outside tells the parent, so a dialog
// that fills its edits must tell its own filling from the person's typing;
// a multi-line edit says nothing of a text set from outside.
TEST_F(EditControl, ASetTextTellsTheParentOfASingleLineEditOnly) {
    SetWindowTextW(edit, L"abc");
    EXPECT_EQ(changes(), 1u);
    SetDlgItemTextW(parent->hwnd(), 7, L"abc");
    EXPECT_EQ(changes(), 2u) << "the same text again is a change too";

    HWND lines =
        CreateWindowExW(0, WC_EDITW, L"", WS_CHILD | WS_VISIBLE | ES_MULTILINE, 10, 40, 100, 40,
                        parent->hwnd(), reinterpret_cast<HMENU>(8), nullptr, nullptr);
    ASSERT_NE(lines, nullptr);
    const auto changes_of_lines = [&] {
        size_t count = 0;
        for (const user_test::received& r : parent->log())
            if (r.message == WM_COMMAND && HIWORD(r.wparam) == EN_CHANGE && LOWORD(r.wparam) == 8)
                ++count;
        return count;
    };
    SetWindowTextW(lines, L"one\r\ntwo");
    EXPECT_EQ(changes_of_lines(), 0u);
    SendMessageW(lines, WM_CHAR, L'x', 0);
    EXPECT_EQ(changes_of_lines(), 1u) << "typing still tells";
}

// A window object of its own class that counts clicks, and one that
// subclasses an edit control to turn every typed character into upper case.
class counting_window : public CWindowImpl<counting_window> {
public:
    static LPCWSTR GetWndClassName() { return L"CalvimoraTestCounting"; }
    BOOL ProcessWindowMessage(HWND, UINT message, WPARAM, LPARAM, LRESULT& result, DWORD) override {
        if (message == WM_LBUTTONDOWN) {
            ++clicks;
            result = 0;
            return TRUE;
        }
        if (message == WM_CREATE) created_with_handle = m_hWnd != nullptr;
        return FALSE;
    }
    void OnFinalMessage(HWND) override { final_message = true; }

    int clicks = 0;
    bool created_with_handle = false;
    bool final_message = false;
};

class shouting_edit : public CWindowImpl<shouting_edit> {
public:
    BOOL ProcessWindowMessage(HWND, UINT message, WPARAM wparam, LPARAM lparam, LRESULT& result,
                              DWORD) override {
        if (message != WM_CHAR) return FALSE;
        result = DefWindowProc(message, std::towupper(static_cast<wint_t>(wparam)), lparam);
        return TRUE;
    }
};

using ClassLibraryWindows = EditControl;

TEST_F(ClassLibraryWindows, AWindowObjectGetsItsOwnWindowsMessagesFromCreationToTheEnd) {
    counting_window window;
    ASSERT_NE(window.Create(parent->hwnd(), RECT{0, 0, 50, 50}, L"counting", WS_CHILD | WS_VISIBLE),
              nullptr);
    EXPECT_TRUE(window.created_with_handle);
    SendMessageW(window, WM_LBUTTONDOWN, 0, 0);
    EXPECT_EQ(window.clicks, 1);
    EXPECT_EQ(win_test::text(window), L"counting");  // WM_SETTEXT went to the default
    HWND handle = window;
    DestroyWindow(handle);
    EXPECT_TRUE(window.final_message);
    EXPECT_EQ(window.m_hWnd, nullptr);
}

TEST_F(ClassLibraryWindows, ASubclassingObjectSeesTheControlsMessagesUntilItLetsGo) {
    {
        shouting_edit shouting;
        ASSERT_TRUE(shouting.SubclassWindow(edit));
        EXPECT_FALSE(shouting_edit().SubclassWindow(edit)) << "one object per window";
        type(L"ab");
        EXPECT_EQ(win_test::text(edit), L"AB");
    }
    // The object is gone and the control works as before.
    type(L"c");
    EXPECT_EQ(win_test::text(edit), L"ABc");
}

}  // namespace

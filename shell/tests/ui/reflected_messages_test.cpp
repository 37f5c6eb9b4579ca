// Notifications handed back to the control that sent them: each kind finds
// its control where Windows puts it (a handle, the notification header, the
// control's id), and nothing goes to a window that is not the parent's
// child or to a menu.
#include "ui/reflected_messages.h"

#include <gtest/gtest.h>

#include <vector>

#include "win/machine.h"
#include "win/process.h"
#include "win/win_test.h"

namespace {

constexpr int first_id = 601;
constexpr int second_id = 602;
constexpr LRESULT answer = 7;

// What each probe control was sent back: its id and the message.
std::vector<std::pair<int, UINT>> reflected;

LRESULT CALLBACK probe_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message >= reflected_message_base) {
        reflected.emplace_back(GetDlgCtrlID(window), message - reflected_message_base);
        return answer;
    }
    return DefWindowProcW(window, message, wparam, lparam);
}

class ReflectedMessages : public ::testing::Test {
protected:
    void SetUp() override {
        static const bool registered = [] {
            WNDCLASSEXW wc{};
            wc.cbSize = sizeof wc;
            wc.lpfnWndProc = probe_procedure;
            wc.hInstance = GetModuleHandleW(nullptr);
            wc.lpszClassName = L"CalvimoraReflectProbe";
            return RegisterClassExW(&wc) != 0;
        }();
        ASSERT_TRUE(registered);
        reflected.clear();
        parent = make(nullptr, 0, WS_POPUP);
        first = make(parent, first_id, WS_CHILD);
        second = make(parent, second_id, WS_CHILD);
        stranger = make(nullptr, first_id, WS_POPUP);
    }
    void TearDown() override {
        DestroyWindow(stranger);
        DestroyWindow(parent);
    }

    static HWND make(HWND owner, int id, DWORD style) {
        return CreateWindowExW(0, L"CalvimoraReflectProbe", L"", style, 0, 0, 50, 20, owner,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                               GetModuleHandleW(nullptr), nullptr);
    }

    // Whether the parent reflected the message, and what it answered.
    bool reflect(UINT message, WPARAM wparam, LPARAM lparam, LRESULT* result = nullptr) {
        LRESULT got = 0;
        const bool sent = reflect_notification(parent, message, wparam, lparam, got);
        if (result) *result = got;
        return sent;
    }

    win_machine::scoped_root root_;
    HWND parent = nullptr;
    HWND first = nullptr;
    HWND second = nullptr;
    HWND stranger = nullptr;
};

TEST_F(ReflectedMessages, EachKindReachesItsOwnControlWithItsAnswer) {
    LRESULT result = 0;
    EXPECT_TRUE(reflect(WM_COMMAND, MAKEWPARAM(second_id, BN_CLICKED),
                        reinterpret_cast<LPARAM>(second), &result));
    EXPECT_EQ(result, answer);
    NMHDR header{first, first_id, 0};
    EXPECT_TRUE(reflect(WM_NOTIFY, first_id, reinterpret_cast<LPARAM>(&header)));
    DRAWITEMSTRUCT drawn{};
    drawn.CtlID = second_id;
    drawn.hwndItem = second;
    EXPECT_TRUE(reflect(WM_DRAWITEM, second_id, reinterpret_cast<LPARAM>(&drawn)));
    // Owner-drawn lists and boxes name their control by its id.
    EXPECT_TRUE(reflect(WM_MEASUREITEM, first_id, 0));
    EXPECT_TRUE(reflect(WM_COMPAREITEM, second_id, 0));
    EXPECT_TRUE(reflect(WM_DELETEITEM, first_id, 0));
    EXPECT_TRUE(reflect(WM_VKEYTOITEM, 0, reinterpret_cast<LPARAM>(second)));
    EXPECT_TRUE(reflect(WM_CHARTOITEM, 0, reinterpret_cast<LPARAM>(first)));
    EXPECT_TRUE(reflect(WM_CTLCOLORSTATIC, 0, reinterpret_cast<LPARAM>(first)));
    EXPECT_TRUE(reflect(WM_PARENTNOTIFY, MAKEWPARAM(WM_CREATE, second_id),
                        reinterpret_cast<LPARAM>(second)));
    EXPECT_EQ(reflected, (std::vector<std::pair<int, UINT>>{{second_id, WM_COMMAND},
                                                            {first_id, WM_NOTIFY},
                                                            {second_id, WM_DRAWITEM},
                                                            {first_id, WM_MEASUREITEM},
                                                            {second_id, WM_COMPAREITEM},
                                                            {first_id, WM_DELETEITEM},
                                                            {second_id, WM_VKEYTOITEM},
                                                            {first_id, WM_CHARTOITEM},
                                                            {first_id, WM_CTLCOLORSTATIC},
                                                            {second_id, WM_PARENTNOTIFY}}));
}

TEST_F(ReflectedMessages, NothingGoesToMenusStrangersOrForOtherMessages) {
    EXPECT_FALSE(
        reflect(WM_COMMAND, MAKEWPARAM(first_id, BN_CLICKED), reinterpret_cast<LPARAM>(stranger)))
        << "a window of the same id that is not the parent's child";
    EXPECT_FALSE(reflect(WM_COMMAND, MAKEWPARAM(40001, 0), 0)) << "a menu command";
    EXPECT_FALSE(reflect(WM_MEASUREITEM, 0, 0)) << "a menu's item";
    EXPECT_FALSE(reflect(WM_DELETEITEM, 999, 0)) << "no control of that id";
    EXPECT_FALSE(reflect(WM_PARENTNOTIFY, WM_LBUTTONDOWN, MAKELPARAM(3, 4)));
    EXPECT_FALSE(reflect(WM_SIZE, 0, 0));
    NMHDR gone{first, first_id, 0};
    DestroyWindow(first);
    EXPECT_FALSE(reflect(WM_NOTIFY, first_id, reinterpret_cast<LPARAM>(&gone)));
    EXPECT_TRUE(reflected.empty());
}

}  // namespace

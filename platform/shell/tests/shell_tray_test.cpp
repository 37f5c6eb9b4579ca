#include <cstring>
#include <string>
#include <vector>

#include "drawing/image_codecs.h"
#include "win/com.h"
#include "win/commctrl.h"
#include "win/gdiplus.h"
#include "win/shell_test.h"
#include "windowing/tests/user_test_support.h"

namespace {

using user_test::test_window;

// Every test leaves the tray as it found it: the icons it left behind go.
class Tray : public user_test::UserTest {
protected:
    ~Tray() override { win_test::forget_tray_icons(); }
};

constexpr UINT callback = WM_USER + 1;
// The two icons' resources: pictures, as the tray program's are.
void register_icons() {
    static const std::vector<uint8_t> picture = win_gdi::encode_png(win_gdi::canvas(32, 32));
    for (WORD id : {129, 130})
        ASSERT_TRUE(win_resources::register_resource(nullptr, RT_GROUP_ICON, MAKEINTRESOURCEW(id),
                                                     picture.data(), picture.size()));
}

NOTIFYICONDATAW record(HWND window, UINT flags, HICON icon = nullptr) {
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = window;
    data.uFlags = flags;
    data.uCallbackMessage = callback;
    data.hIcon = icon;
    return data;
}

void copy_text(WCHAR* field, const std::wstring& text) {
    std::wmemcpy(field, text.c_str(), text.size() + 1);
}

TEST_F(Tray, IconsAreAddedChangedAndRemovedByTheirWindowAndId) {
    register_icons();
    test_window window;
    HICON logged_out = LoadIconW(nullptr, MAKEINTRESOURCEW(129));
    HICON logged_in = LoadIconW(nullptr, MAKEINTRESOURCEW(130));
    ASSERT_NE(logged_out, nullptr);

    NOTIFYICONDATAW data = record(window.hwnd(), NIF_MESSAGE | NIF_ICON, logged_out);
    ASSERT_TRUE(Shell_NotifyIconW(NIM_ADD, &data));
    EXPECT_FALSE(Shell_NotifyIconW(NIM_ADD, &data));  // there already
    data.hIcon = logged_in;
    data.uFlags = NIF_ICON;
    EXPECT_TRUE(Shell_NotifyIconW(NIM_MODIFY, &data));
    EXPECT_TRUE(Shell_NotifyIconW(NIM_MODIFY, &data));  // the same again: nothing to journal

    auto icon = win_test::find_tray_icon(window.hwnd(), 0);
    ASSERT_TRUE(icon);
    EXPECT_EQ(icon->icon_id, 130);
    EXPECT_EQ(icon->callback_message, callback);  // kept: the flags did not name it
    EXPECT_EQ(icon->modifications, 2);

    NOTIFYICONDATAW other = record(window.hwnd(), NIF_ICON, logged_out);
    other.uID = 7;
    EXPECT_FALSE(Shell_NotifyIconW(NIM_MODIFY, &other));
    EXPECT_FALSE(Shell_NotifyIconW(NIM_DELETE, &other));
    other.hWnd = reinterpret_cast<HWND>(0x1234);
    EXPECT_FALSE(Shell_NotifyIconW(NIM_ADD, &other));
    other.hWnd = window.hwnd();
    other.cbSize = sizeof other - 4;
    EXPECT_FALSE(Shell_NotifyIconW(NIM_ADD, &other));

    EXPECT_TRUE(Shell_NotifyIconW(NIM_DELETE, &data));
    EXPECT_FALSE(Shell_NotifyIconW(NIM_DELETE, &data));
    EXPECT_TRUE(win_test::tray_icons().empty());

    std::vector<std::string> operations;
    for (const auto& r : win_test::tray_journal())
        operations.push_back(r.operation + (r.succeeded ? "" : " failed"));
    EXPECT_EQ(operations,
              (std::vector<std::string>{"add", "add failed", "modify", "modify failed",
                                        "delete failed", "add failed", "delete", "delete failed"}));
    EXPECT_EQ(win_test::tray_journal()[2].icon_id, 130);
    DestroyIcon(logged_out);
    DestroyIcon(logged_in);
}

TEST_F(Tray, TextsAreTakenUpToTheirZeroAndCutToTheirFields) {
    test_window window;
    NOTIFYICONDATAW data = record(window.hwnd(), NIF_TIP | NIF_INFO);
    std::wmemset(data.szTip, L't', 128);  // no zero at all
    std::wmemset(data.szInfo, L'i', 256);
    copy_text(data.szInfoTitle, L"Title");
    data.uTimeout = 30000;
    data.dwInfoFlags = NIIF_INFO;
    ASSERT_TRUE(Shell_NotifyIconW(NIM_ADD, &data));
    const auto icon = win_test::find_tray_icon(window.hwnd(), 0);
    ASSERT_TRUE(icon && icon->balloon);
    EXPECT_EQ(icon->tip, std::wstring(127, L't'));
    EXPECT_EQ(icon->balloon->text, std::wstring(255, L'i'));
    EXPECT_EQ(icon->balloon->title, L"Title");
    EXPECT_EQ(icon->balloon->flags, NIIF_INFO);
    const auto journal = win_test::tray_journal();
    ASSERT_EQ(journal.size(), 1u);
    EXPECT_EQ(journal[0].info, std::string(255, 'i'));
    EXPECT_EQ(journal[0].timeout_ms, 30000u);
}

TEST_F(Tray, BalloonsLastUntilTheyAreHiddenReplacedOrEnded) {
    test_window window;
    NOTIFYICONDATAW data = record(window.hwnd(), NIF_MESSAGE);
    ASSERT_TRUE(Shell_NotifyIconW(NIM_ADD, &data));
    EXPECT_FALSE(win_test::tray_icon_event(window.hwnd(), 0, NIN_BALLOONTIMEOUT));  // none up

    data.uFlags = NIF_INFO;
    copy_text(data.szInfo, L"First");
    data.uTimeout = 5000;  // raised to the shortest time-out
    ASSERT_TRUE(Shell_NotifyIconW(NIM_MODIFY, &data));
    EXPECT_EQ(win_test::find_tray_icon(window.hwnd(), 0)->balloon->timeout_ms, 10000u);
    copy_text(data.szInfo, L"First");
    data.uTimeout = 90000;                              // cut to the longest
    ASSERT_TRUE(Shell_NotifyIconW(NIM_MODIFY, &data));  // the same text again is a new balloon
    auto icon = win_test::find_tray_icon(window.hwnd(), 0);
    EXPECT_EQ(icon->balloon->timeout_ms, 30000u);
    EXPECT_EQ(icon->balloons_shown, 2);

    ASSERT_TRUE(win_test::tray_icon_event(window.hwnd(), 0, NIN_BALLOONUSERCLICK));
    icon = win_test::find_tray_icon(window.hwnd(), 0);
    EXPECT_FALSE(icon->balloon);
    EXPECT_EQ(icon->last_balloon->text, L"First");
    ASSERT_TRUE(win_test::pump());
    const auto log = window.log();
    const auto click =
        std::find_if(log.begin(), log.end(), [](const auto& r) { return r.message == callback; });
    ASSERT_NE(click, log.end());
    EXPECT_EQ(click->wparam, 0u);
    EXPECT_EQ(click->lparam, static_cast<LPARAM>(NIN_BALLOONUSERCLICK));

    copy_text(data.szInfo, L"Second");
    ASSERT_TRUE(Shell_NotifyIconW(NIM_MODIFY, &data));
    copy_text(data.szInfo, L"");
    ASSERT_TRUE(Shell_NotifyIconW(NIM_MODIFY, &data));
    icon = win_test::find_tray_icon(window.hwnd(), 0);
    EXPECT_FALSE(icon->balloon);
    EXPECT_EQ(icon->last_balloon->text, L"Second");

    // Mouse events need no balloon.
    EXPECT_TRUE(win_test::tray_icon_event(window.hwnd(), 0, WM_RBUTTONUP));
    ASSERT_TRUE(win_test::pump());
    EXPECT_EQ(window.log().back().lparam, static_cast<LPARAM>(WM_RBUTTONUP));
}

TEST_F(Tray, ARefusingOrForgetfulShellLeavesOnlyTheWayBackThroughAdding) {
    test_window window;
    NOTIFYICONDATAW data = record(window.hwnd(), NIF_TIP);
    copy_text(data.szTip, L"one");
    ASSERT_TRUE(Shell_NotifyIconW(NIM_ADD, &data));
    win_test::set_tray_modify_refused(true);
    copy_text(data.szTip, L"two");
    EXPECT_FALSE(Shell_NotifyIconW(NIM_MODIFY, &data));
    EXPECT_FALSE(Shell_NotifyIconW(NIM_ADD, &data));
    EXPECT_EQ(win_test::find_tray_icon(window.hwnd(), 0)->tip, L"one");
    win_test::set_tray_modify_refused(false);

    win_test::forget_tray_icons();
    EXPECT_FALSE(Shell_NotifyIconW(NIM_MODIFY, &data));
    EXPECT_TRUE(Shell_NotifyIconW(NIM_ADD, &data));
    EXPECT_EQ(win_test::find_tray_icon(window.hwnd(), 0)->tip, L"two");
}

TEST_F(Tray, IconHandlesAreCountedAndFreedOnce) {
    register_icons();
    const int before = win_icons::live_icons();
    SetLastError(0);
    EXPECT_EQ(LoadIconW(nullptr, MAKEINTRESOURCEW(131)), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_NAME_NOT_FOUND));
    HICON first = LoadIconW(nullptr, MAKEINTRESOURCEW(129));
    HICON second = LoadIconW(nullptr, MAKEINTRESOURCEW(129));
    EXPECT_NE(first, second);
    EXPECT_EQ(win_icons::live_icons(), before + 2);
    EXPECT_TRUE(DestroyIcon(first));
    EXPECT_FALSE(DestroyIcon(first));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_ICON_HANDLE));
    EXPECT_EQ(win_icons::resource_id(first), 0);
    EXPECT_EQ(win_icons::resource_id(second), 129);
    EXPECT_TRUE(DestroyIcon(second));
    EXPECT_EQ(win_icons::live_icons(), before);

    HICON standard = LoadIconW(nullptr, IDI_INFORMATION);
    EXPECT_EQ(win_icons::resource_id(standard), 32516);
    EXPECT_TRUE(DestroyIcon(standard));
    EXPECT_EQ(LoadIconW(nullptr, IDI_INFORMATION), standard);
}

TEST_F(Tray, ExecutionsAreJournalledAndNothingRuns) {
    const std::wstring folder =
        L"::{20D04FE0-3AEA-1069-A2D8-08002B30309D}\\::{6F1E3C52-9B0A-4D7E-8C11-2A5B7D9E0F13}";
    EXPECT_EQ(reinterpret_cast<intptr_t>(
                  ShellExecuteW(nullptr, L"open", folder.c_str(), nullptr, nullptr, SW_SHOWNORMAL)),
              42);
    EXPECT_EQ(reinterpret_cast<intptr_t>(ShellExecuteW(
                  nullptr, nullptr, L"https://example.org/n?a=1", L"-x", L"C:\\Temp", SW_SHOW)),
              42);
    EXPECT_EQ(reinterpret_cast<intptr_t>(ShellExecuteW(nullptr, L"open", L"", nullptr, nullptr, 1)),
              SE_ERR_FNF);

    const BYTE list[] = {4, 0, 0xAB, 0xCD, 0, 0};
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_INVOKEIDLIST | SEE_MASK_NOCLOSEPROCESS;
    info.lpIDList = const_cast<BYTE*>(list);
    info.nShow = SW_SHOWNORMAL;
    info.hProcess = reinterpret_cast<HANDLE>(1);
    EXPECT_TRUE(ShellExecuteExW(&info));
    EXPECT_EQ(reinterpret_cast<intptr_t>(info.hInstApp), 42);
    EXPECT_EQ(info.hProcess, nullptr);
    info.fMask = 0;  // the list does not count without its flag
    EXPECT_FALSE(ShellExecuteExW(&info));
    info.cbSize = 0;
    EXPECT_FALSE(ShellExecuteExW(&info));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));

    const auto journal = win_test::shell_executions();
    ASSERT_EQ(journal.size(), 5u);
    EXPECT_EQ(journal[0].verb, "open");
    EXPECT_EQ(journal[0].file, std::string(folder.begin(), folder.end()));
    EXPECT_EQ(journal[0].show, SW_SHOWNORMAL);
    EXPECT_EQ(journal[1].verb, "");
    EXPECT_EQ(journal[1].parameters, "-x");
    EXPECT_EQ(journal[1].directory, "C:\\Temp");
    EXPECT_EQ(journal[2].result, SE_ERR_FNF);
    EXPECT_EQ(journal[3].id_list, "0400abcd");
    EXPECT_EQ(journal[3].result, 42);
    EXPECT_EQ(journal[4].result, SE_ERR_FNF);
}

// What the tray program's start-up and main loop call before anything is
// shown, in its order.
TEST_F(Tray, TheCallsOfTheStartUpAnswerAsTheProgramExpects) {
    INITCOMMONCONTROLSEX controls{sizeof controls, 0xFF};
    EXPECT_TRUE(InitCommonControlsEx(&controls));
    controls.dwSize = 4;
    EXPECT_FALSE(InitCommonControlsEx(&controls));

    ULONG_PTR token = 0;
    Gdiplus::GdiplusStartupInput input;
    EXPECT_EQ(Gdiplus::GdiplusStartup(&token, &input, nullptr), Gdiplus::Ok);
    Gdiplus::GdiplusShutdown(token);
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
    CoUninitialize();

    wchar_t path[260];
    const DWORD length = GetModuleFileNameW(nullptr, path, 260);
    ASSERT_GT(length, 0u);
    const std::wstring module(path, length);
    EXPECT_EQ(module.substr(module.rfind(L'\\') + 1), L"platform_shell_tests");

    WNDCLASSW wc{};
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"Calvimora tray menu";
    ASSERT_NE(RegisterClassW(&wc), 0);
    EXPECT_EQ(RegisterClassW(&wc), 0);  // once per module
    HWND hidden = CreateWindowW(L"Calvimora tray menu", L"Calvimora tray menu", 0, CW_USEDEFAULT,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(hidden, nullptr);
    EXPECT_FALSE(IsWindowVisible(hidden));

    // The progress window goes into the bottom-right corner of the work area
    // of the monitor nearest to the hidden window.
    RECT at;
    GetWindowRect(hidden, &at);
    MONITORINFO info{};
    info.cbSize = sizeof info;
    ASSERT_TRUE(GetMonitorInfoW(MonitorFromRect(&at, MONITOR_DEFAULTTONEAREST), &info));
    EXPECT_GE(info.rcWork.right - info.rcWork.left, 400);
    EXPECT_GE(info.rcWork.bottom - info.rcWork.top, 220);
    EXPECT_TRUE(DestroyWindow(hidden));
}

}  // namespace

#include <memory>
#include <vector>

#include "shell/shell_tray_commands.h"
#include "win/shell_notify_icon.h"
#include "win/shell_test.h"
#include "windowing/tests/user_test_support.h"

namespace {

using TrayCommands = user_test::UserTest;

constexpr UINT callback = WM_APP + 3;

NOTIFYICONDATAW icon_of(HWND window) {
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = window;
    data.uFlags = NIF_MESSAGE;
    data.uCallbackMessage = callback;
    return data;
}

std::vector<LPARAM> events_of(const user_test::test_window& window) {
    std::vector<LPARAM> seen;
    for (const user_test::received& r : window.log())
        if (r.message == callback) seen.push_back(r.lparam);
    return seen;
}

// An icon whose window has gone stays in the tray, as on Windows, but a
// person's command goes to the icon of a window that is still there.
TEST_F(TrayCommands, ACommandGoesToTheFirstIconWhoseWindowIsStillThere) {
    win_test::forget_tray_icons();
    auto gone = std::make_unique<user_test::test_window>();
    NOTIFYICONDATAW ghost = icon_of(gone->hwnd());
    ASSERT_TRUE(Shell_NotifyIconW(NIM_ADD, &ghost));
    gone.reset();
    EXPECT_FALSE(win_shell::run_tray_command("c")) << "no icon anybody can use";

    user_test::test_window owner;
    NOTIFYICONDATAW data = icon_of(owner.hwnd());
    ASSERT_TRUE(Shell_NotifyIconW(NIM_ADD, &data));
    ASSERT_EQ(win_test::tray_icons().size(), 2u);
    EXPECT_TRUE(win_shell::run_tray_command("m"));
    EXPECT_TRUE(win_shell::run_tray_command("c"));
    EXPECT_FALSE(win_shell::run_tray_command("x")) << "no command";
    ASSERT_TRUE(win_test::pump_until([&] { return events_of(owner).size() == 2; }));
    EXPECT_EQ(events_of(owner), (std::vector<LPARAM>{WM_RBUTTONUP, WM_LBUTTONDOWN}));
    Shell_NotifyIconW(NIM_DELETE, &data);
    Shell_NotifyIconW(NIM_DELETE, &ghost);
}

}  // namespace

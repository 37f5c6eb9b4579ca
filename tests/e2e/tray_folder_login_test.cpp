// The tray program's "Log In" with nobody logged in: it opens the virtual
// folder through the desktop folder, which binds the real shell extension
// through the registry; the extension asks for the login with its dialog,
// and once that logged in, the tray program's next tick follows.
#include <boost/filesystem/operations.hpp>
#include <fstream>
#include <sstream>

#include "shell_host.h"
#include "tray_process_support.h"
#include "utils/named_mutex.h"
#include "win/kernel.h"
#include "win/test_journal.h"
#include "win/user.h"
#include "win/win_test.h"

namespace tray_process_testing {
namespace {

const std::wstring extension(CALVIMORA_MODULE, CALVIMORA_MODULE + sizeof CALVIMORA_MODULE - 1);

std::string read_file(const fs::path& path) {
    std::ifstream in(path.string(), std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

bool login_dialog_answered() {
    for (const win_test::dialog_record& dialog : win_test::dialogs())
        if (dialog.template_name == "300" && dialog.answered_by == "file" && dialog.result == IDOK)
            return true;
    return false;
}

using TrayFolderLogin = TrayProcessTest;

TEST_F(TrayFolderLogin, LogInFromTheMenuShowsTheExtensionsDialogAndTheTrayFollows) {
    ASSERT_EQ(shell_host::register_server(extension), S_OK);
    set_setting(L"AutoLogin", 0);
    service_.add_file(user_id_, documents_id_, "from-the-service.txt", "remote bytes");
    answer(
        "menu Log In => 32771\n"
        "dialog 300 => text 301 alice; text 302 s3cret; press 1\n");

    tray_process tray;
    ASSERT_TRUE(eventually([] { return last_tray_icon() == 129; })) << "nobody is logged in";
    PostMessageW(tray_window(), WM_USER + 1, 0, WM_RBUTTONUP);
    ASSERT_TRUE(eventually([] {
        const auto menus = win_test::menus();
        return !menus.empty() && menus.back().chosen == 32771;
    }));
    EXPECT_TRUE(eventually(login_dialog_answered)) << "the extension's login dialog";
    EXPECT_TRUE(eventually([] { return last_tray_icon() == 130; })) << "the icon follows";
    EXPECT_TRUE(session_handler_runs());
    // The manager of the logged-in user syncs the folder pair.
    EXPECT_TRUE(
        eventually([&] { return read_file(local("from-the-service.txt")) == "remote bytes"; }));
    // And the folder was opened for the person.
    EXPECT_TRUE(eventually([] {
        for (const auto& execution : win_test::shell_executions())
            if (execution.verb == "open" &&
                execution.file.find("::{B7C2E4A9-5D13-4F86-A0E2-7C9D1B3F5E48}") !=
                    std::string::npos)
                return true;
        return false;
    }));
}

bool login_was_requested(calvimora::testing::service& service) {
    for (const auto& request : service.requests())
        if (request.action == "login") return true;
    return false;
}

// A login dialog opened in the session keeps the automatic log-in away for
// the rest of it, also from a tray program started after the one whose
// "Log In" showed the dialog has ended.
TEST_F(TrayFolderLogin, ALoginDialogOfTheSessionKeepsLaterTrayStartsFromLoggingIn) {
    ASSERT_EQ(shell_host::register_server(extension), S_OK);
    set_setting(L"AutoLogin", 0);
    // The dialog has no Cancel button: a login that fails, and the dialog
    // ends unanswered.
    answer(
        "menu Log In => 32771\n"
        "dialog 300 => text 301 alice; text 302 wrong; press 1\n");
    {
        tray_process first;
        ASSERT_TRUE(eventually([] { return last_tray_icon() == 129; }));
        PostMessageW(tray_window(), WM_USER + 1, 0, WM_RBUTTONUP);
        ASSERT_TRUE(eventually([] {
            for (const win_test::dialog_record& dialog : win_test::dialogs())
                if (dialog.template_name == "300" && dialog.result == IDCANCEL) return true;
            return false;
        })) << "the login dialog, opened without automatic log-in, failed and left";
    }
    ASSERT_FALSE(tray_mutex_exists());
    // The mark of the dialog is still there once its tray program is gone.
    const HANDLE mark = OpenEventW(SYNCHRONIZE, FALSE, L"Local\\CMV_LOGIN_DLG_EVENT");
    EXPECT_NE(mark, nullptr);
    if (mark) {
        EXPECT_EQ(WaitForSingleObject(mark, 0), WAIT_OBJECT_0);
        CloseHandle(mark);
    }

    // Automatic log-in asked for again, with a saved login that works: only
    // the mark of the dialog keeps the next tray program from using it. The
    // login mutex held here keeps its attempt waiting until the program
    // shows that it tries.
    set_setting(L"AutoLogin", 1);
    service_.requests(true);
    utils::named_mutex login_mutex(L"Local\\CMV_LOGIN_MUTEX");
    login_mutex.lock();
    tray_process second;
    const bool waiting = eventually([] { return last_tray_icon() == 130; });
    login_mutex.unlock();
    ASSERT_TRUE(waiting) << "the automatic log-in never began";
    EXPECT_TRUE(
        eventually([&] { return last_tray_icon() == 129 || login_was_requested(service_); }));
    EXPECT_EQ(last_tray_icon(), 129);
    EXPECT_FALSE(login_was_requested(service_)) << "the second tray program logged in by itself";
}

}  // namespace
}  // namespace tray_process_testing

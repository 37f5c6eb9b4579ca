// The tray program's "Log In" with nobody logged in: it opens the virtual
// folder through the desktop folder, which binds the real shell extension
// through the registry; the extension asks for the login with its dialog,
// and once that logged in, the tray program's next tick follows.
#include <boost/filesystem/operations.hpp>
#include <fstream>
#include <sstream>

#include "shell_host.h"
#include "tray_process_support.h"
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

}  // namespace
}  // namespace tray_process_testing

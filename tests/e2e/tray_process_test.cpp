// The tray program as a process of the log-on session: it logs in by
// itself, syncs the user's folder pair and shows the service's
// notifications; it is installed, uninstalled and logged out as a person
// and the installer would do it.
#include <boost/filesystem/operations.hpp>
#include <fstream>
#include <sstream>
#include <thread>

#include "tray_process_support.h"
#include "win/kernel.h"
#include "win/test_journal.h"
#include "win/user.h"
#include "win/win_test.h"

namespace tray_process_testing {
namespace {

std::string read_file(const fs::path& path) {
    std::ifstream in(path.string(), std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

void write_file(const fs::path& path, const std::string& content) {
    std::ofstream(path.string(), std::ios::binary) << content;
}

bool box_answered(const std::string& text, int answer) {
    for (const win_test::message_box& box : win_test::message_boxes())
        if (box.text == text && box.answer == answer && box.answered_by == "file") return true;
    return false;
}

using TrayProcess = TrayProcessTest;

TEST_F(TrayProcess, LogsInBySavedLoginSyncsThePairAndShowsTheNotifications) {
    service_.add_file(user_id_, documents_id_, "from-the-service.txt", "remote bytes");
    service_.add_notification(user_id_, "Welcome", "Your storage is ready.",
                              "https://example.com/welcome");
    write_file(local("from-this-computer.txt"), "local bytes");

    tray_process tray;
    ASSERT_TRUE(eventually([] { return last_tray_icon() == 130; })) << "never logged in";
    EXPECT_TRUE(eventually([] { return balloon_was_shown("Welcome"); }));
    EXPECT_TRUE(session_handler_runs());

    const fs::path downloaded = local("from-the-service.txt");
    EXPECT_TRUE(eventually([&] { return read_file(downloaded) == "remote bytes"; }));
    EXPECT_TRUE(eventually([&] { return remote_has("from-this-computer.txt"); }));
    EXPECT_EQ(setting(L"AutoLogin"), 1u);
}

TEST_F(TrayProcess, InstallsAndUninstallsWhileItRuns) {
    tray_process install(L"/Install");
    EXPECT_EQ(install.wait(), 0u);
    ASSERT_TRUE(run_entry());
    EXPECT_EQ(run_entry()->substr(run_entry()->rfind(L'\\') + 1), L"Calvimora_Tray");

    tray_process tray;
    ASSERT_TRUE(eventually([] { return last_tray_icon() == 130 && tray_window() != nullptr; }));

    tray_process uninstall(L"/Uninstall");
    EXPECT_EQ(uninstall.wait(), 0u);
    // It logged off: the session handler cleared the automatic log-in and
    // ended, and the running tray program ended through its window.
    EXPECT_EQ(tray.wait(std::chrono::seconds(30)), 0u);
    EXPECT_FALSE(run_entry());
    EXPECT_TRUE(eventually([] { return !session_handler_runs(); }));
    EXPECT_EQ(setting(L"AutoLogin"), 0u);
    EXPECT_FALSE(tray_mutex_exists());
    EXPECT_TRUE(win_test::message_boxes().empty());
}

TEST_F(TrayProcess, UninstallWithNoTrayRunningStartsNone) {
    win_test::clear_tray_journal();
    tray_process uninstall(L"/Uninstall");
    EXPECT_EQ(uninstall.wait(), 0u);
    EXPECT_FALSE(tray_mutex_exists());
    EXPECT_TRUE(win_test::tray_journal().empty()) << "a tray program ran";
    EXPECT_FALSE(session_handler_runs());
}

TEST_F(TrayProcess, ASecondInstanceEndsAtOnceAndSilently) {
    set_setting(L"AutoLogin", 0);
    tray_process first;
    ASSERT_TRUE(eventually([] { return tray_window() != nullptr; }));
    tray_process second;
    EXPECT_EQ(second.wait(), 0u);
    EXPECT_TRUE(win_test::message_boxes().empty());
    EXPECT_EQ(first.wait(std::chrono::seconds(0)), std::nullopt) << "the first one ended";
}

TEST_F(TrayProcess, LogOutFromTheMenuAsksLogsOffAndEndsTheSync) {
    // A download that stalls keeps a task running when the person logs out.
    service_.add_generated_file(user_id_, documents_id_, "large.bin", 2 << 20);
    calvimora::testing::transfer_fault stall;
    stall.direction = "download";
    stall.kind = "stall";
    stall.after = 4096;
    stall.seconds = 5;
    service_.arm(stall);
    answer("menu Log Out => 32772\nbox Logoff anyway => yes\n");

    tray_process tray;
    ASSERT_TRUE(eventually([] { return last_tray_icon() == 130; }));
    ASSERT_TRUE(eventually([&] {
        for (const auto& command : service_.transfer_commands())
            if (command.command == "RETR") return true;
        return false;
    })) << "the download never started";

    // The shell tells the program that the person right-clicked its icon.
    PostMessageW(tray_window(), WM_USER + 1, 0, WM_RBUTTONUP);
    ASSERT_TRUE(eventually([] {
        const auto menus = win_test::menus();
        return !menus.empty() && menus.back().chosen == 32772;
    }));
    EXPECT_TRUE(eventually([] {
        return box_answered("Calvimora still has synchronization tasks queued. Logoff anyway?",
                            IDYES);
    }));
    // Logged off: the session handler cleared the automatic log-in and the
    // icon shows nobody logged in; the program itself runs on.
    EXPECT_TRUE(eventually([] { return !session_handler_runs(); }));
    EXPECT_EQ(setting(L"AutoLogin"), 0u);
    EXPECT_TRUE(eventually([] { return last_tray_icon() == 129; }));
    EXPECT_EQ(tray.wait(std::chrono::seconds(0)), std::nullopt);

    // No manager is left: past the time of a scan nothing asks the service.
    service_.requests(true);
    std::this_thread::sleep_for(std::chrono::seconds(4));
    EXPECT_TRUE(service_.requests().empty());
    EXPECT_FALSE(fs::exists(local("large.bin")));
}

}  // namespace
}  // namespace tray_process_testing

// The sharing page of a folder's sheet as a person uses it on the terminal
// of the shell host: what the list prints of each row, and the folder's
// state after sharing and saving, against the stand-in service.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <thread>

#include "shell_host.h"
#include "terminal_browser.h"
#include "terminal_person.h"
#include "utils/class_ids.h"
#include "vfs/session.h"
#include "vfs_session_support.h"

namespace {

using namespace vfs_session_testing;

const std::wstring module_path(CALVIMORA_MODULE, CALVIMORA_MODULE + sizeof CALVIMORA_MODULE - 1);
const std::string check_mark = "\xE2\x9C\x93";

// alice's folder "Docs", shared with nobody yet; bob, another user.
class ShellSharing : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(shell_host::register_server(module_path), S_OK);
        ASSERT_EQ(apartment_.status(), S_OK);
        auto& service = env_.service();
        alice_ = service.add_user("alice", "s3cret");
        docs_ = service.add_folder(alice_, "0", "Docs");
        bob_ = service.add_user("bob", "b0b");
        vfs_calvimora::login(test_module(), L"alice", L"s3cret");
    }
    void TearDown() override { shell_host::unload_unused_servers(); }

    // bob's mode on Docs as the service holds it; -1 when not shared.
    int bobs_mode() {
        const auto state = env_.service().control("state");
        for (const auto& [key, share] : state.get_child("shares"))
            if (share.get<std::string>("folder_id") == docs_ &&
                share.get<std::string>("user_id") == bob_)
                return share.get<int>("mode");
        return -1;
    }

    environment env_;
    tray_stand_in tray_;
    shell_host::com_apartment apartment_;
    std::string alice_, docs_, bob_;
};

TEST_F(ShellSharing, TheTerminalShowsEachRowsChecksAndThePageTheStateItSaved) {
    std::string first, typed, shared, full, saved;
    {
        terminal_testing::terminal_person person;
        std::thread answering([&] {
            first = person.next_dialog();
            if (person.choose(first, "Text [")) {
                person.type("bob");
                typed = person.next_dialog();
            }
            if (person.choose(typed, "<Share...>")) shared = person.next_dialog();
            if (person.choose(shared, "Full - other user")) full = person.next_dialog();
            if (person.choose(full, "<Save changes>")) saved = person.next_dialog();
            person.choose(saved, "<OK>");
            person.leave();
        });
        std::istringstream in("props 0 sharing\nquit\n");
        std::ostringstream out;
        EXPECT_EQ(shell_host::run_terminal_browser(utils::clsid_calvimora_folder, in, out), 0);
        answering.join();
    }
    EXPECT_NE(first.find("tab Sharing (shown)"), std::string::npos) << first;
    EXPECT_NE(first.find("\n  Not Shared\n"), std::string::npos) << first;
    // Shared with bob, who may view: his row says so, and so does the page.
    EXPECT_NE(shared.find("] bob | " + check_mark + " |  | CH / REM\n"), std::string::npos)
        << shared;
    EXPECT_NE(shared.find("\n  Shared\n"), std::string::npos) << shared;
    // Saved as Full: the check moves, and the folder stays shared.
    EXPECT_NE(saved.find("] bob |  | " + check_mark + " | CH / REM\n"), std::string::npos) << saved;
    EXPECT_NE(saved.find("\n  Shared\n"), std::string::npos) << saved;
    EXPECT_EQ(saved.find("Not Shared"), std::string::npos) << saved;
    EXPECT_EQ(bobs_mode(), 1);
}

}  // namespace

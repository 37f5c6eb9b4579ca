// Uploads through the shell host that are cut short: a cancelled replace,
// two drops racing on one name, a host process killed in the middle of an
// upload or of a replace between remote folders, and failing steps with
// nobody to answer their boxes. The real client runs against the stand-in
// service, which commits whatever a close reports, so nothing here is
// kinder than the service.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "shell_browser.h"
#include "shell_drop.h"
#include "shell_host.h"
#include "utils/class_ids.h"
#include "vfs/directory.h"
#include "vfs/file.h"
#include "vfs/session.h"
#include "vfs_session_support.h"
#include "win/progress_dialog.h"
#include "win/shell_thread.h"
#include "win/test_journal.h"
#include "win/user.h"

extern char** environ;

namespace {

using namespace vfs_session_testing;
namespace fs = std::filesystem;

const std::wstring module_path(CALVIMORA_MODULE, CALVIMORA_MODULE + sizeof CALVIMORA_MODULE - 1);

// The helper host program, run with the test's machine root and service.
class host_process {
public:
    explicit host_process(const std::vector<std::string>& arguments) {
        const std::string program = (program_folder() / "shell_drop_helper").string();
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (const std::string& argument : arguments)
            argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        if (posix_spawn(&pid_, program.c_str(), nullptr, nullptr, argv.data(), environ) != 0)
            pid_ = -1;
    }
    ~host_process() { kill(); }
    host_process(const host_process&) = delete;
    host_process& operator=(const host_process&) = delete;

    bool started() const { return pid_ > 0; }
    void kill() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
    // Whether it ended by itself before the deadline.
    bool ended(std::chrono::milliseconds deadline) {
        const bool done = wait_until(
            [&] {
                int status = 0;
                return waitpid(pid_, &status, WNOHANG) == pid_;
            },
            deadline);
        if (done) pid_ = -1;
        return done;
    }

private:
    pid_t pid_ = -1;
};

// alice's storage holds "Docs" with "kept.txt" and the folder "Alpha".
class ShellUpload : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(shell_host::register_server(module_path), S_OK);
        ASSERT_EQ(apartment_.status(), S_OK);
        auto& service = env_.service();
        user_ = service.add_user("alice", "s3cret");
        docs_ = service.add_folder(user_, "0", "Docs");
        service.add_file(user_, docs_, "kept.txt", "original");
        alpha_ = service.add_folder(user_, "0", "Alpha");
        vfs_calvimora::login(test_module(), L"alice", L"s3cret");
        local_ = fs::path(win_machine::app_data_dir()) / "dropped";
        fs::create_directories(local_);
        SHSetInstanceExplorer(&process_);
        ASSERT_EQ(browser.open(utils::clsid_calvimora_folder), S_OK);
        ASSERT_EQ(browser.list(), S_OK);
        win_test::clear_message_boxes();
    }
    void TearDown() override {
        win_test::set_progress_cancel_script(nullptr);
        EXPECT_TRUE(process_.wait_until_released(std::chrono::seconds(30)));
        SHSetInstanceExplorer(nullptr);
        browser.close();
        shell_host::unload_unused_servers();
    }

    std::wstring local_file(const std::string& name, const std::string& contents) {
        fs::create_directories((local_ / name).parent_path());
        std::ofstream(local_ / name, std::ios::binary) << contents;
        const std::string path = (local_ / name).string();
        return std::wstring(path.begin(), path.end());
    }

    vfs::directory_ptr remote_folder(const std::wstring& name) {
        auto root = vfs_calvimora::get_client(test_module())->get_root_directory();
        return boost::dynamic_pointer_cast<vfs::directory>(root->get_item(name, true));
    }
    // The names in a remote folder, as the service lists them now.
    std::vector<std::wstring> remote_names(const std::wstring& folder) {
        std::vector<std::wstring> names;
        for (const auto& item : remote_folder(folder)->list_items())
            names.push_back(item->get_name());
        std::sort(names.begin(), names.end());
        return names;
    }
    std::string remote(const std::wstring& folder, const std::wstring& name) {
        const auto file =
            boost::dynamic_pointer_cast<vfs::file>(remote_folder(folder)->get_item(name, true));
        std::string bytes;
        file->open(vfs::modeRead, 0);
        char buffer[65536];
        for (int got; (got = file->read(buffer, sizeof buffer)) > 0;) bytes.append(buffer, got);
        file->close(vfs::no_date);
        return bytes;
    }

    IDropTarget* target_of(const std::wstring& name) {
        for (const auto& item : browser.items())
            if (item.name == name) return shell_host::drop_target_of(browser.folder(), item.id);
        return nullptr;
    }
    bool requested(const std::string& action) {
        const auto log = env_.service().requests();
        return std::any_of(log.begin(), log.end(),
                           [&](const auto& request) { return request.action == action; });
    }

    environment env_;
    tray_stand_in tray_;
    shell_host::com_apartment apartment_;
    shell_host::shell_browser browser;
    win_test::process_reference process_;
    fs::path local_;
    std::string user_, docs_, alpha_;
};

TEST_F(ShellUpload, ACancelMidReplaceLeavesTheOriginalWhole) {
    env_.service().add_generated_file(user_, docs_, "big.bin", 300000, 3);
    const std::string original = remote(L"Docs", L"big.bin");
    ASSERT_EQ(original.size(), 300000u);
    win_test::scoped_message_box_responder yes(
        [](const std::wstring&, const std::wstring&, UINT) { return IDYES; });
    win_test::set_progress_cancel_script(
        [](const win_test::progress_record& state) { return state.completed >= 3 * 16384; });
    IDropTarget* docs = target_of(L"Docs");
    ASSERT_TRUE(docs);
    const auto dropped = shell_host::drop_local_files(
        docs, {local_file("big.bin", pattern(200000, 1))}, false, true);
    docs->Release();
    EXPECT_EQ(dropped.effect, DROPEFFECT_NONE);
    EXPECT_TRUE(fs::exists(local_ / "big.bin")) << "a cancelled move keeps its source";
    const std::string kept = remote(L"Docs", L"big.bin");
    EXPECT_TRUE(kept == original) << "the remote file holds " << kept.size() << " other bytes";
    EXPECT_EQ(remote_names(L"Docs"), (std::vector<std::wstring>{L"big.bin", L"kept.txt"}));
}

// Drop A uploads "shared.bin"; meanwhile drop B, a move, puts its own
// "shared.bin" there and its source is deleted; then A is cancelled.
// B's file is the only copy left of those bytes and must survive.
TEST_F(ShellUpload, ACancelledDropNeverRemovesWhatAnotherDropPutThere) {
    const std::string theirs = pattern(50000, 2);
    const std::wstring b_source = local_file("b/shared.bin", theirs);
    bool b_done = false;
    shell_host::drop_outcome b_outcome;
    win_test::scoped_message_box_responder yes(
        [](const std::wstring&, const std::wstring&, UINT) { return IDYES; });
    win_test::set_progress_cancel_script([&](const win_test::progress_record& state) {
        if (state.title != L"Copying..." || state.completed < 16384) return false;
        if (!b_done) {
            b_done = true;
            IDropTarget* docs = target_of(L"Docs");
            b_outcome = shell_host::drop_local_files(docs, {b_source}, false, true);
            docs->Release();
        }
        return true;
    });
    IDropTarget* docs = target_of(L"Docs");
    const auto a_outcome = shell_host::drop_local_files(
        docs, {local_file("a/shared.bin", pattern(100000, 1))}, false, false);
    docs->Release();
    ASSERT_TRUE(b_done);
    EXPECT_EQ(b_outcome.effect, DROPEFFECT_MOVE);
    EXPECT_FALSE(fs::exists(b_source)) << "B was a move";
    EXPECT_EQ(a_outcome.effect, DROPEFFECT_NONE);
    const auto names = remote_names(L"Docs");
    ASSERT_NE(std::find(names.begin(), names.end(), L"shared.bin"), names.end())
        << "B's file was removed";
    const std::string kept = remote(L"Docs", L"shared.bin");
    EXPECT_TRUE(kept == theirs) << "shared.bin holds " << kept.size() << " other bytes";
    EXPECT_EQ(remote_names(L"Docs"), (std::vector<std::wstring>{L"kept.txt", L"shared.bin"}));
}

TEST_F(ShellUpload, AHostKilledMidUploadLeavesNoFileUnderTheRealName) {
    calvimora::testing::transfer_fault stall;
    stall.direction = "upload";
    stall.kind = "stall";
    stall.after = 20000;
    stall.seconds = 600;
    env_.service().arm(stall);
    env_.service().transfer_commands(true);
    const std::wstring path = local_file("new.bin", pattern(100000, 4));
    host_process host({"put", "Docs", std::string(path.begin(), path.end())});
    ASSERT_TRUE(host.started());
    ASSERT_TRUE(wait_until([&] {
        const auto commands = env_.service().transfer_commands();
        return std::any_of(commands.begin(), commands.end(),
                           [](const auto& command) { return command.command == "STOR"; });
    })) << "the upload never began";
    host.kill();
    for (const std::wstring& name : remote_names(L"Docs"))
        EXPECT_NE(name, L"new.bin") << "a partial file under the real name";
}

// What a killed host was sending stays under its upload name: the next
// listing of the folder moves it to the trash, but only once no host of the
// session sends it any more.
TEST_F(ShellUpload, AFileAKilledHostWasSendingGoesToTheTrashAtTheNextListing) {
    calvimora::testing::transfer_fault stall;
    stall.direction = "upload";
    stall.kind = "stall";
    stall.after = 20000;
    stall.seconds = 600;
    env_.service().arm(stall);
    env_.service().transfer_commands(true);
    const std::wstring path = local_file("new.bin", pattern(100000, 5));
    host_process host({"put", "Docs", std::string(path.begin(), path.end())});
    ASSERT_TRUE(host.started());
    ASSERT_TRUE(wait_until([&] {
        const auto commands = env_.service().transfer_commands();
        return std::any_of(commands.begin(), commands.end(),
                           [](const auto& command) { return command.command == "STOR"; });
    })) << "the upload never began";
    const auto docs = std::find_if(browser.items().begin(), browser.items().end(),
                                   [](const auto& item) { return item.name == L"Docs"; });
    ASSERT_EQ(browser.enter(static_cast<size_t>(docs - browser.items().begin())), S_OK);
    ASSERT_EQ(browser.items().size(), 2u) << "the file being sent is left alone";
    const std::wstring sending = browser.items()[1].name;
    EXPECT_EQ(sending.substr(0, 9), L"~new.bin.");
    EXPECT_EQ(sending.substr(sending.size() - 10), L".uploading");

    host.kill();
    ASSERT_EQ(browser.list(), S_OK);
    ASSERT_EQ(browser.items().size(), 1u);
    EXPECT_EQ(browser.items()[0].name, L"kept.txt");
    EXPECT_EQ(remote_names(L"Docs"), std::vector<std::wstring>{L"kept.txt"});
    auto trash = boost::dynamic_pointer_cast<vfs::directory>(
        vfs_calvimora::get_client(test_module())->get_root_directory()->get_item(L"Trash", true));
    ASSERT_TRUE(trash);
    const auto trashed = trash->list_items();
    ASSERT_EQ(trashed.size(), 1u) << "nothing beyond undoing";
    EXPECT_EQ(trashed[0]->get_name(), sending);
}

TEST_F(ShellUpload, AReplaceThatAKilledHostLeftHalfDoneIsMendedByTheNextListing) {
    env_.service().add_file(user_, alpha_, "kept.txt", "newer");
    calvimora::testing::request_fault hold;
    hold.target = "copy_file";
    hold.kind = "delay";
    hold.seconds = 600;
    env_.service().arm(hold);
    host_process host({"copy", "Alpha", "kept.txt", "Docs"});
    ASSERT_TRUE(host.started());
    ASSERT_TRUE(wait_until([&] { return requested("copy_file"); }));
    host.kill();
    ASSERT_EQ(remote_names(L"Docs"), std::vector<std::wstring>{L"~kept.txt.replaced"})
        << "the state a killed host leaves";

    // The folder shown again puts the set-aside file back.
    const auto docs = std::find_if(browser.items().begin(), browser.items().end(),
                                   [](const auto& item) { return item.name == L"Docs"; });
    ASSERT_EQ(browser.enter(static_cast<size_t>(docs - browser.items().begin())), S_OK);
    ASSERT_EQ(browser.items().size(), 1u);
    EXPECT_EQ(browser.items()[0].name, L"kept.txt");
    EXPECT_EQ(remote(L"Docs", L"kept.txt"), "original");

    // Beside a file of its name the replace had completed: the set-aside
    // file goes to the trash.
    env_.service().add_file(user_, docs_, "~kept.txt.replaced", "older");
    ASSERT_EQ(browser.list(), S_OK);
    ASSERT_EQ(browser.items().size(), 1u);
    EXPECT_EQ(browser.items()[0].name, L"kept.txt");
    EXPECT_EQ(remote_names(L"Docs"), std::vector<std::wstring>{L"kept.txt"});
}

// Nobody at the machine: every box takes its default, Retry for a single
// file's failing step. The host must end, after a few boxes.
TEST_F(ShellUpload, AFailingStepWithNobodyToAnswerEndsAfterAFewBoxes) {
    calvimora::testing::request_fault refuse;
    refuse.target = "create_and_open_file";
    refuse.kind = "error";
    refuse.count = 0;
    env_.service().arm(refuse);
    const std::wstring path = local_file("a.txt", "alpha");
    host_process host({"put", "Docs", std::string(path.begin(), path.end())});
    ASSERT_TRUE(host.started());
    const bool ended = wait_until(
        [&] {
            if (win_test::message_boxes().size() > 50) return true;
            return host.ended(std::chrono::milliseconds(0));
        },
        std::chrono::seconds(60));
    host.kill();
    ASSERT_TRUE(ended);
    const auto boxes = win_test::message_boxes();
    EXPECT_LE(boxes.size(), 5u) << "the failing step was repeated for nobody";
    ASSERT_FALSE(boxes.empty());
    EXPECT_EQ(boxes.back().answered_by, "default");
    EXPECT_EQ(remote_names(L"Docs"), std::vector<std::wstring>{L"kept.txt"});
}

}  // namespace

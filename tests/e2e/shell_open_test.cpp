// "Open" on remote items as Explorer invokes it: the extension registered
// and loaded through the registry, its item menu's Open run by the shell
// host against the stand-in service, with the session handler up (it owns
// the download mutex that the open workers share). Files arrive as local
// copies under the saved-files folder, bound and handed to the shell.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <algorithm>
#include <boost/filesystem/operations.hpp>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "item_transfer.h"
#include "shell_browser.h"
#include "shell_host.h"
#include "syncer/core/paths.h"
#include "syncer/manager/manager.h"
#include "syncer/tables/items_manager.h"
#include "syncer/tables/locked_operations.h"
#include "terminal_browser.h"
#include "utils/class_ids.h"
#include "vfs/session.h"
#include "vfs_session_support.h"
#include "win/kernel.h"
#include "win/machine.h"
#include "win/progress_dialog.h"
#include "win/registry.h"
#include "win/shell_test.h"
#include "win/shell_thread.h"
#include "win/test_journal.h"
#include "win/user_dialog.h"
#include "win/user_queue.h"

namespace {

using namespace vfs_session_testing;
namespace fs = std::filesystem;

const std::wstring module_path(CALVIMORA_MODULE, CALVIMORA_MODULE + sizeof CALVIMORA_MODULE - 1);
const wchar_t* const download_mutex = L"Local\\Calvimora_Mutex_Download_Upload";

constexpr std::int64_t first_date = 1700000000;

std::string read_file(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

std::int64_t mtime_of(const fs::path& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return -2;
    return st.st_mtim.tv_sec;
}

// Every file and folder of the user's application data (the platform's own
// journals and named objects live beside it).
std::set<fs::path> everything_on_the_machine() {
    std::set<fs::path> found;
    for (const auto& entry : fs::recursive_directory_iterator(win_machine::app_data_dir()))
        found.insert(entry.path());
    return found;
}

// Text of the given size that differs from one place to the next and from
// one seed to another (the service takes file contents as text here).
std::string letters(std::size_t size, int seed) {
    std::string text(size, ' ');
    for (std::size_t i = 0; i < size; ++i)
        text[i] =
            static_cast<char>('a' + (i * 7 + i / 26 + static_cast<std::size_t>(seed) * 13) % 26);
    return text;
}

bool same_path(const std::string& first, const fs::path& second) {
    std::string native = first;
    std::replace(native.begin(), native.end(), '\\', '/');
    return fs::path(native).lexically_normal() == second.lexically_normal();
}

// alice's storage: "Docs" with "notes.txt" (dated first_date), "big.bin"
// (200 000 bytes), "song.mp3" and the folder "Sub"; the folders "Alpha"
// and "Beta".
class ShellOpen : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(shell_host::register_server(module_path), S_OK);
        ASSERT_EQ(apartment_.status(), S_OK);
        auto& service = env_.service();
        user_ = service.add_user("alice", "s3cret");
        docs_ = service.add_folder(user_, "0", "Docs");
        notes_ = add_dated_file(docs_, "notes.txt", "first version", first_date);
        big_ = add_dated_file(docs_, "big.bin", letters(200000, 3), first_date);
        service.add_file(user_, docs_, "song.mp3", "ID3");
        service.add_folder(user_, docs_, "Sub");
        service.add_folder(user_, "0", "Alpha");
        service.add_folder(user_, "0", "Beta");
    }
    void TearDown() override {
        win_test::set_progress_cancel_script(nullptr);
        win_test::set_message_box_responder(nullptr);
        SHSetInstanceExplorer(nullptr);
        browser.close();
        shell_host::unload_unused_servers();
    }

    std::string add_dated_file(const std::string& folder, const std::string& name,
                               const std::string& content, std::int64_t date,
                               bool unchecked = false) {
        auto args = calvimora::testing::json_object()
                        .set("owner_id", user_)
                        .set("dir_id", folder)
                        .set("name", name)
                        .set("content", content)
                        .set("date_modified", date)
                        .set("unchecked_name", unchecked);
        return env_.service().control("add_file", args).get<std::string>("file_id");
    }

    // New bytes for a file of alice's, dated later, as another computer of
    // hers would leave them.
    void replace_remote(const std::string& path, const std::string& content) {
        env_.service().control("put_file", calvimora::testing::json_object()
                                               .set("user", "alice")
                                               .set("path", path)
                                               .set("content", content));
    }
    std::int64_t remote_date(const std::string& file_id) {
        return env_.service()
            .control("file", calvimora::testing::json_object().set("file_id", file_id))
            .get<std::int64_t>("record.date_modified");
    }

    // Logged in with the session handler up, the folder open at the top.
    void start(const std::wstring& name = L"alice", const std::wstring& password = L"s3cret") {
        login_ = name;
        login_once_session_is_up(test_module(), name, password);
        ASSERT_TRUE(wait_until([] {
            const HANDLE mutex = OpenMutexW(SYNCHRONIZE, FALSE, download_mutex);
            if (mutex) CloseHandle(mutex);
            return mutex != nullptr;
        }));
        saved_ = fs::path(syncer::manager::get_files_saved_directory(name).string());
        SHSetInstanceExplorer(&process_);
        ASSERT_EQ(browser.open(utils::clsid_calvimora_folder), S_OK);
        ASSERT_EQ(browser.list(), S_OK);
    }

    size_t index_of(const std::wstring& name) {
        const auto& items = browser.items();
        for (size_t i = 0; i < items.size(); ++i)
            if (items[i].name == name) return i;
        ADD_FAILURE() << "no item named " << std::string(name.begin(), name.end());
        return items.size();
    }
    void enter(const std::wstring& name) { ASSERT_EQ(browser.enter(index_of(name)), S_OK); }

    // The item menu's Open on the named items, started.
    HRESULT invoke_open(const std::vector<std::wstring>& names) {
        std::vector<size_t> indices;
        for (const auto& name : names) indices.push_back(index_of(name));
        return shell_host::invoke_item_command(browser, indices, L"Open");
    }
    // Until every worker has ended, serving this thread's messages.
    bool workers_ended(std::chrono::seconds deadline = std::chrono::seconds(60)) {
        const auto until = std::chrono::steady_clock::now() + deadline;
        while (!process_.wait_until_released(std::chrono::milliseconds(20))) {
            MSG message;
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
            if (std::chrono::steady_clock::now() > until) return false;
        }
        return true;
    }
    // The item menu's Open on the named items, waited for.
    void open(const std::vector<std::wstring>& names) {
        ASSERT_EQ(invoke_open(names), S_OK);
        ASSERT_TRUE(workers_ended());
    }

    bool downloaded_anything() {
        for (const auto& command : env_.service().transfer_commands())
            if (command.command == "RETR") return true;
        return false;
    }
    std::vector<win_test::shell_execution> opened_files() {
        std::vector<win_test::shell_execution> files;
        for (const auto& run : win_test::shell_executions())
            if (run.id_list.empty()) files.push_back(run);
        return files;
    }
    std::vector<syncer::binding> bindings_of(const std::wstring& file_name) {
        std::vector<syncer::binding> found;
        for (const auto& stored : syncer::locked_get_bindings(login_))
            if (stored.filename == file_name) found.push_back(stored);
        return found;
    }

    // bob's "Docs" with "notes.txt", shared with alice (who has a "Docs"
    // with a "notes.txt" of her own).
    std::string share_bobs_docs(const std::string& content = "bob's version") {
        auto& service = env_.service();
        const std::string bob = service.add_user("bob", "b0b");
        const std::string bobs_docs = service.add_folder(bob, "0", "Docs");
        const std::string notes = service.add_file(bob, bobs_docs, "notes.txt", content);
        service.add_share(bob, bobs_docs, user_);
        return notes;
    }
    void enter_path(const std::vector<std::wstring>& names) {
        for (const std::wstring& name : names) {
            enter(name);
            ASSERT_EQ(browser.list(), S_OK);
        }
    }
    void go_to_top() {
        while (browser.up() == S_OK) {
        }
        ASSERT_EQ(browser.list(), S_OK);
    }

    environment env_;
    tray_stand_in tray_;
    shell_host::com_apartment apartment_;
    shell_host::shell_browser browser;
    win_test::process_reference process_;
    std::string user_, docs_, notes_, big_;
    std::wstring login_;
    fs::path saved_;
};

TEST_F(ShellOpen, AnOpenedFileArrivesDatedBoundAndOpenedAndOnlyANewerVersionComesAgain) {
    start();
    enter(L"Docs");
    win_test::clear_shell_executions();
    open({L"notes.txt"});

    const fs::path copy = saved_ / "Docs" / "notes.txt";
    EXPECT_EQ(read_file(copy), "first version");
    EXPECT_EQ(mtime_of(copy), first_date) << "the copy carries the remote date";
    ASSERT_EQ(opened_files().size(), 1u);
    EXPECT_TRUE(same_path(opened_files()[0].file, copy)) << opened_files()[0].file;
    const auto bound = bindings_of(L"notes.txt");
    ASSERT_EQ(bound.size(), 1u);
    EXPECT_EQ(bound[0]._type, syncer::binding::type_open_copy);
    EXPECT_EQ(bound[0]._mode, 2);
    EXPECT_TRUE(syncer::paths_equal(bound[0].dir_local, (saved_ / "Docs").wstring()));
    EXPECT_TRUE(syncer::paths_equal(bound[0].dir_remote, L"/Docs"));
    EXPECT_EQ(bound[0].rule.can_overwrite_upload, syncer::sync_permission::yes);
    EXPECT_EQ(bound[0].rule.can_download, syncer::sync_permission::no);
    EXPECT_EQ(bound[0].rule.can_remove_remote, syncer::sync_permission::no);
    {
        // The engine knows from the start what both sides held.
        const syncer::items_manager table(bound[0], L"alice");
        const auto record = table.find(syncer::sync_item(bound[0]));
        ASSERT_NE(record, table.end());
        EXPECT_EQ(record->last_time_remote, first_date);
        EXPECT_EQ(record->last_time_local, first_date);
        EXPECT_EQ(record->synced_time, first_date);
    }
    ASSERT_EQ(win_test::progress_dialogs().size(), 1u);
    EXPECT_TRUE(win_test::progress_dialogs()[0].stopped);
    EXPECT_TRUE(win_test::message_boxes().empty());

    // Again, unchanged: no transfer, no box, opened at once, bound once.
    env_.service().transfer_commands(true);
    open({L"notes.txt"});
    EXPECT_FALSE(downloaded_anything());
    EXPECT_TRUE(win_test::message_boxes().empty()) << "no duplicate-binding box";
    EXPECT_EQ(opened_files().size(), 2u);
    EXPECT_EQ(bindings_of(L"notes.txt").size(), 1u);

    // A newer remote version replaces the copy, which takes its date.
    replace_remote("/Docs/notes.txt", "second, longer version");
    ASSERT_EQ(browser.list(), S_OK);
    open({L"notes.txt"});
    EXPECT_EQ(read_file(copy), "second, longer version");
    EXPECT_EQ(mtime_of(copy), remote_date(notes_));
    EXPECT_GT(mtime_of(copy), first_date);
}

TEST_F(ShellOpen, ACancelledOrFailedRefreshKeepsTheEarlierCopyByteForByte) {
    start();
    enter(L"Docs");
    open({L"big.bin"});
    const fs::path copy = saved_ / "Docs" / "big.bin";
    const std::string first = letters(200000, 3);
    ASSERT_EQ(read_file(copy), first);
    // The earlier copy holds the user's edit, not uploaded yet.
    const std::string edited = first.substr(0, 1000) + "edited by the user" + first.substr(1000);
    std::ofstream(copy, std::ios::binary | std::ios::trunc) << edited;
    const struct timespec dated[2] = {{first_date, 0}, {first_date, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, copy.c_str(), dated, 0), 0);
    const auto before = everything_on_the_machine();

    replace_remote("/Docs/big.bin", letters(300000, 4));
    ASSERT_EQ(browser.list(), S_OK);
    win_test::set_progress_cancel_script(
        [](const win_test::progress_record& record) { return record.completed > 0; });
    open({L"big.bin"});
    EXPECT_EQ(read_file(copy), edited) << "a cancelled refresh keeps the copy";
    EXPECT_EQ(mtime_of(copy), first_date);
    EXPECT_EQ(everything_on_the_machine(), before) << "nothing of the transfer is left";
    EXPECT_TRUE(win_test::message_boxes().empty()) << "the user's cancel is not told back";
    win_test::set_progress_cancel_script(nullptr);

    // A transfer cut short, given up in its box.
    calvimora::testing::transfer_fault cut;
    cut.direction = "download";
    cut.kind = "cut";
    cut.after = 50000;
    cut.count = 0;
    env_.service().arm(cut);
    win_test::scoped_message_box_responder give_up(
        [](const std::wstring&, const std::wstring&, UINT) { return IDCANCEL; });
    open({L"big.bin"});
    EXPECT_EQ(read_file(copy), edited) << "a failed refresh keeps the copy";
    EXPECT_EQ(mtime_of(copy), first_date);
    EXPECT_EQ(everything_on_the_machine(), before);
    EXPECT_FALSE(win_test::message_boxes().empty()) << "the failure was told";

    env_.service().disarm();
    win_test::clear_message_boxes();
    open({L"big.bin"});
    EXPECT_EQ(read_file(copy), letters(300000, 4));
    EXPECT_TRUE(read_file(saved_ / "Docs" / "big (your changes).bin") == edited)
        << "the unsent edit was thrown away";
    EXPECT_EQ(win_test::message_boxes().size(), 1u) << "the user is told where the edit is";
}

// Opened again while the remote file is newer: a copy holding nothing of
// the user's takes the new version; one with changes never sent is kept
// beside it under a name that says so, whether the changes are dated
// before the new version or after it; changes over the version the
// service still holds stay to be sent.
TEST_F(ShellOpen, AnUnsentEditOfACopyIsNeverReplacedUnasked) {
    start();
    enter(L"Docs");
    open({L"notes.txt"});
    const fs::path copy = saved_ / "Docs" / "notes.txt";
    const fs::path kept = saved_ / "Docs" / "notes (your changes).txt";
    const auto edit = [&](const std::string& content, std::int64_t date) {
        std::ofstream(copy, std::ios::binary | std::ios::trunc) << content;
        const struct timespec dated[2] = {{date, 0}, {date, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, copy.c_str(), dated, 0), 0);
    };

    // Not sent yet, the service still holding what the copy was made from.
    edit("my edit", first_date + 60);
    open({L"notes.txt"});
    EXPECT_EQ(read_file(copy), "my edit");
    EXPECT_FALSE(fs::exists(kept));

    // The edit dated before the newer version.
    replace_remote("/Docs/notes.txt", "their second version");
    ASSERT_EQ(browser.list(), S_OK);
    const std::int64_t second_date = remote_date(notes_);
    edit("my edit, dated earlier", second_date - 60);
    win_test::clear_message_boxes();
    open({L"notes.txt"});
    EXPECT_EQ(read_file(copy), "their second version");
    EXPECT_EQ(mtime_of(copy), second_date);
    EXPECT_EQ(read_file(kept), "my edit, dated earlier");
    ASSERT_EQ(win_test::message_boxes().size(), 1u);
    EXPECT_NE(win_test::message_boxes()[0].text.find("notes (your changes).txt"),
              std::string::npos);
    const auto kept_binding = bindings_of(L"notes (your changes).txt");
    ASSERT_EQ(kept_binding.size(), 1u) << "nothing else may take the kept file";
    EXPECT_EQ(kept_binding[0].rule.can_overwrite_upload, syncer::sync_permission::no);
    EXPECT_EQ(kept_binding[0].rule.can_upload, syncer::sync_permission::no);

    // The edit dated after a newer version, as the clock has it.
    replace_remote("/Docs/notes.txt", "their third version");
    ASSERT_EQ(browser.list(), S_OK);
    edit("my second edit", remote_date(notes_) + 60);
    open({L"notes.txt"});
    EXPECT_EQ(read_file(copy), "their third version");
    EXPECT_EQ(read_file(kept), "my edit, dated earlier");
    EXPECT_EQ(read_file(saved_ / "Docs" / "notes (your changes 2).txt"), "my second edit");

    // Unchanged since it came: opened again as it is, nothing more kept.
    open({L"notes.txt"});
    EXPECT_EQ(read_file(copy), "their third version");
    EXPECT_FALSE(fs::exists(saved_ / "Docs" / "notes (your changes 3).txt"));
}

// A file of a folder another user shares is kept and bound where this
// user reaches it, under the shared folders, never as her own file of the
// same path.
TEST_F(ShellOpen, ASharedFileIsKeptAndBoundWhereThisUserReachesItNeverAsHerOwn) {
    share_bobs_docs();
    start();
    enter(L"Docs");
    open({L"notes.txt"});
    const fs::path own = saved_ / "Docs" / "notes.txt";
    std::ofstream(own, std::ios::binary | std::ios::trunc) << "alice's edit";
    fs::last_write_time(own, fs::last_write_time(own) + std::chrono::seconds(60));

    go_to_top();
    enter_path({L"Shared Folders", L"bob", L"Docs"});
    env_.service().transfer_commands(true);
    win_test::clear_shell_executions();
    open({L"notes.txt"});
    EXPECT_TRUE(downloaded_anything()) << "her own copy was opened as bob's file";
    const fs::path shared = saved_ / "Shared Folders" / "bob" / "Docs" / "notes.txt";
    EXPECT_EQ(read_file(shared), "bob's version");
    ASSERT_EQ(opened_files().size(), 1u);
    EXPECT_TRUE(same_path(opened_files()[0].file, shared)) << opened_files()[0].file;
    EXPECT_EQ(read_file(own), "alice's edit");
    EXPECT_TRUE(win_test::message_boxes().empty());

    std::map<std::wstring, syncer::binding> bound;
    for (const auto& binding : bindings_of(L"notes.txt")) bound[binding.dir_remote] = binding;
    ASSERT_EQ(bound.size(), 2u);
    ASSERT_TRUE(bound.contains(L"/Shared Folders/bob/Docs"));
    EXPECT_TRUE(syncer::paths_equal(bound[L"/Shared Folders/bob/Docs"].dir_local,
                                    shared.parent_path().wstring()));
    EXPECT_EQ(bound[L"/Shared Folders/bob/Docs"].rule.can_overwrite_upload,
              syncer::sync_permission::yes);
    ASSERT_TRUE(bound.contains(L"/Docs"));
    EXPECT_TRUE(syncer::paths_equal(bound[L"/Docs"].dir_local, own.parent_path().wstring()));
}

// A folder of alice's own whose names are those of bob's shared folder
// comes first when the path is followed: the copies of bob's files then
// send nothing, and she is told so.
TEST_F(ShellOpen, CopiesWhosePathLeadsToAnotherFolderSendNothing) {
    share_bobs_docs();
    auto& service = env_.service();
    const std::string lookalike = service.add_folder(
        user_, service.add_folder(user_, service.add_folder(user_, "0", "Shared Folders"), "bob"),
        "Docs");
    service.add_file(user_, lookalike, "notes.txt", "alice's look-alike");
    start();
    // Her own "Shared Folders" is listed first; the folder of what others
    // share with her is the last.
    size_t container = browser.items().size();
    for (size_t i = 0; i < browser.items().size(); ++i)
        if (browser.items()[i].name == L"Shared Folders") container = i;
    ASSERT_EQ(browser.enter(container), S_OK);
    ASSERT_EQ(browser.list(), S_OK);
    enter_path({L"bob", L"Docs"});
    open({L"notes.txt"});

    const auto bound = bindings_of(L"notes.txt");
    ASSERT_EQ(bound.size(), 1u);
    EXPECT_EQ(bound[0].rule.can_overwrite_upload, syncer::sync_permission::no);
    ASSERT_EQ(win_test::message_boxes().size(), 1u);
    EXPECT_NE(win_test::message_boxes()[0].text.find("not sent"), std::string::npos);
}

// An access account reaches the folders opened to it at its top: its
// copies are kept and bound there, not at their owner's paths, which its
// client cannot follow.
TEST_F(ShellOpen, AFileOfAnAccessFolderIsKeptAndBoundWhereTheAccountReachesIt) {
    auto& service = env_.service();
    const std::string sub = service.add_folder(user_, docs_, "Sub opened");
    service.add_file(user_, sub, "plan.txt", "the plan");
    service.grant_access(service.add_access_account(user_, "guest", "pw-g"), sub, 1);
    start(L"guest", L"pw-g");
    enter(L"Sub opened");
    open({L"plan.txt"});

    const fs::path copy = saved_ / "Sub opened" / "plan.txt";
    EXPECT_EQ(read_file(copy), "the plan");
    const auto bound = bindings_of(L"plan.txt");
    ASSERT_EQ(bound.size(), 1u);
    EXPECT_EQ(bound[0].dir_remote, L"/Sub opened");
    EXPECT_TRUE(syncer::paths_equal(bound[0].dir_local, copy.parent_path().wstring()));
    EXPECT_EQ(bound[0].rule.can_overwrite_upload, syncer::sync_permission::yes)
        << "the path does not lead to the folder";
    EXPECT_TRUE(win_test::message_boxes().empty());
}

TEST_F(ShellOpen, RemoteNamesThatCannotBeLocalNamesAreRefusedAndNothingIsWritten) {
    add_dated_file(docs_, "..", "climbs", first_date, true);
    add_dated_file(docs_, "a\\b", "splits", first_date, true);
    auto args = calvimora::testing::json_object()
                    .set("owner_id", user_)
                    .set("parent_id", "0")
                    .set("name", "..\\..\\outside")
                    .set("unchecked_name", true);
    const std::string outside =
        env_.service().control("add_folder", args).get<std::string>("dir_id");
    add_dated_file(outside, "inner.txt", "inner", first_date);
    start();
    enter(L"Docs");
    const auto before = everything_on_the_machine();

    for (const std::wstring name : {L"..", L"a\\b"}) {
        win_test::clear_message_boxes();
        open({name});
        ASSERT_EQ(win_test::message_boxes().size(), 1u);
        EXPECT_NE(win_test::message_boxes()[0].text.find("cannot be used"), std::string::npos);
    }
    ASSERT_EQ(browser.up(), S_OK);
    ASSERT_EQ(browser.list(), S_OK);
    enter(L"..\\..\\outside");
    ASSERT_EQ(browser.list(), S_OK);
    win_test::clear_message_boxes();
    open({L"inner.txt"});
    EXPECT_EQ(win_test::message_boxes().size(), 1u);

    EXPECT_EQ(everything_on_the_machine(), before) << "nothing was written anywhere";
    EXPECT_TRUE(opened_files().empty());
    EXPECT_TRUE(bindings_of(L"..").empty());
    EXPECT_TRUE(bindings_of(L"inner.txt").empty());
}

TEST_F(ShellOpen, FoldersOpenInWindowsAndFoldersAndMediaNeverWaitForTheDownloadMutex) {
    HKEY type = nullptr;
    ASSERT_EQ(RegCreateKeyW(HKEY_CLASSES_ROOT, L".mp3", &type), ERROR_SUCCESS);
    const std::wstring audio = L"audio";
    ASSERT_EQ(RegSetValueExW(type, L"PerceivedType", 0, REG_SZ,
                             reinterpret_cast<const BYTE*>(audio.c_str()),
                             static_cast<DWORD>((audio.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
    RegCloseKey(type);
    start();
    // The mutex is held elsewhere the whole time: a worker that took it
    // would never end.
    const HANDLE held = OpenMutexW(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, download_mutex);
    ASSERT_NE(held, nullptr);
    ASSERT_EQ(WaitForSingleObject(held, 0), WAIT_OBJECT_0);

    win_test::clear_shell_executions();
    open({L"Alpha", L"Beta"});
    auto runs = win_test::shell_executions();
    ASSERT_EQ(runs.size(), 2u);
    for (const auto& run : runs) {
        EXPECT_EQ(run.verb, "explore");
        EXPECT_FALSE(run.id_list.empty());
    }
    EXPECT_NE(runs[0].id_list, runs[1].id_list);

    win_test::clear_shell_executions();
    open({L"Alpha"});
    runs = win_test::shell_executions();
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].verb, "open");

    enter(L"Docs");
    open({L"Sub", L"song.mp3"});
    EXPECT_TRUE(win_test::progress_dialogs().empty()) << "nothing to download, no dialog";
    EXPECT_FALSE(downloaded_anything());
    ReleaseMutex(held);
    CloseHandle(held);
}

TEST_F(ShellOpen, TwoOpensAtOnceTakeTurnsOnTheDownloadMutex) {
    start();
    enter(L"Docs");
    // Each download stalls for a while: unserialised, the second would
    // start inside the first.
    calvimora::testing::transfer_fault stall;
    stall.direction = "download";
    stall.kind = "stall";
    stall.after = 1000;
    stall.seconds = 1;
    stall.count = 2;
    env_.service().arm(stall);
    env_.service().requests(true);
    ASSERT_EQ(invoke_open({L"notes.txt"}), S_OK);
    ASSERT_EQ(invoke_open({L"big.bin"}), S_OK);
    ASSERT_TRUE(workers_ended());

    std::vector<std::string> transfers;
    for (const auto& request : env_.service().requests())
        if (request.action == "open_file_download" || request.action == "close_file_download")
            transfers.push_back(request.action);
    ASSERT_EQ(transfers.size(), 4u);
    EXPECT_EQ(transfers, (std::vector<std::string>{"open_file_download", "close_file_download",
                                                   "open_file_download", "close_file_download"}));
    EXPECT_EQ(read_file(saved_ / "Docs" / "notes.txt"), "first version");
    EXPECT_EQ(read_file(saved_ / "Docs" / "big.bin"), letters(200000, 3));
}

TEST_F(ShellOpen, TheUsersOwnBindingOfTheSamePathsIsKeptAndNoneIsAdded) {
    start();
    syncer::binding mine(L"/Docs", (saved_ / "Docs").wstring(), L"notes.txt", L"");
    mine._type = syncer::binding::type_user_choice;
    mine._mode = 1;
    syncer::locked_add_binding(L"alice", mine);
    enter(L"Docs");
    open({L"notes.txt"});
    open({L"notes.txt"});
    EXPECT_TRUE(win_test::message_boxes().empty()) << "no duplicate-binding box";
    const auto bound = bindings_of(L"notes.txt");
    ASSERT_EQ(bound.size(), 1u);
    EXPECT_EQ(bound[0]._type, syncer::binding::type_user_choice);
    EXPECT_EQ(bound[0]._mode, 1);
    EXPECT_EQ(opened_files().size(), 2u) << "the file is opened all the same";
}

TEST_F(ShellOpen, ACopysBindingAnEarlierVersionWroteWithBackslashesIsReplacedByANativeOne) {
    start();
    std::wstring written = (saved_ / "Docs").wstring();
    std::replace(written.begin(), written.end(), L'/', L'\\');
    syncer::binding earlier(L"/Docs", written, L"notes.txt", L"");
    earlier._type = syncer::binding::type_open_copy;
    earlier._mode = 2;
    syncer::locked_add_binding(L"alice", earlier);
    enter(L"Docs");
    win_test::clear_shell_executions();
    open({L"notes.txt"});
    EXPECT_TRUE(win_test::message_boxes().empty()) << "no duplicate-binding box";
    const auto bound = bindings_of(L"notes.txt");
    ASSERT_EQ(bound.size(), 1u);
    EXPECT_EQ(bound[0].dir_local, (saved_ / "Docs").wstring());
    ASSERT_EQ(opened_files().size(), 1u);
    EXPECT_EQ(opened_files()[0].file, (saved_ / "Docs" / "notes.txt").string());
}

TEST_F(ShellOpen, TheHostsOpenCommandWaitsForTheWorkerAndSaysWhatWouldBeOpened) {
    start();
    SHSetInstanceExplorer(nullptr);
    const size_t docs = index_of(L"Docs");
    enter(L"Docs");
    ASSERT_EQ(browser.list(), S_OK);
    const std::string files =
        std::to_string(index_of(L"big.bin")) + "," + std::to_string(index_of(L"notes.txt"));
    std::istringstream in("cd " + std::to_string(docs) + "\nopen " + files + "\n");
    std::ostringstream out;
    ASSERT_EQ(shell_host::run_terminal_browser(utils::clsid_calvimora_folder, in, out), 0);
    const std::string text = out.str();
    // The copies' paths as the person finds them on the disk.
    EXPECT_NE(text.find("would open " + (saved_ / "Docs" / "big.bin").string() + "\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("would open " + (saved_ / "Docs" / "notes.txt").string() + "\n"),
              std::string::npos)
        << text;
    EXPECT_EQ(read_file(saved_ / "Docs" / "notes.txt"), "first version")
        << "the copies are there once the command answered";
}

}  // namespace

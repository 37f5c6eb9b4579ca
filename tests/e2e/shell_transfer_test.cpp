// Items of the virtual folder copied out through their data object, put on
// the clipboard with Copy and Cut and pasted into a local folder, and their
// context menu, as Explorer drives them, against the stand-in service.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

#include "host_background_menu.h"
#include "item_transfer.h"
#include "shell_browser.h"
#include "shell_host.h"
#include "terminal_browser.h"
#include "utils/class_ids.h"
#include "vfs/session.h"
#include "vfs_session_support.h"
#include "win/com.h"
#include "win/file.h"
#include "win/shell_thread.h"
#include "win/test_journal.h"
#include "win/user_dialog.h"

extern char** environ;

namespace {

using namespace vfs_session_testing;

const std::wstring module_path(CALVIMORA_MODULE, CALVIMORA_MODULE + sizeof CALVIMORA_MODULE - 1);

std::string contents_of(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// alice's storage: "Docs" (with "a.txt" of 1500 bytes, "b.bin" of 200,000
// bytes and the folder "Sub" holding "c.txt"), the file "beta", and in the
// trash "old.txt".
class ShellTransfer : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(shell_host::register_server(module_path), S_OK);
        ASSERT_EQ(apartment_.status(), S_OK);
        auto& service = env_.service();
        const std::string user = service.add_user("alice", "s3cret");
        alice_ = user;
        const std::string docs = service.add_folder(user, "0", "Docs");
        a_id_ = service.add_generated_file(user, docs, "a.txt", 1500, 7);
        b_id_ = service.add_generated_file(user, docs, "b.bin", 200000, 3);
        const std::string sub = service.add_folder(user, docs, "Sub");
        c_id_ = service.add_file(user, sub, "c.txt", "see");
        beta_id_ = service.add_file(user, "0", "beta", "b");
        service.add_file(user, "0", "old.txt", "old");
        vfs_calvimora::login(test_module(), L"alice", L"s3cret");
        auto root = vfs_calvimora::get_client(test_module())->get_root_directory();
        root->delete_item(root->get_item(L"old.txt", true), true);
        target_ = std::filesystem::temp_directory_path() /
                  ("shell-transfer-" + std::to_string(getpid()) + "-" +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(target_);
        ASSERT_EQ(browser.open(utils::clsid_calvimora_folder), S_OK);
        ASSERT_EQ(browser.list(), S_OK);
    }
    void TearDown() override {
        OleSetClipboard(nullptr);
        browser.close();
        shell_host::unload_unused_servers();
        std::filesystem::remove_all(target_);
    }

    size_t index_of(const std::wstring& name) {
        const auto& items = browser.items();
        for (size_t i = 0; i < items.size(); ++i)
            if (items[i].name == name) return i;
        ADD_FAILURE() << "no item named " << win_file::native_path(name);
        return items.size();
    }

    bool listed(const std::wstring& name) {
        EXPECT_EQ(browser.list(), S_OK);
        for (const auto& item : browser.items())
            if (item.name == name) return true;
        return false;
    }

    HRESULT contents(IDataObject* object, LONG index) {
        FORMATETC format{static_cast<CLIPFORMAT>(RegisterClipboardFormatW(CFSTR_FILECONTENTS)),
                         nullptr, DVASPECT_CONTENT, index, TYMED_ISTREAM};
        STGMEDIUM medium{};
        const HRESULT result = object->GetData(&format, &medium);
        ReleaseStgMedium(&medium);
        return result;
    }

    environment env_;
    tray_stand_in tray_;
    shell_host::com_apartment apartment_;
    shell_host::shell_browser browser;
    std::filesystem::path target_;
    std::string a_id_, b_id_, c_id_, beta_id_;
    std::string alice_;
    const std::string& alice_id() const { return alice_; }
};

TEST_F(ShellTransfer, AFolderTreeAndAFileAreCopiedOutByteForByte) {
    IDataObject* object = nullptr;
    ASSERT_EQ(shell_host::data_object_of(browser, {index_of(L"Docs"), index_of(L"beta")}, &object),
              S_OK);
    shell_host::copy_out_result copied;
    ASSERT_EQ(shell_host::copy_out(object, target_.string(), copied), S_OK);
    EXPECT_EQ(copied.selected, 2u);
    EXPECT_EQ(copied.folders, (std::vector<std::wstring>{L"Docs", L"Docs\\Sub"}));
    // Each folder before its contents, children as the service lists them.
    EXPECT_EQ(copied.files, (std::vector<std::wstring>{L"Docs\\Sub\\c.txt", L"Docs\\a.txt",
                                                       L"Docs\\b.bin", L"beta"}));
    auto& service = env_.service();
    EXPECT_EQ(contents_of(target_ / "Docs" / "a.txt"), service.file_content(a_id_));
    EXPECT_EQ(contents_of(target_ / "Docs" / "b.bin"), service.file_content(b_id_));
    EXPECT_EQ(contents_of(target_ / "Docs" / "Sub" / "c.txt"), "see");
    EXPECT_EQ(contents_of(target_ / "beta"), "b");

    // Six descriptors: only their own indexes, and never a folder's.
    EXPECT_EQ(contents(object, -1), DV_E_LINDEX);
    EXPECT_EQ(contents(object, 6), DV_E_LINDEX);
    EXPECT_EQ(contents(object, 0), E_UNEXPECTED);
    EXPECT_EQ(contents(object, 1), E_UNEXPECTED);
    EXPECT_EQ(contents(object, 5), S_OK);

    FORMATETC group{static_cast<CLIPFORMAT>(RegisterClipboardFormatW(CFSTR_FILEDESCRIPTORW)),
                    nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium{};
    ASSERT_EQ(object->GetData(&group, &medium), S_OK);
    const auto descriptors = win_shell::read_file_group_descriptor(GlobalLock(medium.hGlobal),
                                                                   GlobalSize(medium.hGlobal));
    GlobalUnlock(medium.hGlobal);
    ReleaseStgMedium(&medium);
    ASSERT_TRUE(descriptors);
    ASSERT_EQ(descriptors->size(), 6u);
    EXPECT_EQ((*descriptors)[0].dwFlags, FD_ATTRIBUTES | FD_PROGRESSUI);
    EXPECT_EQ((*descriptors)[0].dwFileAttributes, FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ((*descriptors)[4].dwFlags, FD_ATTRIBUTES | FD_PROGRESSUI | FD_FILESIZE);
    EXPECT_EQ((*descriptors)[4].dwFileAttributes, 0x80u);
    EXPECT_EQ((*descriptors)[4].nFileSizeLow, 200000u);
    object->Release();
}

TEST_F(ShellTransfer, PasteAfterCopyKeepsTheSourcesAndAfterCutMovesThemToTheTrash) {
    ASSERT_EQ(shell_host::copy_to_clipboard(browser, {index_of(L"beta")}, false), S_OK);
    shell_host::copy_out_result pasted;
    ASSERT_EQ(shell_host::paste_to_local(target_.string(), pasted), S_OK);
    EXPECT_EQ(contents_of(target_ / "beta"), "b");
    EXPECT_TRUE(listed(L"beta"));
    IDataObject* held = nullptr;
    ASSERT_EQ(OleGetClipboard(&held), S_OK) << "a copy stays on the clipboard";
    held->Release();

    ASSERT_EQ(shell_host::copy_to_clipboard(browser, {index_of(L"Docs")}, true), S_OK);
    ASSERT_EQ(shell_host::paste_to_local(target_.string(), pasted), S_OK);
    EXPECT_EQ(contents_of(target_ / "Docs" / "b.bin"), env_.service().file_content(b_id_));
    EXPECT_FALSE(listed(L"Docs"));
    EXPECT_EQ(OleGetClipboard(&held), CLIPBRD_E_CANT_OPEN) << "a completed move empties it";
    ASSERT_EQ(browser.enter(index_of(L"Trash")), S_OK);
    EXPECT_TRUE(listed(L"Docs"));
}

TEST_F(ShellTransfer, APasteThatReportsNoMoveDeletesNothing) {
    ASSERT_EQ(shell_host::copy_to_clipboard(browser, {index_of(L"beta")}, true), S_OK);
    shell_host::copy_out_result pasted;
    // The paste copied only, though the target said it moved.
    ASSERT_EQ(shell_host::paste_to_local(
                  target_.string(), pasted,
                  shell_host::paste_report{DROPEFFECT_MOVE, DROPEFFECT_COPY, std::nullopt}),
              S_OK);
    EXPECT_TRUE(listed(L"beta"));
    // Nothing succeeded, whatever the logical effect says.
    ASSERT_EQ(shell_host::paste_to_local(
                  target_.string(), pasted,
                  shell_host::paste_report{DROPEFFECT_NONE, DROPEFFECT_NONE, DROPEFFECT_MOVE}),
              S_OK);
    EXPECT_TRUE(listed(L"beta"));
    IDataObject* held = nullptr;
    ASSERT_EQ(OleGetClipboard(&held), S_OK);
    held->Release();
}

std::vector<std::wstring> texts_of(const std::vector<shell_host::menu_item>& items) {
    std::vector<std::wstring> texts;
    for (const auto& item : items) texts.push_back(item.separator ? L"-" : item.text);
    return texts;
}

TEST_F(ShellTransfer, TheItemMenuOffersTheFoldersCommandsAndRestoreOnlyInTheTrash) {
    std::vector<shell_host::menu_item> items;
    ASSERT_EQ(shell_host::item_menu(browser, {index_of(L"Docs")}, CMF_NORMAL, items), S_OK);
    EXPECT_EQ(texts_of(items), (std::vector<std::wstring>{
                                   L"Open", L"-", L"Synchronize with Computer", L"Share...", L"-",
                                   L"Cut", L"Copy", L"-", L"Delete", L"-", L"Properties"}));
    EXPECT_EQ(items[0].state, static_cast<UINT>(MFS_DEFAULT | MFS_HILITE));
    // The trash is fixed: it can be neither cut, copied nor deleted.
    ASSERT_EQ(shell_host::item_menu(browser, {index_of(L"Trash")}, CMF_NORMAL, items), S_OK);
    EXPECT_EQ(texts_of(items), (std::vector<std::wstring>{L"Open", L"-", L"Properties"}));
    ASSERT_EQ(shell_host::item_menu(browser, {index_of(L"beta")}, CMF_DEFAULTONLY, items), S_OK);
    EXPECT_EQ(texts_of(items), (std::vector<std::wstring>{L"Open"}));
    // Open starts its worker; it is awaited before the folder goes.
    win_test::process_reference opening;
    SHSetInstanceExplorer(&opening);
    EXPECT_EQ(shell_host::invoke_item_command(browser, {index_of(L"beta")}, L"Open"), S_OK);
    EXPECT_TRUE(opening.wait_until_released(std::chrono::seconds(60)));
    SHSetInstanceExplorer(nullptr);

    ASSERT_EQ(browser.enter(index_of(L"Trash")), S_OK);
    ASSERT_EQ(shell_host::item_menu(browser, {index_of(L"old.txt")}, CMF_NORMAL, items), S_OK);
    // A deleted item can only be restored or deleted for good.
    EXPECT_EQ(texts_of(items),
              (std::vector<std::wstring>{L"Restore", L"-", L"Delete", L"-", L"Properties"}));
}

TEST_F(ShellTransfer, APersonCopiesOutCutsAndPastesOnTheTerminal) {
    browser.close();
    const std::filesystem::path pasted = target_ / "pasted";
    std::istringstream in("get 0 " + target_.string() + "\nmenu 2\ncut 2\npaste " +
                          pasted.string() + "\nls\nquit\n");
    std::ostringstream out;
    ASSERT_EQ(shell_host::run_terminal_browser(utils::clsid_calvimora_folder, in, out), 0);
    const std::string shown = out.str();
    EXPECT_NE(shown.find("3 files, 2 folders copied"), std::string::npos) << shown;
    EXPECT_NE(shown.find("Open (default)"), std::string::npos) << shown;
    EXPECT_NE(shown.find("1 files, 0 folders pasted"), std::string::npos) << shown;
    EXPECT_EQ(contents_of(target_ / "Docs" / "a.txt"), env_.service().file_content(a_id_));
    EXPECT_EQ(contents_of(pasted / "beta"), "b");
    ASSERT_EQ(browser.open(utils::clsid_calvimora_folder), S_OK);
    EXPECT_FALSE(listed(L"beta")) << "the cut file went to the trash after the paste";
}

// Copies keep the remote files' modification times, read from the
// folders' details (the descriptors carry none): a file of the selection
// and one in a subfolder, by `get` and by `copy` and `paste`.
TEST_F(ShellTransfer, CopiesOnTheTerminalKeepTheRemoteModificationTimes) {
    auto& service = env_.service();
    const auto add_dated = [&](const std::string& dir, const std::string& name, std::int64_t when) {
        return service.control("add_file", calvimora::testing::json_object()
                                               .set("owner_id", alice_id())
                                               .set("dir_id", dir)
                                               .set("name", name)
                                               .set("content_latin1", "dated")
                                               .set("date_modified", when));
    };
    const std::string dated = service.add_folder(alice_id(), "0", "Dated");
    const std::string inner = service.add_folder(alice_id(), dated, "Inner");
    add_dated(dated, "old.doc", 1234567890);
    add_dated(inner, "deep.txt", 1000000000);
    ASSERT_TRUE(listed(L"Dated"));
    const std::string index = std::to_string(index_of(L"Dated"));
    browser.close();
    const std::filesystem::path got = target_ / "got", pasted = target_ / "pasted";
    std::istringstream in("get " + index + " " + got.string() + "\ncopy " + index + "\npaste " +
                          pasted.string() + "\nquit\n");
    std::ostringstream out;
    ASSERT_EQ(shell_host::run_terminal_browser(utils::clsid_calvimora_folder, in, out), 0);
    const auto seconds_of = [](const std::filesystem::path& file) -> std::int64_t {
        std::error_code missing;
        const auto when = std::filesystem::last_write_time(file, missing);
        if (missing) return -1;
        return std::chrono::duration_cast<std::chrono::seconds>(
                   std::chrono::file_clock::to_sys(when).time_since_epoch())
            .count();
    };
    for (const std::filesystem::path& copy : {got, pasted}) {
        SCOPED_TRACE(copy.string() + "\n" + out.str());
        EXPECT_EQ(contents_of(copy / "Dated" / "old.doc"), "dated");
        EXPECT_EQ(seconds_of(copy / "Dated" / "old.doc"), 1234567890);
        EXPECT_EQ(seconds_of(copy / "Dated" / "Inner" / "deep.txt"), 1000000000);
    }
}

// A local file of the same name is asked about, and replaced only by a
// whole download: a failed or cancelled copy leaves it byte for byte.
TEST_F(ShellTransfer, ACopyOutOverALocalFileReplacesItOnlyWhenWhole) {
    ASSERT_EQ(browser.enter(index_of(L"Docs")), S_OK);
    const std::filesystem::path mine = target_ / "b.bin";
    const std::string own(150000, 'm');
    std::ofstream(mine, std::ios::binary) << own;
    const auto copy_b = [&](int replace_answer) {
        IDataObject* object = nullptr;
        EXPECT_EQ(shell_host::data_object_of(browser, {index_of(L"b.bin")}, &object), S_OK);
        win_test::scoped_message_box_responder answer(
            [&](const std::wstring&, const std::wstring& caption, UINT) {
                return caption == L"Confirm File Replace" ? replace_answer : IDCANCEL;
            });
        shell_host::copy_out_result copied;
        const HRESULT result = shell_host::copy_out(object, target_.string(), copied);
        object->Release();
        return result;
    };
    const auto only_mine_left = [&] {
        EXPECT_EQ(contents_of(mine), own);
        size_t entries = 0;
        for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(target_))
            ++entries;
        EXPECT_EQ(entries, 1u) << "no partial download left beside it";
    };

    calvimora::testing::transfer_fault cut;
    cut.direction = "download";
    cut.kind = "cut";
    cut.after = 100000;
    env_.service().arm(cut);
    win_test::clear_message_boxes();
    EXPECT_TRUE(FAILED(copy_b(IDYES)));
    only_mine_left();
    bool asked = false;
    for (const auto& box : win_test::message_boxes())
        asked = asked || box.caption == "Confirm File Replace";
    EXPECT_TRUE(asked);

    EXPECT_EQ(copy_b(IDCANCEL), E_ABORT);
    only_mine_left();
    EXPECT_EQ(copy_b(IDNO), S_FALSE);
    only_mine_left();
    EXPECT_EQ(copy_b(IDYES), S_OK);
    EXPECT_EQ(contents_of(mine), env_.service().file_content(b_id_));
}

// The host program run on the terminal with the lines typed, as a process
// of its own in the test's session; what it showed.
std::string run_host_program(const std::filesystem::path& folder, const std::string& typed) {
    std::filesystem::create_directories(folder);
    std::ofstream(folder / "typed") << typed;
    wchar_t junction[40];
    StringFromGUID2(utils::clsid_calvimora_folder, junction, 40);
    const std::string command = "'" + (program_folder() / "calvimora_explorer").string() +
                                "' browse '" + win_file::native_path(junction) + "' <'" +
                                (folder / "typed").string() + "' >'" + (folder / "shown").string() +
                                "' 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0);
    return contents_of(folder / "shown");
}

TEST_F(ShellTransfer, ACopyOfAHostThatEndedPastesInAnotherWholeOrNotAtAll) {
    browser.close();
    const std::string copied = run_host_program(target_ / "first", "copy 0\nquit\n");
    EXPECT_EQ(copied.find("failed"), std::string::npos) << copied;
    // The copy ended with its host, which flushed the clipboard: the saved
    // form it left rebuilds the copy in the next host, contents and all.
    const std::filesystem::path pasted = target_ / "pasted";
    std::filesystem::create_directories(pasted);
    const std::string shown =
        run_host_program(target_ / "second", "paste " + pasted.string() + "\nquit\n");
    EXPECT_EQ(shown.find("failed"), std::string::npos) << shown;
    auto& service = env_.service();
    EXPECT_EQ(contents_of(pasted / "Docs" / "b.bin"), service.file_content(b_id_));
    EXPECT_EQ(contents_of(pasted / "Docs" / "Sub" / "c.txt"), "see");

    // The copied folder gone meanwhile: the paste refuses before it writes.
    auto root = vfs_calvimora::get_client(test_module())->get_root_directory();
    root->delete_item(root->get_item(L"Docs", true), true);
    const std::filesystem::path again = target_ / "again";
    std::filesystem::create_directories(again);
    const std::string refused =
        run_host_program(target_ / "third", "paste " + again.string() + "\nquit\n");
    EXPECT_NE(refused.find("paste failed"), std::string::npos) << refused;
    EXPECT_TRUE(std::filesystem::is_empty(again)) << "no empty or half paste";
}

// The part files a copy out is writing in a folder, by name.
std::vector<std::string> part_files(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        if (entry.path().filename().string().rfind(".download-", 0) == 0)
            names.push_back(entry.path().filename().string());
    return names;
}

// A copy broken off (Ctrl+C in the host on the terminal) leaves its part
// file; the next copy into that folder removes it, never one still written.
TEST_F(ShellTransfer, APartFileABrokenOffCopyLeftGoesWithTheNextCopyIntoItsFolder) {
    calvimora::testing::transfer_fault stall;
    stall.direction = "download";
    stall.kind = "stall";
    stall.after = 50000;
    stall.seconds = 600;
    stall.skip = 2;  // c.txt and a.txt go first
    env_.service().arm(stall);
    std::ofstream(target_ / "typed") << "get 0 " << target_.string() << "\nquit\n";
    wchar_t junction[40];
    StringFromGUID2(utils::clsid_calvimora_folder, junction, 40);
    const std::string program = (program_folder() / "calvimora_explorer").string();
    const std::string folder_text = win_file::native_path(junction);
    std::vector<char*> argv{const_cast<char*>(program.c_str()), const_cast<char*>("browse"),
                            const_cast<char*>(folder_text.c_str()), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, (target_ / "typed").c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t host = -1;
    ASSERT_EQ(posix_spawn(&host, program.c_str(), &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    const std::filesystem::path docs = target_ / "Docs";
    const bool begun =
        wait_until([&] { return std::filesystem::exists(docs) && part_files(docs).size() == 1; });
    if (!begun) ::kill(host, SIGKILL);
    ASSERT_TRUE(begun) << "the copy of b.bin never began";

    // Its writer lives: a copy into the folder leaves it.
    IDataObject* beta = nullptr;
    ASSERT_EQ(shell_host::data_object_of(browser, {index_of(L"beta")}, &beta), S_OK);
    shell_host::copy_out_result copied;
    ASSERT_EQ(shell_host::copy_out(beta, docs.string(), copied), S_OK);
    EXPECT_EQ(part_files(docs).size(), 1u);

    ::kill(host, SIGINT);
    ASSERT_EQ(waitpid(host, nullptr, 0), host);
    ASSERT_EQ(part_files(docs).size(), 1u) << "what a broken-off copy leaves";
    std::filesystem::remove(docs / "beta");
    ASSERT_EQ(shell_host::copy_out(beta, docs.string(), copied), S_OK);
    beta->Release();
    EXPECT_TRUE(part_files(docs).empty());
    EXPECT_EQ(contents_of(docs / "beta"), "b");
    EXPECT_FALSE(std::filesystem::exists(docs / "b.bin")) << "never a part of a file";
}

// A flush renders the copy into the clipboard and lets the object go: what
// is pasted then comes from the copy rebuilt from its saved form.
TEST_F(ShellTransfer, AFlushedCopyPastesWholeAndAFlushedCutMovesItsSources) {
    ASSERT_EQ(shell_host::copy_to_clipboard(browser, {index_of(L"Docs"), index_of(L"beta")}, false),
              S_OK);
    ASSERT_EQ(OleFlushClipboard(), S_OK);
    shell_host::copy_out_result pasted;
    ASSERT_EQ(shell_host::paste_to_local(target_.string(), pasted), S_OK);
    EXPECT_EQ(pasted.files.size(), 4u);
    EXPECT_EQ(contents_of(target_ / "Docs" / "b.bin"), env_.service().file_content(b_id_));
    EXPECT_EQ(contents_of(target_ / "beta"), "b");
    EXPECT_TRUE(listed(L"Docs"));

    // Pasted into a remote folder, the service copies it.
    ASSERT_EQ(shell_host::copy_to_clipboard(browser, {index_of(L"beta")}, false), S_OK);
    ASSERT_EQ(OleFlushClipboard(), S_OK);
    ASSERT_EQ(browser.enter(index_of(L"Docs")), S_OK);
    ASSERT_EQ(shell_host::invoke_background_command(browser, L"Paste"), S_OK);
    EXPECT_TRUE(listed(L"beta"));
    ASSERT_EQ(browser.up(), S_OK);

    std::filesystem::remove(target_ / "beta");
    ASSERT_EQ(shell_host::copy_to_clipboard(browser, {index_of(L"beta")}, true), S_OK);
    ASSERT_EQ(OleFlushClipboard(), S_OK);
    ASSERT_EQ(shell_host::paste_to_local(target_.string(), pasted), S_OK);
    EXPECT_EQ(contents_of(target_ / "beta"), "b");
    EXPECT_FALSE(listed(L"beta")) << "the move's source went to the trash";
    ASSERT_EQ(browser.enter(index_of(L"Trash")), S_OK);
    EXPECT_TRUE(listed(L"beta"));
}

}  // namespace

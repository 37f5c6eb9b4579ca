// An opened remote file edited in its local copy while the real tray
// program runs: the copy's binding, added by the extension in this
// process, is picked up by the tray's running engine, which sends the edit
// to the file that was opened and to no other, and never over a version
// saved elsewhere since the copy was made.
#include <algorithm>
#include <boost/filesystem/operations.hpp>
#include <chrono>
#include <ctime>
#include <fstream>
#include <optional>
#include <sstream>

#include "item_transfer.h"
#include "shell_browser.h"
#include "shell_host.h"
#include "syncer/manager/manager.h"
#include "tray_process_support.h"
#include "utils/class_ids.h"
#include "win/shell_thread.h"
#include "win/test_journal.h"

namespace tray_process_testing {
namespace {

const std::wstring extension(CALVIMORA_MODULE, CALVIMORA_MODULE + sizeof CALVIMORA_MODULE - 1);

std::string read_file(const fs::path& path) {
    std::ifstream in(path.string(), std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

size_t index_of(const shell_host::shell_browser& browser, const std::wstring& name) {
    const auto& items = browser.items();
    for (size_t i = 0; i < items.size(); ++i)
        if (items[i].name == name) return i;
    ADD_FAILURE() << "no item named " << std::string(name.begin(), name.end());
    return items.size();
}

class TrayOpenEdit : public TrayProcessTest {
protected:
    TrayOpenEdit() { EXPECT_EQ(shell_host::register_server(extension), S_OK); }

    // The item menu's Open on files of the folder at the path, as Explorer
    // invokes it, waited for.
    void open(const std::vector<std::wstring>& folders, const std::vector<std::wstring>& names) {
        shell_host::com_apartment apartment;
        ASSERT_EQ(apartment.status(), S_OK);
        win_test::process_reference process;
        SHSetInstanceExplorer(&process);
        {
            shell_host::shell_browser browser;
            ASSERT_EQ(browser.open(utils::clsid_calvimora_folder), S_OK);
            ASSERT_EQ(browser.list(), S_OK);
            for (const std::wstring& folder : folders)
                ASSERT_EQ(browser.enter(index_of(browser, folder)), S_OK);
            std::vector<size_t> files;
            for (const std::wstring& name : names) files.push_back(index_of(browser, name));
            ASSERT_EQ(shell_host::invoke_item_command(browser, files, L"Open"), S_OK);
            EXPECT_TRUE(process.wait_until_released(std::chrono::seconds(60)));
            SHSetInstanceExplorer(nullptr);
            browser.close();
        }
        shell_host::unload_unused_servers();
    }

    fs::path copy_of(const std::vector<std::wstring>& levels) const {
        fs::path path = syncer::manager::get_files_saved_directory(L"alice");
        for (const std::wstring& level : levels) path /= level;
        return path;
    }

    // Whether alice's top holds a folder of that name.
    bool top_has(const std::string& name) {
        const auto listing = service_.control(
            "list_folder", calvimora::testing::json_object().set("user", user).set("path", "/"));
        for (const auto& [key, item] : listing.get_child("items"))
            if (item.get<std::string>("name") == name) return true;
        return false;
    }

    // An edit of a copy, dated later than anything the service holds and
    // than the edit before it (the engine tells edits apart by their
    // dates to the second).
    void edit(const fs::path& copy, const std::string& content) {
        std::ofstream(copy.string(), std::ios::binary | std::ios::trunc) << content;
        last_date_ = std::max<std::time_t>(std::time(nullptr) + 60, last_date_ + 1);
        fs::last_write_time(copy, last_date_);
    }

    // Until the engine has sent an edit of the marker copy: every decision
    // of the pass that found an earlier edit has been carried out by then.
    void wait_for_passes(const fs::path& marker, const std::string& marker_id) {
        for (const char* round : {"first", "second"}) {
            const std::string content = std::string("marker, ") + round + " edit";
            edit(marker, content);
            ASSERT_TRUE(eventually([&] { return service_.file_content(marker_id) == content; },
                                   std::chrono::seconds(90)))
                << "the marker's " << round << " edit was never sent";
        }
    }

    std::time_t last_date_ = 0;
};

TEST_F(TrayOpenEdit, AnEditGoesToTheOpenedFileAloneAlsoAfterTheTrayStartsAgain) {
    const std::string letter = service_.add_file(user_id_, documents_id_, "letter.txt", "dear bob");
    std::optional<tray_process> tray(std::in_place);
    ASSERT_TRUE(eventually([] { return last_tray_icon() == 130; })) << "logged in";
    open({L"Documents"}, {L"letter.txt"});
    EXPECT_TRUE(win_test::message_boxes().empty());

    const fs::path copy = copy_of({L"Documents", L"letter.txt"});
    ASSERT_EQ(read_file(copy), "dear bob");
    edit(copy, "dear bob, see you soon");
    EXPECT_TRUE(
        eventually([&] { return service_.file_content(letter) == "dear bob, see you soon"; },
                   std::chrono::seconds(90)))
        << "the service holds the edited bytes";
    EXPECT_EQ(read_file(copy), "dear bob, see you soon") << "the copy itself is left as edited";
    wait_for_passes(copy, letter);
    EXPECT_FALSE(top_has("Calvimora")) << "the copy was sent to a second place";

    // Started again, the engine still sends the copy's edits to its file.
    tray.reset();
    tray.emplace();
    ASSERT_TRUE(eventually([] { return last_tray_icon() == 130; })) << "logged in again";
    edit(copy, "dear bob, see you on Monday");
    EXPECT_TRUE(
        eventually([&] { return service_.file_content(letter) == "dear bob, see you on Monday"; },
                   std::chrono::seconds(90)))
        << "the edit made after the restart never went";
    wait_for_passes(copy, letter);
    EXPECT_FALSE(top_has("Calvimora")) << "the copy was sent to a second place";
}

TEST_F(TrayOpenEdit, EditsOfAnotherUsersFilesReachTheirFilesNeverTheUsersOwnOfTheSamePath) {
    const std::string bob = service_.add_user("bob", "b0b");
    const std::string bobs_docs = service_.add_folder(bob, "0", "Docs");
    const std::string bobs_a = service_.add_file(bob, bobs_docs, "a.txt", "bob's a");
    const std::string bobs_b = service_.add_file(bob, bobs_docs, "b.txt", "bob's b");
    service_.add_share(bob, bobs_docs, user_id_);
    // alice's own "Docs" holds an "a.txt", but no "b.txt".
    const std::string own_docs = service_.add_folder(user_id_, "0", "Docs");
    const std::string own_a = service_.add_file(user_id_, own_docs, "a.txt", "alice's a");
    tray_process tray;
    ASSERT_TRUE(eventually([] { return last_tray_icon() == 130; })) << "logged in";
    open({L"Shared Folders", L"bob", L"Docs"}, {L"a.txt", L"b.txt"});
    EXPECT_TRUE(win_test::message_boxes().empty());

    const fs::path a = copy_of({L"Shared Folders", L"bob", L"Docs", L"a.txt"});
    const fs::path b = copy_of({L"Shared Folders", L"bob", L"Docs", L"b.txt"});
    ASSERT_EQ(read_file(a), "bob's a");
    ASSERT_EQ(read_file(b), "bob's b");
    edit(a, "bob's a, edited by alice");
    edit(b, "bob's b, edited by alice");
    EXPECT_TRUE(
        eventually([&] { return service_.file_content(bobs_a) == "bob's a, edited by alice"; },
                   std::chrono::seconds(90)));
    EXPECT_TRUE(
        eventually([&] { return service_.file_content(bobs_b) == "bob's b, edited by alice"; },
                   std::chrono::seconds(90)));
    wait_for_passes(a, bobs_a);
    EXPECT_EQ(service_.file_content(own_a), "alice's a") << "her own file took bob's edit";
    EXPECT_FALSE(top_has("Calvimora"));
}

TEST_F(TrayOpenEdit, AnEditOfAnOutdatedCopyNeverReplacesTheVersionSavedElsewhere) {
    const std::string memo = service_.add_file(user_id_, documents_id_, "memo.txt", "m1");
    const std::string letter = service_.add_file(user_id_, documents_id_, "letter.txt", "dear bob");
    tray_process tray;
    ASSERT_TRUE(eventually([] { return last_tray_icon() == 130; })) << "logged in";
    open({L"Documents"}, {L"memo.txt", L"letter.txt"});

    // Another computer saves, then the person edits the copy of "m1".
    service_.control("put_file", calvimora::testing::json_object()
                                     .set("user", user)
                                     .set("path", "/Documents/memo.txt")
                                     .set("content", "m2"));
    const fs::path copy = copy_of({L"Documents", L"memo.txt"});
    edit(copy, "m1 and my edit");
    wait_for_passes(copy_of({L"Documents", L"letter.txt"}), letter);

    EXPECT_EQ(service_.file_content(memo), "m2") << "the other computer's version was overwritten";
    EXPECT_EQ(read_file(copy), "m1 and my edit");
}

}  // namespace
}  // namespace tray_process_testing

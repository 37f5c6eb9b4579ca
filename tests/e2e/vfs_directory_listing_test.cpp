// Listings and lookups of own folders and of the root, against the stand-in
// service; replies it would never give are scripted through it.
#include <boost/make_shared.hpp>
#include <boost/pointer_cast.hpp>
#include <thread>

#include "vfs/root_directory.h"
#include "vfs_directory_session.h"

namespace calvimora::testing {
namespace {

using vfs_calvimora::directory;
using names_list = std::vector<std::wstring>;

// A root whose special folders are plain folders named after them.
class marked_root : public vfs_calvimora::root_directory {
public:
    using root_directory::root_directory;

protected:
    vfs::item_ptr make_shared_folders_container() override { return marker(L"Shared Folders"); }
    vfs::item_ptr make_trash_directory() override { return marker(L"Trash"); }

private:
    vfs::item_ptr marker(const wchar_t* name) {
        vfs_calvimora::directory_record record;
        record.name = name;
        return boost::make_shared<directory>(session(), record);
    }
};

class directory_listing_test : public directory_session_test {};

TEST_F(directory_listing_test, ListingPutsFoldersFirstAndReadsTheirRecords) {
    auto work = make_folder("Work");
    script("list_dir", result_xml(file_xml("31", "b.txt", "<DateModified>0</DateModified>") +
                                  folder_xml("21", "One", "<DateCreated>0</DateCreated>") +
                                  file_xml("32", "a.txt") +
                                  folder_xml("22", "Two", "<DateCreated>17</DateCreated>")));
    const vfs::item_list items = work->list_items();

    EXPECT_EQ((names_list{L"One", L"Two", L"b.txt", L"a.txt"}), names(items));
    EXPECT_EQ(narrow(work->get_server_id()), take_requests().at(0).params.at("dir_id"));
    EXPECT_EQ(L"dir_21", items[0]->get_id());
    EXPECT_EQ(-1, items[0]->get_creation_date());
    EXPECT_EQ(17, items[1]->get_creation_date());
    EXPECT_EQ(-1, boost::dynamic_pointer_cast<vfs::file>(items[2])->get_modification_date());
    EXPECT_TRUE(work->has_subdirectories());

    script("list_dir", result_xml(file_xml("31", "b.txt")));
    EXPECT_EQ(1u, work->list_items().size());
    EXPECT_FALSE(work->has_subdirectories());
}

// A scan's listing answers what the items' objects answer: names, kinds,
// folder objects, files' dates, sizes and ids; the root, whose children are
// not all its records, answers by its items.
TEST_F(directory_listing_test, AScanListingAnswersWhatTheItemsAnswer) {
    const auto expect_same = [](const vfs::item_list& items,
                                const vfs::directory::scanned_children& scanned) {
        ASSERT_EQ(items.size(), scanned.size());
        for (std::size_t at = 0; at < items.size(); ++at) {
            const vfs::directory::scanned_child expected = vfs::directory::scanned(items[at]);
            const vfs::directory::scanned_child& child = scanned[at];
            EXPECT_EQ(expected.name, child.name);
            EXPECT_EQ(expected.type, child.type);
            EXPECT_EQ(expected.is_file, child.is_file);
            EXPECT_EQ(expected.modification_date, child.modification_date);
            EXPECT_EQ(expected.size, child.size);
            EXPECT_EQ(expected.id, child.id);
            ASSERT_EQ(!expected.folder, !child.folder);
            if (child.folder) {
                EXPECT_EQ(expected.folder->get_id(), child.folder->get_id());
            }
        }
    };
    auto work = make_folder("Work");
    const std::string listing =
        result_xml(file_xml("31", "b.txt", "<DateModified>0</DateModified><Size>7</Size>") +
                   folder_xml("21", "One") +
                   file_xml("\xC3\xA9", "\xF0\x9F\x98\x80", "<DateModified>5</DateModified>"));
    script("list_dir", listing);
    const vfs::item_list items = work->list_items();
    EXPECT_EQ(L"\u00E9", items[2]->get_id());
    script("list_dir", listing);
    expect_same(items, work->list_for_scan());
    EXPECT_TRUE(work->has_subdirectories());

    service_.add_file(alice_, "0", "top.txt", "x");
    service_.add_folder(alice_, "0", "Photos");
    auto root = boost::make_shared<marked_root>(*session_);
    const vfs::item_list root_items = root->list_items();
    expect_same(root_items, root->list_for_scan());
    EXPECT_EQ(L"Trash", root_items.back()->get_name());
}

TEST_F(directory_listing_test, LookupsIgnoreCaseAndRelistOnceOnAMiss) {
    auto work = make_folder("Work");
    const std::string work_id = narrow(work->get_server_id());
    service_.add_folder(alice_, work_id, "Überblick");
    const std::string file_id = service_.add_file(alice_, work_id, "notes.txt", "hello");

    // A name beyond ASCII matches in another case; the empty cache lists once.
    EXPECT_EQ(L"Überblick", work->get_item(L"ÜBERBLICK", false)->get_name());
    EXPECT_EQ(L"notes.txt", work->get_item_by_id(widen(file_id), false)->get_name());
    EXPECT_EQ((std::vector<std::string>{"list_dir"}), take_actions());

    // A child made behind the cache's back costs one fresh listing.
    service_.add_file(alice_, work_id, "late.txt", "");
    EXPECT_EQ(L"late.txt", work->get_item(L"LATE.TXT", false)->get_name());
    EXPECT_EQ((std::vector<std::string>{"list_dir"}), take_actions());

    try {
        work->get_item(L"missing", false);
        FAIL() << "found a missing item";
    } catch (const vfs::item_not_found_exception& failure) {
        EXPECT_EQ(L"Item not found", failure.get_title());
        EXPECT_EQ(L"File system error: item 'missing' not found in directory 'Work'",
                  failure.get_text());
    }
    EXPECT_EQ((std::vector<std::string>{"list_dir"}), take_actions());

    auto empty = make_folder("Empty");
    EXPECT_THROW(empty->get_item_by_id(L"1", false), vfs::item_not_found_exception);
    EXPECT_EQ((std::vector<std::string>{"list_dir"}), take_actions());
}

TEST_F(directory_listing_test, NameLookupsPreferTheExactCase) {
    auto work = make_folder("Work");
    const std::string listing = result_xml(folder_xml("21", "report") + file_xml("31", "Report") +
                                           file_xml("32", "REPORT"));
    script("list_dir", listing);
    script("rename_file", result_xml(""));
    work->rename_item(L"Report", L"Old report");
    script("list_dir", listing);
    script("move_dir_to_trash", result_xml(""));
    work->delete_item(L"report", true);
    // Without an exact match, the first child that matches in another case.
    script("list_dir", listing);
    EXPECT_EQ(L"dir_21", work->get_item(L"rEpOrT", true)->get_id());

    const auto requests = take_requests();
    ASSERT_EQ(5u, requests.size());
    EXPECT_EQ("31", requests[1].params.at("file_id"));
    EXPECT_EQ("Old report", requests[1].params.at("new_name"));
    EXPECT_EQ("21", requests[3].params.at("dir_id"));
}

TEST_F(directory_listing_test, ConcurrentListingsAndLookups) {
    auto work = make_folder("Work");
    service_.add_folder(alice_, narrow(work->get_server_id()), "Sub");
    std::vector<std::thread> threads;
    for (int n = 0; n < 4; ++n) {
        threads.emplace_back([&work] {
            for (int round = 0; round < 5; ++round) {
                EXPECT_EQ(1u, work->list_items().size());
                EXPECT_EQ(L"Sub", work->get_item(L"sub", round % 2 == 0)->get_name());
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
}

TEST_F(directory_listing_test, RootListsOwnItemsThenSharedFoldersThenTrash) {
    service_.add_file(alice_, "0", "top.txt", "x");
    service_.add_folder(alice_, "0", "Photos");
    auto root = boost::make_shared<marked_root>(*session_);
    EXPECT_EQ(L"dir_root", root->get_id());
    EXPECT_EQ((names_list{L"Photos", L"top.txt", L"Trash"}), names(root->list_items()));
    const auto requests = take_requests();
    ASSERT_EQ(2u, requests.size());
    EXPECT_EQ("has_share_folders", requests[0].action);
    EXPECT_EQ("0", requests[1].params.at("dir_id"));

    const std::string bob = service_.add_user("bob", "pw");
    service_.add_share(bob, service_.add_folder(bob, "0", "Music"), alice_);
    EXPECT_EQ((names_list{L"Photos", L"top.txt", L"Shared Folders", L"Trash"}),
              names(root->list_items()));
    EXPECT_EQ(L"Trash", root->get_item(L"trash", false)->get_name());

    // A failed step keeps the last listing.
    for (const char* action : {"has_share_folders", "list_dir"}) {
        request_fault fault;
        fault.target = action;
        fault.kind = "error";
        service_.arm(fault);
        EXPECT_THROW(root->list_items(), vfs::exception) << action;
    }
    take_requests();
    EXPECT_EQ(L"Shared Folders", root->get_item(L"Shared Folders", false)->get_name());
    EXPECT_TRUE(take_requests().empty());
}

TEST_F(directory_listing_test, RootTrimsOnlyLineFeedsFromTheSharedFoldersAnswer) {
    auto root = boost::make_shared<marked_root>(*session_);
    script("has_share_folders", "<Result>True\n</Result>");
    EXPECT_EQ((names_list{L"Shared Folders", L"Trash"}), names(root->list_items()));
    for (const char* answer : {"<Result>true</Result>", "<Result>True </Result>"}) {
        script("has_share_folders", answer);
        EXPECT_EQ((names_list{L"Trash"}), names(root->list_items())) << answer;
    }
    try {
        root->get_item(L"nothing", true);
        FAIL() << "found a missing item";
    } catch (const vfs::item_not_found_exception& failure) {
        EXPECT_EQ(L"File system error: item 'nothing' not found in directory ''",
                  failure.get_text());
    }
}

TEST_F(directory_listing_test, SessionHandsOutOneOrdinaryRoot) {
    const vfs::directory_ptr root = session_->get_root_directory();
    EXPECT_EQ(root, session_->get_root_directory());
    ASSERT_TRUE(boost::dynamic_pointer_cast<vfs_calvimora::root_directory>(root));
    root->set_folder_type(vfs::folder_type_own);
    EXPECT_EQ(vfs::folder_type_root, root->get_folder_type());
    EXPECT_TRUE(root->is_fixed_folder());
    EXPECT_FALSE(root->is_plain_directory());
    EXPECT_EQ(L"", root->get_path());
    EXPECT_TRUE(take_requests().empty());
}

}  // namespace
}  // namespace calvimora::testing

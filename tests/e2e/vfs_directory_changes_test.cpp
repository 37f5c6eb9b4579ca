// Creating, renaming, trashing, restoring and removing through own folders,
// and changing a folder's own description and access, against the stand-in
// service.
#include <boost/pointer_cast.hpp>

#include "vfs_directory_session.h"

namespace calvimora::testing {
namespace {

using vfs_calvimora::directory;

class directory_changes_test : public directory_session_test {
protected:
    void fail_next(const std::string& action) {
        request_fault fault;
        fault.target = action;
        fault.kind = "error";
        fault.error_name = "Refused";
        fault.error_description = "Not now";
        service_.arm(fault);
    }
};

TEST_F(directory_changes_test, CreatesItemsWithTheFolderAccess) {
    auto work = make_folder("Work");
    work->set_access(vfs::access_public);
    const vfs::item_ptr sub = work->create_directory(L"Sub");
    ASSERT_TRUE(boost::dynamic_pointer_cast<vfs::directory>(sub));
    EXPECT_EQ(L"Sub", sub->get_name());
    EXPECT_EQ(vfs::access_public, sub->get_access());
    EXPECT_THROW(work->create_directory(L"SUB"), vfs::item_already_exists_exception);

    auto file = boost::dynamic_pointer_cast<vfs::file>(work->create_file_alloc(L"b.bin", 10));
    ASSERT_TRUE(file);
    EXPECT_EQ(0, file->get_mode());
    const auto requests = take_requests();
    ASSERT_EQ(5u, requests.size());
    EXPECT_EQ("create_dir", requests[1].action);
    EXPECT_EQ("1", requests[1].params.at("dir_access"));
    EXPECT_EQ(narrow(work->get_server_id()), requests[1].params.at("dir_id"));
    EXPECT_EQ("create_file", requests[4].action);
    EXPECT_EQ("10", requests[4].params.at("size"));
    EXPECT_EQ("0", requests[4].params.at("is_pro"));

    // The cache was dropped: even a name it held costs a listing.
    EXPECT_EQ(L"Sub", work->get_item(L"Sub", false)->get_name());
    EXPECT_EQ((std::vector<std::string>{"list_dir"}), take_actions());

    try {
        work->create_and_open_file(L"c.bin", vfs::modeWrite, 0);
        FAIL() << "opened for appending";
    } catch (const vfs::exception& failure) {
        EXPECT_EQ(L"Internal error", failure.get_title());
    }
    EXPECT_TRUE(take_requests().empty());
}

TEST_F(directory_changes_test, CreateDirectoryFailsWhenNoFolderAnswersTheName) {
    auto work = make_folder("Work");
    script("create_dir", result_xml(""));
    script("list_dir", result_xml(file_xml("31", "docs")));
    try {
        work->create_directory(L"Docs");
        FAIL() << "a file was handed out as the new folder";
    } catch (const vfs::exception& failure) {
        EXPECT_EQ(L"Error creating directory", failure.get_title());
    }

    script("create_dir", result_xml(""));
    try {
        work->create_directory(L"Ghost");
        FAIL() << "a missing folder was handed out";
    } catch (const vfs::exception& failure) {
        EXPECT_EQ(L"Error creating directory", failure.get_title());
        EXPECT_EQ(L"File system error: item 'Ghost' not found in directory 'Work'",
                  failure.get_text());
    }
}

TEST_F(directory_changes_test, RenameTrashRestoreAndRemove) {
    auto work = make_folder("Work");
    const vfs::item_ptr sub = work->create_directory(L"Sub");
    work->create_file(L"a.txt");

    work->rename_item(L"sub", L"Renamed");
    EXPECT_EQ(L"Sub", sub->get_name());
    const vfs::item_ptr renamed = work->get_item(L"Renamed", false);
    EXPECT_NE(sub, renamed);
    EXPECT_EQ(sub->get_id(), renamed->get_id());

    work->delete_item(renamed, true);
    EXPECT_EQ((std::vector<std::wstring>{L"a.txt"}), names(work->list_items()));
    renamed->restore();
    EXPECT_EQ((std::vector<std::wstring>{L"Renamed", L"a.txt"}), names(work->list_items()));

    take_requests();
    work->delete_item(L"A.TXT", false);
    const auto requests = take_requests();
    ASSERT_EQ(1u, requests.size());
    EXPECT_EQ("remove_file", requests[0].action);
    // The cache lost the file: a stale entry would have answered at once.
    EXPECT_THROW(work->get_item(L"a.txt", false), vfs::item_not_found_exception);
}

TEST_F(directory_changes_test, DescriptionAccessAndPathChangeOnlyOnSuccess) {
    auto work = make_folder("Work", narrow(make_folder("Top")->get_server_id()));
    work->set_description(L"Quarterly <numbers>");
    EXPECT_EQ(L"Quarterly <numbers>", work->get_description());
    fail_next("set_dir_description");
    EXPECT_THROW(work->set_description(L"lost"), vfs::exception);
    EXPECT_EQ(L"Quarterly <numbers>", work->get_description());

    fail_next("set_dir_access");
    EXPECT_THROW(work->set_access(vfs::access_hidden), vfs::exception);
    EXPECT_EQ(vfs::access_private, work->get_access());
    work->set_access(vfs::access_hidden);
    EXPECT_EQ(vfs::access_hidden, work->get_access());

    EXPECT_EQ(L"/Top/Work", work->get_path());
    EXPECT_THROW(work->get_thumbnail(), vfs::exception);
}

}  // namespace
}  // namespace calvimora::testing

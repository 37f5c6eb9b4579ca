// Working inside a folder another user shares: every request names the
// share at every depth, files created there are own files until listed
// again, and copies name source and destination, against the stand-in
// service.
#include "vfs/shared_file.h"
#include "vfs_shared_session.h"

namespace calvimora::testing {
namespace {

using names_list = std::vector<std::wstring>;

class shared_operations_test : public shared_tree_test {};

TEST_F(shared_operations_test, EveryRequestInsideAShareNamesItAtEveryDepth) {
    vfs::directory_ptr top = projects();
    take_requests();
    vfs::directory_ptr deep = folder_in(folder_in(top, L"Plans"), L"Deep");
    const auto file = file_in(deep, L"deep.txt");
    EXPECT_TRUE(boost::dynamic_pointer_cast<vfs_calvimora::shared_file>(file));

    EXPECT_EQ(L"/Projects/Plans/Deep", deep->get_path());
    deep->set_description(L"deepest");
    deep->set_access(1);
    EXPECT_EQ(L"/Projects/Plans/Deep/deep.txt", file->get_path());
    file->set_description(L"notes");
    file->set_access(2);
    file->set_price(2.5);
    file->set_modification_date(1234);
    EXPECT_EQ("deep content", read_through(*file));
    file->open(vfs::modeWrite | vfs::modeOverwrite, 9);
    write_through(*file, "rewritten");

    auto made = boost::dynamic_pointer_cast<vfs::directory>(deep->create_directory(L"Made"));
    ASSERT_TRUE(made);
    EXPECT_TRUE(made->list_items().empty());
    deep->rename_item(L"Made", L"Renamed");
    deep->rename_item(L"deep.txt", L"moved.txt");
    EXPECT_EQ((names_list{L"Renamed", L"moved.txt"}), names(deep->list_items()));
    deep->delete_item(L"Renamed", true);
    EXPECT_EQ((names_list{L"moved.txt"}), names(deep->list_items()));
    EXPECT_EQ(std::vector<std::string>{}, requests_without(bobs_share()));

    const std::string file_id = narrow(file->get_id());
    EXPECT_EQ("rewritten", service_.file_content(file_id));
    deep->delete_item(L"moved.txt", true);
    take_requests();
    // A file restores with the share named; a folder, as an own folder
    // does, with its id alone.
    file->restore();
    EXPECT_EQ(bob_, only_request().at("share_user_id"));
    made->restore();
    const key_values folder_restore = only_request();
    EXPECT_EQ("restore_dir_from_trash", folder_restore.at("action"));
    EXPECT_EQ(std::vector<std::string>{"dir_id"},
              keys_starting(folder_restore, {"dir_", "share_"}));
    EXPECT_EQ((names_list{L"Renamed", L"moved.txt"}), names(deep->list_items()));

    // The thumbnail is asked for in the sharing user's name.
    file->get_thumbnail();
    EXPECT_EQ(bob_, take_requests().back().params.at("shared_user_id"));
}

TEST_F(shared_operations_test, FilesCreatedInAShareCommitWithoutItsKeys) {
    vfs::directory_ptr plans = folder_in(projects(), L"Plans");
    take_requests();
    const std::string content(70000, 'x');
    vfs::item_ptr made =
        plans->create_and_open_file(L"new.bin", vfs::modeWrite | vfs::modeOverwrite, 70000);
    EXPECT_EQ(std::vector<std::string>{}, requests_without(bobs_share()));
    EXPECT_FALSE(boost::dynamic_pointer_cast<vfs_calvimora::shared_file>(made));
    auto created = boost::dynamic_pointer_cast<vfs::file>(made);
    write_through(*created, content);
    const std::vector<logged_request> commit = service_.requests();
    ASSERT_EQ(1u, commit.size());
    EXPECT_EQ("close_file_upload", commit[0].action);
    EXPECT_EQ(std::vector<std::string>{}, requests_carrying({"share_id", "share_user_id"}));
    EXPECT_EQ(content, service_.file_content(narrow(created->get_id())));

    // Opened again later, still without them.
    created->open(vfs::modeWrite | vfs::modeOverwrite, 3);
    write_through(*created, "abc");
    EXPECT_EQ(std::vector<std::string>{}, requests_carrying({"share_id", "share_user_id"}));
    EXPECT_EQ("abc", service_.file_content(narrow(created->get_id())));

    // Listed again, it is a file of the share.
    const auto listed = file_in(plans, L"new.bin");
    EXPECT_TRUE(boost::dynamic_pointer_cast<vfs_calvimora::shared_file>(listed));
    take_requests();
    EXPECT_EQ("abc", read_through(*listed));
    EXPECT_EQ(std::vector<std::string>{}, requests_without(bobs_share()));
}

TEST_F(shared_operations_test, CopiesNameTheShareOfSourceAndDestination) {
    vfs::directory_ptr root = session_->get_root_directory();
    vfs::directory_ptr mine = folder_in(root, L"Mine");
    vfs::directory_ptr top = projects();
    vfs::directory_ptr plans = folder_in(top, L"Plans");
    const auto readme = file_in(top, L"readme.txt");
    const auto own = file_in(root, L"own.txt");
    take_requests();
    const std::vector<std::string> key_prefixes{"src_", "dst_", "move", "is_pro"};

    readme->copy(mine, false);
    key_values copy = only_request();
    EXPECT_EQ((std::vector<std::string>{"dst_dir_id", "is_pro", "move", "src_file_id",
                                        "src_share_id", "src_share_user_id"}),
              keys_starting(copy, key_prefixes));
    EXPECT_EQ(mine_, copy.at("dst_dir_id"));
    EXPECT_EQ(projects_, copy.at("src_share_id"));
    EXPECT_EQ(bob_, copy.at("src_share_user_id"));

    readme->copy(plans, true);
    copy = only_request();
    EXPECT_EQ(
        (std::vector<std::string>{"dst_dir_id", "dst_share_id", "dst_share_user_id", "is_pro",
                                  "move", "src_file_id", "src_share_id", "src_share_user_id"}),
        keys_starting(copy, key_prefixes));
    EXPECT_EQ(plans_, copy.at("dst_dir_id"));
    EXPECT_EQ("1", copy.at("move"));

    own->copy(plans, false);
    copy = only_request();
    EXPECT_EQ((std::vector<std::string>{"dst_dir_id", "dst_share_id", "dst_share_user_id", "is_pro",
                                        "move", "src_file_id"}),
              keys_starting(copy, key_prefixes));

    EXPECT_EQ((names_list{L"readme.txt"}), names(mine->list_items()));
    EXPECT_EQ((names_list{L"Deep", L"own.txt", L"readme.txt"}), names(plans->list_items()));
    EXPECT_EQ((names_list{L"Plans"}), names(top->list_items()));
    take_requests();

    EXPECT_EQ(L"Copy file failed: Wrong type of destination item",
              failure_of([&] { readme->copy(own, false); }));
    EXPECT_TRUE(take_requests().empty());
}

TEST_F(shared_operations_test, TheSharingUsersRefusalsComeFromTheService) {
    vfs::directory_ptr view_only = photos();
    const auto cat = file_in(view_only, L"cat.jpg");
    EXPECT_EQ("meow", read_through(*cat));
    take_requests();
    EXPECT_NE(L"", failure_of([&] { view_only->create_directory(L"Mine now"); }));
    EXPECT_NE(L"", failure_of([&] { cat->set_description(L"mine"); }));
    EXPECT_EQ(2u, take_requests().size());
    EXPECT_EQ(L"", cat->get_description());
}

}  // namespace
}  // namespace calvimora::testing

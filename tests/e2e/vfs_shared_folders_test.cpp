// The shared-folders container, the users folders and the top folders of
// shares, as other users' shares show up in alice's root, against the
// stand-in service.
#include "vfs_shared_session.h"

namespace calvimora::testing {
namespace {

using names_list = std::vector<std::wstring>;

class shared_folders_test : public shared_tree_test {};

TEST_F(shared_folders_test, TheRootShowsOneUsersFolderPerSharingUser) {
    vfs::directory_ptr root = session_->get_root_directory();
    EXPECT_EQ((names_list{L"Mine", L"own.txt", L"Shared Folders", L"Trash"}),
              names(root->list_items()));

    vfs::directory_ptr shares = container();
    take_requests();
    EXPECT_EQ(L"dir_shared_folders_container", shares->get_id());
    EXPECT_EQ(L"", shares->get_path());
    EXPECT_TRUE(shares->has_subdirectories());
    const vfs::item_list users = shares->list_items();
    EXPECT_EQ((names_list{L"bob", L"carol"}), names(users));
    EXPECT_EQ(L"dir_ud_" + widen(bob_), users[0]->get_id());
    EXPECT_EQ(L"dir_ud_" + widen(carol_), users[1]->get_id());
    EXPECT_EQ("list_shared_users", only_request().at("action"));
    // A new listing makes new folders with the same ids.
    const vfs::item_list again = shares->list_items();
    EXPECT_NE(users[0], again[0]);
    EXPECT_EQ(users[0]->get_id(), again[0]->get_id());
    take_requests();

    auto bobs = boost::dynamic_pointer_cast<vfs::directory>(users[0]);
    EXPECT_EQ((names_list{L"Projects"}), names(bobs->list_items()));
    const key_values listing = only_request();
    EXPECT_EQ("list_shared_directories", listing.at("action"));
    EXPECT_EQ(bob_, listing.at("share_user_id"));
    EXPECT_EQ(L"", bobs->get_path());

    vfs::directory_ptr top = folder_in(bobs, L"Projects");
    EXPECT_EQ(L"dir_" + widen(projects_), top->get_id());
    EXPECT_TRUE(top->is_shared());
    EXPECT_EQ(-1, top->get_delete_date());
    EXPECT_EQ((names_list{L"Plans", L"readme.txt"}), names(top->list_items()));
    EXPECT_TRUE(requests_without(bobs_share()).empty());
}

TEST_F(shared_folders_test, WithoutSharesTheRootHasNoContainer) {
    service_.add_user("dave", "pw-d");
    auto session = vfs_calvimora::client::log_in(L"dave", L"pw-d", L"pc-2");
    EXPECT_EQ((names_list{L"Trash"}), names(session->get_root_directory()->list_items()));
}

TEST_F(shared_folders_test, FixedFoldersAnswerTheirTypesAndKeepTheirPlace) {
    vfs::directory_ptr root = session_->get_root_directory();
    vfs::directory_ptr shares = container();
    vfs::directory_ptr bobs = folder_in(shares, L"bob");
    vfs::directory_ptr top = folder_in(bobs, L"Projects");
    vfs::directory_ptr plans = folder_in(top, L"Plans");
    const auto own = file_in(root, L"own.txt");
    take_requests();

    struct expected {
        vfs::directory_ptr folder;
        int type;
        bool fixed;
    };
    for (const expected& each :
         {expected{root, 1, true}, expected{shares, 32, true}, expected{bobs, 64, true},
          expected{top, 0, true}, expected{plans, 0, false}}) {
        SCOPED_TRACE(narrow(each.folder->get_name()));
        each.folder->set_folder_type(4);
        EXPECT_EQ(each.type, each.folder->get_folder_type());
        EXPECT_EQ(each.fixed, each.folder->is_fixed_folder());
        EXPECT_FALSE(each.folder->is_plain_directory());
    }

    EXPECT_EQ(L"Delete failed: The folder 'Shared Folders' can not be deleted",
              failure_of([&] { root->delete_item(shares, true); }));
    EXPECT_EQ(L"Delete failed: The folder 'bob' can not be deleted",
              failure_of([&] { shares->delete_item(L"bob", false); }));
    EXPECT_EQ(L"Error creating directory: Nothing can be placed in the folder 'bob'",
              failure_of([&] { bobs->create_directory(L"New"); }));
    EXPECT_EQ(L"Error creating file: Nothing can be placed in the folder 'Shared Folders'",
              failure_of([&] { shares->create_file_alloc(L"a.txt", 3); }));
    EXPECT_EQ(L"Copy file failed: Nothing can be placed in the folder 'bob'",
              failure_of([&] { own->copy(bobs, true); }));
    EXPECT_TRUE(take_requests().empty());
}

TEST_F(shared_folders_test, FoldersOnlyTheClientHasSendNothingThatWouldNameTheRoot) {
    vfs::directory_ptr bin = folder_in(session_->get_root_directory(), L"Trash");
    vfs::directory_ptr shares = container();
    vfs::directory_ptr bobs = folder_in(shares, L"bob");
    take_requests();

    for (const vfs::directory_ptr& folder : {bin, shares, bobs}) {
        const std::wstring name = folder->get_name();
        SCOPED_TRACE(narrow(name));
        const std::wstring changed = L": The folder '" + name + L"' can not be changed";
        const std::wstring shared = L"Sharing failed: The folder '" + name + L"' can not be shared";
        EXPECT_EQ(L"Set access failed" + changed, failure_of([&] { folder->set_access(1); }));
        EXPECT_EQ(L"Set description failed" + changed,
                  failure_of([&] { folder->set_description(L"mine"); }));
        EXPECT_EQ(shared, failure_of([&] { folder->sharing(42); }));
        EXPECT_EQ(shared, failure_of([&] { folder->get_sharewith_items(); }));
        EXPECT_EQ(shared, failure_of([&] { folder->find_sharewith_item_by_userid(42); }));
        EXPECT_EQ(shared, failure_of([&] { folder->email_for_sharing(L"carol@example.com"); }));
        EXPECT_EQ(L"Restore failed: The folder '" + name + L"' can not be restored",
                  failure_of([&] { folder->restore(); }));
        EXPECT_EQ(L"", folder->get_description());
        EXPECT_EQ(0, folder->get_access());
    }
    EXPECT_TRUE(take_requests().empty());
}

TEST_F(shared_folders_test, TheServiceRefusesToRenameOrDeleteTheTopFolderOfAShare) {
    vfs::directory_ptr bobs = folder_in(container(), L"bob");
    vfs::directory_ptr top = folder_in(bobs, L"Projects");
    take_requests();

    const std::wstring refusal =
        L"Access denied: The top folder of a share can not be renamed or removed";
    EXPECT_EQ(refusal, failure_of([&] { bobs->delete_item(top, true); }));
    EXPECT_EQ(refusal, failure_of([&] { bobs->delete_item(L"Projects", false); }));
    EXPECT_EQ(refusal, failure_of([&] { bobs->rename_item(L"Projects", L"Mine now"); }));
    // Each went to the service, which decided: the request names the
    // shared folder itself, never the root.
    const std::vector<logged_request> requests = take_requests();
    ASSERT_EQ(3u, requests.size());
    EXPECT_EQ("move_dir_to_trash", requests[0].action);
    EXPECT_EQ("remove_dir", requests[1].action);
    EXPECT_EQ("rename_dir", requests[2].action);
    for (const logged_request& request : requests) {
        EXPECT_EQ(projects_, request.params.at("dir_id")) << request.action;
    }
    EXPECT_EQ((names_list{L"Projects"}), names(bobs->list_items()));
    EXPECT_EQ((names_list{L"Plans", L"readme.txt"}), names(top->list_items()));

    // Below the top folder, a full share lets alice rename and delete.
    top->rename_item(L"Plans", L"Ideas");
    top->delete_item(L"readme.txt", true);
    EXPECT_EQ((names_list{L"Ideas"}), names(top->list_items()));
}

TEST_F(shared_folders_test, SharingUsersOfTheSameNameKeepApartById) {
    vfs::directory_ptr shares = container();
    script("list_shared_users",
           result_xml("<UserSharedFolder><UserID>101</UserID><Name>sam</Name></UserSharedFolder>"
                      "<UserSharedFolder><UserID>102</UserID><Name>sam</Name></UserSharedFolder>"
                      "<UserSharedFolder><UserID>103</UserID></UserSharedFolder>"));
    const vfs::item_list users = shares->list_items();
    EXPECT_EQ((names_list{L"sam", L"sam", L""}), names(users));
    EXPECT_EQ(L"dir_ud_101", users[0]->get_id());
    EXPECT_EQ(L"dir_ud_102", users[1]->get_id());
    EXPECT_EQ(users[1], shares->get_item_by_id(L"dir_ud_102", false));
    EXPECT_EQ(users[2], shares->get_item_by_id(L"DIR_UD_103", false));
    take_requests();

    // Each asks for the shares of its own user.
    boost::dynamic_pointer_cast<vfs::directory>(users[1])->list_items();
    EXPECT_EQ("102", only_request().at("share_user_id"));
}

TEST_F(shared_folders_test, ListingsInsideAShareKeepTheShareAndDropTrashDates) {
    vfs::directory_ptr top = projects();
    script("list_dir", result_xml(file_xml("71", "f.txt", "<DateDeleted>5</DateDeleted>") +
                                  folder_xml("72", "Sub",
                                             "<Shared>True</Shared><DateDeleted>5</DateDeleted>"
                                             "<IsHomeFolder>True</IsHomeFolder>")));
    const vfs::item_list children = top->list_items();
    ASSERT_EQ((names_list{L"Sub", L"f.txt"}), names(children));
    auto sub = boost::dynamic_pointer_cast<vfs::directory>(children[0]);
    EXPECT_FALSE(sub->is_shared());
    EXPECT_TRUE(sub->is_home_folder());
    EXPECT_EQ(-1, sub->get_delete_date());
    EXPECT_EQ(-1, children[1]->get_delete_date());
    EXPECT_FALSE(sub->is_fixed_folder());
    EXPECT_TRUE(top->has_subdirectories());
    take_requests();

    // A subfolder, however deep, names the share of its top folder.
    script("list_dir", result_xml(file_xml("73", "g.txt")));
    EXPECT_EQ(1u, sub->list_items().size());
    EXPECT_FALSE(sub->has_subdirectories());
    const key_values listing = only_request();
    EXPECT_EQ("72", listing.at("dir_id"));
    EXPECT_EQ(bob_, listing.at("share_user_id"));
    EXPECT_EQ(projects_, listing.at("share_id"));
}

}  // namespace
}  // namespace calvimora::testing

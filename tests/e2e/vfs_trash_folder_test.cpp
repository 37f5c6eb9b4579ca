// The trash folder of the root: listing what was deleted, restoring it and
// removing it for good, against the stand-in service.
#include <boost/pointer_cast.hpp>

#include "vfs_shared_session.h"

namespace calvimora::testing {
namespace {

using names_list = std::vector<std::wstring>;

class trash_folder_test : public multi_user_test {
protected:
    vfs::directory_ptr trash() { return folder_in(session_->get_root_directory(), L"Trash"); }
};

TEST_F(trash_folder_test, ListsRestoresAndRemovesDeletedItems) {
    const std::string old_id = service_.add_folder(alice_, "0", "Old");
    service_.add_file(alice_, old_id, "inner.txt", "inside");
    const std::string memo_id = service_.add_file(alice_, "0", "memo.txt", "memo");
    service_.add_folder(alice_, "0", "Keep");
    vfs::directory_ptr root = session_->get_root_directory();
    EXPECT_EQ((names_list{L"Keep", L"Old", L"memo.txt", L"Trash"}), names(root->list_items()));

    root->delete_item(L"memo.txt", true);
    root->delete_item(L"Old", true);
    vfs::directory_ptr bin = trash();
    take_requests();
    const vfs::item_list deleted = bin->list_items();
    EXPECT_EQ((names_list{L"Old", L"memo.txt"}), names(deleted));
    EXPECT_NE(-1, deleted[0]->get_delete_date());
    EXPECT_NE(-1, deleted[1]->get_delete_date());
    EXPECT_TRUE(bin->has_subdirectories());
    const key_values listing = only_request();
    EXPECT_EQ("list_trash_dir", listing.at("action"));
    EXPECT_EQ(0u, listing.count("dir_id"));

    // A restored folder comes back with what it held.
    bin->get_item(L"Old", false)->restore();
    EXPECT_EQ((names_list{L"Keep", L"Old", L"Trash"}), names(root->list_items()));
    EXPECT_EQ(L"inner.txt", file_in(folder_in(root, L"Old"), L"inner.txt")->get_name());
    EXPECT_EQ((names_list{L"memo.txt"}), names(bin->list_items()));
    EXPECT_FALSE(bin->has_subdirectories());

    bin->delete_item(L"memo.txt", false);
    EXPECT_EQ("remove_file", take_requests().back().action);
    EXPECT_TRUE(bin->list_items().empty());
    EXPECT_ANY_THROW(service_.file_content(memo_id));
    EXPECT_EQ((names_list{L"Keep", L"Old", L"Trash"}), names(root->list_items()));
}

TEST_F(trash_folder_test, AFailedListingKeepsTheFormerChildren) {
    service_.add_file(alice_, "0", "gone.txt", "");
    vfs::directory_ptr root = session_->get_root_directory();
    root->delete_item(L"gone.txt", true);
    vfs::directory_ptr bin = trash();
    ASSERT_EQ(1u, bin->list_items().size());

    request_fault refusal;
    refusal.target = "list_trash_dir";
    refusal.kind = "error";
    service_.arm(refusal);
    EXPECT_ANY_THROW(bin->list_items());
    take_requests();
    EXPECT_EQ(L"gone.txt", bin->get_item(L"gone.txt", false)->get_name());
    EXPECT_TRUE(take_requests().empty());
}

TEST_F(trash_folder_test, KeepsItsPlaceAndTakesNothingIn) {
    service_.add_file(alice_, "0", "memo.txt", "memo");
    vfs::directory_ptr root = session_->get_root_directory();
    vfs::directory_ptr bin = trash();
    const auto memo = file_in(root, L"memo.txt");
    take_requests();

    EXPECT_EQ(L"dir_trash", bin->get_id());
    EXPECT_EQ(L"", bin->get_path());
    EXPECT_TRUE(bin->is_fixed_folder());
    EXPECT_FALSE(bin->is_plain_directory());
    bin->set_folder_type(4);
    EXPECT_EQ(128, bin->get_folder_type());

    // Its server id "0" would name the root: nothing goes in, and the root
    // never renames or deletes it.
    EXPECT_EQ(L"Delete failed: The folder 'Trash' can not be deleted",
              failure_of([&] { root->delete_item(bin, false); }));
    EXPECT_EQ(L"Rename failed: The folder 'Trash' can not be renamed",
              failure_of([&] { root->rename_item(L"Trash", L"Bin"); }));
    EXPECT_EQ(L"Error creating directory: Nothing can be placed in the folder 'Trash'",
              failure_of([&] { bin->create_directory(L"New"); }));
    EXPECT_NE(L"", failure_of([&] { bin->create_and_open_file(L"a.txt", 6, 1); }));
    EXPECT_NE(L"", failure_of([&] { bin->create_file(L"a.txt"); }));
    EXPECT_EQ(L"Copy file failed: Nothing can be placed in the folder 'Trash'",
              failure_of([&] { memo->copy(bin, false); }));
    EXPECT_TRUE(take_requests().empty());
}

}  // namespace
}  // namespace calvimora::testing

// A session of an access account: its root lists only the folders opened to
// it, and every request below a top folder names that folder, against the
// stand-in service.
#include "vfs/access_directory.h"
#include "vfs/access_file.h"
#include "vfs/access_root_directory.h"
#include "vfs_shared_session.h"

namespace calvimora::testing {
namespace {

using names_list = std::vector<std::wstring>;

// alice's tree; her access account "guest" may use Work fully and view Public.
//   Work/top.txt, Work/Sub/Deep/deep.txt, Work/Sub/Work/
//   Public/, Private/secret.txt, root.txt
class access_session_test : public multi_user_test {
protected:
    access_session_test()
        : work_(service_.add_folder(alice_, "0", "Work")),
          sub_(service_.add_folder(alice_, work_, "Sub")),
          deep_(service_.add_folder(alice_, sub_, "Deep")),
          public_(service_.add_folder(alice_, "0", "Public")) {
        service_.add_file(alice_, work_, "top.txt", "top");
        service_.add_file(alice_, deep_, "deep.txt", "deep content");
        service_.add_folder(alice_, sub_, "Work");
        const std::string secret = service_.add_folder(alice_, "0", "Private");
        service_.add_file(alice_, secret, "secret.txt", "secret");
        service_.add_file(alice_, "0", "root.txt", "root");
        guest_id_ = service_.add_access_account(alice_, "guest", "pw-g");
        service_.grant_access(guest_id_, work_, 1);
        service_.grant_access(guest_id_, public_, 0);
        guest_ = vfs_calvimora::client::log_in(L"guest", L"pw-g", L"pc-3");
        take_requests();
    }

    vfs::directory_ptr work() { return folder_in(guest_->get_root_directory(), L"Work"); }
    key_values through_work() const { return {{"access_dir_id", work_}}; }

    const std::string work_;
    const std::string sub_;
    const std::string deep_;
    const std::string public_;
    std::string guest_id_;
    vfs_calvimora::client_ptr guest_;
};

TEST_F(access_session_test, TheRootListsOnlyTheFoldersOpenedToTheAccount) {
    vfs::directory_ptr root = guest_->get_root_directory();
    EXPECT_TRUE(boost::dynamic_pointer_cast<vfs_calvimora::access_root_directory>(root));
    EXPECT_EQ(root, guest_->get_root_directory());
    EXPECT_EQ(L"dir_root", root->get_id());
    EXPECT_EQ(L"", root->get_name());
    EXPECT_EQ(L"", root->get_path());
    EXPECT_FALSE(root->has_subdirectories());
    root->set_folder_type(4);
    EXPECT_EQ(1, root->get_folder_type());
    EXPECT_TRUE(root->is_fixed_folder());
    EXPECT_FALSE(root->is_plain_directory());
    EXPECT_TRUE(take_requests().empty());

    const vfs::item_list tops = root->list_items();
    EXPECT_EQ((names_list{L"Work", L"Public"}), names(tops));
    EXPECT_TRUE(root->has_subdirectories());
    const key_values listing = only_request();
    EXPECT_EQ("list_dir", listing.at("action"));
    EXPECT_EQ("0", listing.at("dir_id"));
    EXPECT_EQ(guest_id_, listing.at("user_id_access"));
    EXPECT_EQ(0u, listing.count("access_dir_id"));
    for (const vfs::item_ptr& top : tops) {
        auto folder = boost::dynamic_pointer_cast<vfs_calvimora::access_directory>(top);
        ASSERT_TRUE(folder);
        EXPECT_EQ(folder->get_server_id(), folder->get_access_dir_id());
        EXPECT_TRUE(folder->is_fixed_folder());
        EXPECT_FALSE(folder->is_plain_directory());
        folder->set_folder_type(4);
        EXPECT_EQ(0, folder->get_folder_type());
    }

    // Files at the top are not shown; a listing without folders is empty.
    script("list_dir", result_xml(file_xml("91", "loose.txt")));
    EXPECT_TRUE(root->list_items().empty());
    EXPECT_FALSE(root->has_subdirectories());
}

TEST_F(access_session_test, EveryRequestBelowTheRootNamesTheTopFolder) {
    vfs::directory_ptr top = work();
    take_requests();
    vfs::directory_ptr sub = folder_in(top, L"Sub");
    vfs::directory_ptr deep = folder_in(sub, L"Deep");
    const auto file = file_in(deep, L"deep.txt");
    EXPECT_TRUE(boost::dynamic_pointer_cast<vfs_calvimora::access_file>(file));
    // A subfolder is no top folder, even under the top folder's name.
    EXPECT_FALSE(folder_in(sub, L"Work")->is_fixed_folder());
    EXPECT_FALSE(sub->is_fixed_folder());

    EXPECT_EQ(L"/Work/Sub/Deep", deep->get_path());
    deep->set_description(L"deepest");
    deep->set_access(1);
    EXPECT_EQ(L"/Work/Sub/Deep/deep.txt", file->get_path());
    file->set_description(L"notes");
    file->set_access(2);
    file->set_price(3);
    file->set_modification_date(4321);
    EXPECT_EQ("deep content", read_through(*file));
    file->open(vfs::modeWrite | vfs::modeOverwrite, 9);
    write_through(*file, "rewritten");
    auto made = boost::dynamic_pointer_cast<vfs::directory>(deep->create_directory(L"Made"));
    ASSERT_TRUE(made);
    EXPECT_TRUE(boost::dynamic_pointer_cast<vfs_calvimora::access_directory>(made));
    EXPECT_TRUE(made->list_items().empty());
    deep->rename_item(L"Made", L"Renamed");
    deep->rename_item(L"deep.txt", L"moved.txt");
    EXPECT_EQ((names_list{L"Renamed", L"moved.txt"}), names(deep->list_items()));
    deep->delete_item(L"Renamed", true);
    deep->delete_item(L"moved.txt", true);
    EXPECT_TRUE(deep->list_items().empty());
    file->restore();
    EXPECT_EQ(std::vector<std::string>{}, requests_without(through_work()));
    EXPECT_EQ("rewritten", service_.file_content(narrow(file->get_id())));

    // A folder restores with its id alone; the thumbnail request names no
    // access folder.
    made->restore();
    file->get_thumbnail();
    EXPECT_EQ(std::vector<std::string>{}, requests_carrying({"access_dir_id"}));
    EXPECT_EQ((names_list{L"Renamed", L"moved.txt"}), names(deep->list_items()));
}

TEST_F(access_session_test, FilesCreatedInAnAccessFolderAreOwnFilesUntilListedAgain) {
    vfs::directory_ptr sub = folder_in(work(), L"Sub");
    take_requests();
    vfs::item_ptr made = sub->create_file_alloc(L"new.txt", 5);
    EXPECT_EQ(std::vector<std::string>{}, requests_without(through_work()));
    EXPECT_FALSE(boost::dynamic_pointer_cast<vfs_calvimora::access_file>(made));
    auto created = boost::dynamic_pointer_cast<vfs::file>(made);
    created->open(vfs::modeWrite | vfs::modeOverwrite, 5);
    write_through(*created, "fresh");
    created->set_description(L"new");
    EXPECT_EQ(std::vector<std::string>{}, requests_carrying({"access_dir_id"}));
    EXPECT_EQ("fresh", service_.file_content(narrow(created->get_id())));

    const auto listed = file_in(sub, L"new.txt");
    EXPECT_TRUE(boost::dynamic_pointer_cast<vfs_calvimora::access_file>(listed));
    take_requests();
    EXPECT_EQ("fresh", read_through(*listed));
    EXPECT_EQ(std::vector<std::string>{}, requests_without(through_work()));
}

TEST_F(access_session_test, CopiesNameTheTopFoldersOfSourceAndDestination) {
    vfs::directory_ptr root = guest_->get_root_directory();
    vfs::directory_ptr top = work();
    vfs::directory_ptr sub = folder_in(top, L"Sub");
    const auto top_file = file_in(top, L"top.txt");
    // The same server folder as an own folder of the session.
    vfs_calvimora::directory_record deep_record;
    deep_record.id = widen(deep_);
    deep_record.name = L"Deep";
    auto own_deep = boost::make_shared<vfs_calvimora::directory>(*guest_, deep_record);
    take_requests();
    const std::vector<std::string> key_prefixes{"src_", "dst_", "move", "is_pro"};

    top_file->copy(sub, false);
    key_values copy = only_request();
    EXPECT_EQ((std::vector<std::string>{"dst_access_dir_id", "dst_dir_id", "is_pro", "move",
                                        "src_access_dir_id", "src_file_id"}),
              keys_starting(copy, key_prefixes));
    EXPECT_EQ(sub_, copy.at("dst_dir_id"));
    EXPECT_EQ(work_, copy.at("dst_access_dir_id"));
    EXPECT_EQ(work_, copy.at("src_access_dir_id"));

    top_file->copy(own_deep, false);
    copy = only_request();
    EXPECT_EQ((std::vector<std::string>{"dst_dir_id", "is_pro", "move", "src_access_dir_id",
                                        "src_file_id"}),
              keys_starting(copy, key_prefixes));

    // The top of an access account holds no files: the service says so.
    EXPECT_NE(L"", failure_of([&] { top_file->copy(root, true); }));
    copy = only_request();
    EXPECT_EQ((std::vector<std::string>{"dst_dir_id", "is_pro", "move", "src_access_dir_id",
                                        "src_file_id"}),
              keys_starting(copy, key_prefixes));
    EXPECT_EQ("0", copy.at("dst_dir_id"));

    EXPECT_EQ(L"Copy file failed: Wrong type of destination item",
              failure_of([&] { top_file->copy(top_file, false); }));
    EXPECT_TRUE(take_requests().empty());
    EXPECT_EQ((names_list{L"Deep", L"Work", L"top.txt"}), names(sub->list_items()));
    EXPECT_EQ((names_list{L"deep.txt", L"top.txt"}), names(own_deep->list_items()));
}

TEST_F(access_session_test, TopFoldersAreMadeAtTheRootAndKeepTheirPlace) {
    vfs::directory_ptr root = guest_->get_root_directory();
    vfs::directory_ptr top = work();
    take_requests();

    vfs::item_ptr fresh = root->create_directory(L"Fresh");
    const std::vector<logged_request> requests = take_requests();
    ASSERT_EQ(2u, requests.size());
    EXPECT_EQ("create_dir", requests[0].action);
    EXPECT_EQ("0", requests[0].params.at("dir_id"));
    EXPECT_EQ("0", requests[0].params.at("dir_access"));
    EXPECT_EQ(0u, requests[0].params.count("access_dir_id"));
    auto made = boost::dynamic_pointer_cast<vfs_calvimora::access_directory>(fresh);
    ASSERT_TRUE(made);
    EXPECT_EQ(made->get_server_id(), made->get_access_dir_id());
    EXPECT_TRUE(made->is_fixed_folder());

    // The service decides about the top folders, and keeps them.
    const std::wstring refusal =
        L"Access denied: The top folder of an access account can not be renamed or removed";
    EXPECT_EQ(refusal, failure_of([&] { root->delete_item(top, true); }));
    EXPECT_EQ(refusal, failure_of([&] { root->rename_item(L"Fresh", L"Stale"); }));
    const std::vector<logged_request> refused = take_requests();
    ASSERT_EQ(2u, refused.size());
    EXPECT_EQ("move_dir_to_trash", refused[0].action);
    EXPECT_EQ(work_, refused[0].params.at("dir_id"));
    EXPECT_EQ("rename_dir", refused[1].action);
    EXPECT_EQ(narrow(made->get_server_id()), refused[1].params.at("dir_id"));
    EXPECT_EQ((names_list{L"Work", L"Public", L"Fresh"}), names(root->list_items()));
    top->rename_item(L"Sub", L"Renamed");
    EXPECT_EQ((names_list{L"Renamed", L"top.txt"}), names(top->list_items()));
}

TEST_F(access_session_test, PathsAreWalkedFromAFreshAccessRoot) {
    vfs::directory_ptr deep = guest_->get_item_by_path(L"Work\\Sub/Deep", false);
    auto found = boost::dynamic_pointer_cast<vfs_calvimora::access_directory>(deep);
    ASSERT_TRUE(found);
    EXPECT_EQ(widen(work_), found->get_access_dir_id());
    EXPECT_THROW(guest_->get_item_by_path(L"Private", false), vfs::item_not_found_exception);

    take_requests();
    vfs::directory_ptr newer = guest_->get_item_by_path(L"Work/New/Newer", true);
    EXPECT_EQ(L"Newer", newer->get_name());
    // Every request below the root names Work, the listings of the root
    // excepted.
    for (const logged_request& request : take_requests()) {
        if (request.params.at("dir_id") != "0") {
            EXPECT_EQ(work_, request.params.at("access_dir_id")) << request.action;
        }
    }
}

}  // namespace
}  // namespace calvimora::testing

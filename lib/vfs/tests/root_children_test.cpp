#include <gtest/gtest.h>
#include <stdlib.h>

#include <boost/make_shared.hpp>
#include <functional>

#include "vfs/access_root_directory.h"
#include "vfs/calvimora_exception.h"
#include "vfs/service_address.h"
#include "vfs/shared_folders_container.h"
#include "vfs/trash_directory.h"
#include "vfs/users_directory.h"

namespace vfs_calvimora {
namespace {

// Nothing here may reach a service: the address refuses every connection,
// so an operation that sent a request would fail with "Request failed".
class root_children_test : public ::testing::Test {
protected:
    root_children_test() { setenv(service_url_variable, "https://127.0.0.1:9", 1); }

    static std::wstring failure_of(const std::function<void()>& call) {
        try {
            call();
        } catch (const vfs::exception& failure) {
            return failure.get_title() + L": " + failure.get_text();
        }
        return L"";
    }

    client session_;
};

TEST_F(root_children_test, FixedFoldersHaveTheirOwnIdentity) {
    struct expected {
        boost::shared_ptr<directory> folder;
        std::wstring id;
        std::wstring name;
        int type;
        bool has_subfolders;
    };
    const std::vector<expected> folders{
        {boost::make_shared<trash_directory>(session_), L"dir_trash", L"Trash", 128, false},
        {boost::make_shared<shared_folders_container>(session_), L"dir_shared_folders_container",
         L"Shared Folders", 32, true},
        {boost::make_shared<users_directory>(session_, L"42", L"sam"), L"dir_ud_42", L"sam", 64,
         true},
        {boost::make_shared<access_root_directory>(session_), L"dir_root", L"", 1, false}};
    for (const expected& each : folders) {
        SCOPED_TRACE(std::string(each.id.begin(), each.id.end()));
        EXPECT_EQ(each.id, each.folder->get_id());
        EXPECT_EQ(each.name, each.folder->get_name());
        EXPECT_EQ(L"0", each.folder->get_server_id());
        EXPECT_EQ(L"", each.folder->get_path());
        EXPECT_EQ(each.has_subfolders, each.folder->has_subdirectories());
        EXPECT_EQ(-1, each.folder->get_creation_date());
        EXPECT_EQ(-1, each.folder->get_delete_date());
        EXPECT_TRUE(each.folder->is_fixed_folder());
        EXPECT_FALSE(each.folder->is_plain_directory());
        each.folder->set_folder_type(4);
        EXPECT_EQ(each.type, each.folder->get_folder_type());
    }
    // Users folders of two users of one name stay apart by id.
    EXPECT_NE(users_directory(session_, L"1", L"sam").get_id(),
              users_directory(session_, L"2", L"sam").get_id());
}

TEST_F(root_children_test, ClientOnlyFoldersTakeNothingIn) {
    for (const boost::shared_ptr<directory>& folder : std::vector<boost::shared_ptr<directory>>{
             boost::make_shared<trash_directory>(session_),
             boost::make_shared<shared_folders_container>(session_),
             boost::make_shared<users_directory>(session_, L"42", L"sam")}) {
        const std::wstring refusal =
            L": Nothing can be placed in the folder '" + folder->get_name() + L"'";
        EXPECT_EQ(L"Error creating file" + refusal, failure_of([&] { folder->create_file(L"a"); }));
        EXPECT_EQ(L"Error creating file" + refusal,
                  failure_of([&] { folder->create_file_alloc(L"a", 1); }));
        EXPECT_EQ(L"Error creating file" + refusal,
                  failure_of([&] { folder->create_and_open_file(L"a", 6, 1); }));
        EXPECT_EQ(L"Error creating directory" + refusal,
                  failure_of([&] { folder->create_directory(L"a"); }));
        EXPECT_EQ(L"Copy file failed" + refusal,
                  failure_of([&] { folder->add_destination_params(); }));
    }
}

}  // namespace
}  // namespace vfs_calvimora

// Sharing an own folder with other users, against the stand-in service.
#include "vfs_directory_session.h"

namespace calvimora::testing {
namespace {

class directory_sharing_test : public directory_session_test {
protected:
    directory_sharing_test() : bob_(service_.add_user("bob", "pw", "bob@example.com")) {}

    std::string bob_;
};

TEST_F(directory_sharing_test, CanShareWithKnownAccountsOnly) {
    auto work = make_folder("Work");
    const int bob = std::stoi(bob_);
    bool email = true;
    EXPECT_EQ(bob, work->can_share_with(L"BOB", email));
    EXPECT_FALSE(email);
    EXPECT_EQ(0, work->can_share_with(L"nobody", email));
    EXPECT_FALSE(email);
    EXPECT_EQ((std::vector<std::string>{"get_userid_by_name", "get_userid_by_name"}),
              take_actions());

    EXPECT_EQ(bob, work->can_share_with(L"bob@example.com", email));
    EXPECT_TRUE(email);
    EXPECT_EQ((std::vector<std::string>{"get_userid_by_name", "get_userid_by_email"}),
              take_actions());
    EXPECT_EQ(0, work->can_share_with(L"carol@example.com", email));

    service_.add_access_account(bob_, "bobs-helper", "pw");
    EXPECT_EQ(0, work->can_share_with(L"bobs-helper", email));
}

TEST_F(directory_sharing_test, SharingListIsCachedUntilFetchedAgain) {
    auto work = make_folder("Work");
    EXPECT_FALSE(work->is_shared());
    work->sharing(std::stoi(bob_));
    const auto users = work->get_sharewith_items();
    ASSERT_EQ(1u, users.size());
    EXPECT_EQ(L"bob", users[0]->name);
    EXPECT_EQ(std::stoi(bob_), users[0]->sharewith_user_id);
    EXPECT_TRUE(work->is_shared());

    const int share = users[0]->id;
    work->set_share_mode(share, 1);
    work->delete_sharing_with_user(share);
    EXPECT_TRUE(work->email_for_sharing(L"carol@example.com"));
    auto requests = take_requests();
    ASSERT_EQ(5u, requests.size());
    EXPECT_EQ(bob_, requests[0].params.at("sharewithuser_id"));
    EXPECT_EQ("0", requests[0].params.at("sharemode"));
    EXPECT_EQ(std::to_string(share), requests[2].params.at("sharedfolder_id"));
    EXPECT_EQ("1", requests[2].params.at("sharemode"));
    EXPECT_EQ("cm_email.php", requests[4].action);
    EXPECT_EQ("share_folder", requests[4].params.at("action"));
    EXPECT_EQ(narrow(work->get_server_id()), requests[4].params.at("dir_id"));

    // Answered from the list read before, which still holds the share.
    EXPECT_EQ(share, work->find_sharewith_item_by_userid(std::stoi(bob_))->id);
    EXPECT_EQ(share, work->find_sharewith_item_by_id(share)->id);
    EXPECT_TRUE(take_requests().empty());

    EXPECT_TRUE(work->get_sharewith_items().empty());
    EXPECT_TRUE(work->is_shared());
    try {
        work->find_sharewith_item_by_id(share);
        FAIL() << "found a deleted share";
    } catch (const vfs::item_not_found_exception& failure) {
        EXPECT_EQ(L"Sharing error: The user sharing folder 'Work' is not found ",
                  failure.get_text());
    }
    EXPECT_EQ((std::vector<std::string>{"list_share_whith_users", "list_share_whith_users"}),
              take_actions());
}

TEST_F(directory_sharing_test, ARefusedInvitationIsAFailure) {
    auto work = make_folder("Work");
    request_fault refused;
    refused.target = "cm_email.php";
    refused.kind = "error";
    refused.error_description = "No mail goes out today";
    service_.arm(refused);
    try {
        work->email_for_sharing(L"carol@example.com");
        FAIL() << "a refused invitation passed for sent";
    } catch (const vfs::exception& failure) {
        EXPECT_EQ(L"No mail goes out today", failure.get_text());
    }
    EXPECT_TRUE(service_.control("state").get_child("emails").empty());
}

}  // namespace
}  // namespace calvimora::testing

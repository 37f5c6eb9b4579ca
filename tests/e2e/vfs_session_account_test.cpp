// The session's own requests: notifications, storage figures, account
// settings, thumbnails, the sharing e-mail, and creating an account.
#include <gtest/gtest.h>

#include "vfs/calvimora_client.h"
#include "vfs/calvimora_exception.h"
#include "vfs/profile.h"
#include "vfs_session_support.h"

namespace vfs_session_testing {
namespace {

using calvimora::testing::json_object;
using calvimora::testing::request_fault;

std::wstring failure_of(const std::function<void()>& action) {
    try {
        action();
    } catch (const vfs::exception& failure) {
        return failure.get_title() + L": " + failure.get_text();
    }
    return L"";
}

std::wstring wide(const std::string& ascii) {
    return std::wstring(ascii.begin(), ascii.end());
}

class Account : public ::testing::Test {
protected:
    Account() {
        user_id = env.service()
                      .control("add_user", json_object()
                                               .set("name", "dave")
                                               .set("password", "pw")
                                               .set("capacity", std::int64_t{1000000}))
                      .get<std::string>("user_id");
        session = vfs_calvimora::client::log_in(L"dave", L"pw", L"pc");
    }

    environment env;
    std::string user_id;
    vfs_calvimora::client_ptr session;
};

TEST_F(Account, NotificationsComeInTheServicesOrder) {
    env.service().add_notification(user_id, "Welcome",
                                   "Gr\xC3\xBC\xC3\x9F"
                                   "e \xF0\x9F\x98\x80",
                                   "https://example.com/a");
    env.service().add_notification(user_id, "Second", "x < y", "");
    const auto notes = session->get_user_notifications();
    ASSERT_EQ(notes.size(), 2u);
    EXPECT_EQ(notes[0].title, L"Welcome");
    EXPECT_EQ(notes[0].text, L"Gr\u00FC\u00DFe \U0001F600");
    EXPECT_EQ(notes[0].link, L"https://example.com/a");
    EXPECT_EQ(notes[1].text, L"x < y");
    EXPECT_EQ(notes[1].link, L"");
}

TEST_F(Account, StorageFiguresCountTheStoredBytes) {
    env.service().add_file(user_id, "0", "a.txt", "hello");
    const vfs::storage_info storage = session->get_storage_info();
    EXPECT_EQ(storage.capacity, 1000000);
    EXPECT_EQ(storage.space_used, 5);
    EXPECT_EQ(storage.space_free, 999995);
}

TEST_F(Account, SettingsOfEachTypeAreStoredAndListed) {
    session->set_pro_setting(L"ratio", 1.5f);
    session->set_pro_setting(L"limit", 42);
    session->set_pro_setting(L"motto", std::wstring(L"a&b=c/\u00E9"));
    session->set_pro_setting(L"whole", 10.0f);

    const auto settings = session->get_pro_settings();
    ASSERT_EQ(settings.size(), 4u);
    EXPECT_EQ(settings[0].name, L"ratio");
    EXPECT_EQ(settings[0].value, L"1.5");
    EXPECT_EQ(settings[0].type, 2);
    EXPECT_EQ(settings[1].value, L"42");
    EXPECT_EQ(settings[1].type, 1);
    EXPECT_EQ(settings[2].value, L"a&b=c/\u00E9");
    EXPECT_EQ(settings[2].type, 0);
    EXPECT_EQ(settings[3].value, L"10");

    const auto requests = env.service().requests();
    std::vector<std::string> sent;
    for (const auto& request : requests) {
        if (request.action == "set_pro_setting") {
            sent.push_back(request.params.at("setting_value") + "/" +
                           request.params.at("setting_type"));
        }
    }
    EXPECT_EQ(sent, (std::vector<std::string>{"1.5/2", "42/1", "a&b=c/\xC3\xA9/0", "10/2"}));
}

TEST_F(Account, ThumbnailsAreJpegImagesOrTheServicesError) {
    const std::string file_id = env.service().add_file(user_id, "0", "photo.jpg", "pixels");
    const vfs::byte_buffer image = session->get_thumbnail_data(L"", wide(file_id));
    ASSERT_GT(image.size(), 10u);
    EXPECT_EQ(image[0], 0xFF);
    EXPECT_EQ(image[1], 0xD8);
    EXPECT_EQ(std::string(image.begin() + 6, image.begin() + 10), "JFIF");

    EXPECT_EQ(failure_of([&] {
                  session->get_thumbnail_data(L"", L"no-such-file");
              }).find(L"Item not found"),
              0u);

    request_fault fault;
    fault.target = "cm_thumbnail.php";
    fault.kind = "garbage";
    fault.body = "123456JFI";
    env.service().arm(fault);
    EXPECT_EQ(failure_of([&] { session->get_thumbnail_data(L"", wide(file_id)); }),
              L"Thumbnail request failed: Wrong response");

    fault.body = "123456JFIF";
    env.service().arm(fault);
    const vfs::byte_buffer shortest = session->get_thumbnail_data(L"", wide(file_id));
    EXPECT_EQ(std::string(shortest.begin(), shortest.end()), "123456JFIF");
}

TEST_F(Account, TheSharingEmailIsSentAndItsReplyReturnedAsText) {
    const std::string folder_id = env.service().add_folder(user_id, "0", "Shared");
    const std::wstring reply = session->send_email_request(
        {{L"action", L"share_folder"}, {L"dir_id", wide(folder_id)}, {L"email", L"f@example.com"}});
    EXPECT_EQ(reply, L"<Result><Status>OK</Status></Result>");
    const auto emails = env.service().control("state").get_child("emails");
    ASSERT_EQ(emails.size(), 1u);
    EXPECT_EQ(emails.front().second.get<std::string>("to"), "f@example.com");
}

TEST_F(Account, NewProfilesAreCreatedOnceWithoutASession) {
    EXPECT_TRUE(vfs_calvimora::create_new_profile(L"erin", L"pw", L"pw", L"erin@example.com",
                                                  L"Erin", L"\u00DCnal"));
    const auto requests = env.service().requests();
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(requests.back().path, env.service().path_prefix() + "/cm_profile.php");
    EXPECT_EQ(requests.back().params.at("last_name"), "\xC3\x9Cnal");
    EXPECT_EQ(requests.back().params.count("user_id"), 0u);
    EXPECT_NO_THROW(vfs_calvimora::client::log_in(L"erin", L"pw", L"pc"));

    try {
        vfs_calvimora::create_new_profile(L"erin", L"pw", L"pw", L"", L"", L"");
        ADD_FAILURE() << "the name was taken twice";
    } catch (const vfs::item_already_exists_exception& failure) {
        EXPECT_EQ(failure.get_title(), L"User already exists");
    }
    bool other_kind = false;
    try {
        vfs_calvimora::create_new_profile(L"frank", L"pw", L"other", L"", L"", L"");
    } catch (const vfs::item_already_exists_exception&) {
    } catch (const vfs::exception& failure) {
        other_kind = true;
        EXPECT_EQ(failure.get_title() + L": " + failure.get_text(),
                  L"Invalid password: The passwords differ");
    }
    EXPECT_TRUE(other_kind);
}

TEST_F(Account, AnEmptyPathIsRefused) {
    EXPECT_EQ(failure_of([&] { session->get_item_by_path(L"", true); }),
              L"Empty path provided: File system error: empty path provided");
}

}  // namespace
}  // namespace vfs_session_testing

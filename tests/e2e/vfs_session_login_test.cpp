// Logging in, the shared user record, a second process of the log-on
// session and logging off, with the real session handler.
#include <gtest/gtest.h>

#include <boost/make_shared.hpp>
#include <cstring>

#include "login_data_sealing.h"
#include "vfs/calvimora_exception.h"
#include "vfs/calvimora_file.h"
#include "vfs/session.h"
#include "vfs/shared_user_record.h"
#include "vfs_session_support.h"
#include "win/kernel.h"
#include "win/registry.h"

namespace vfs_session_testing {
namespace {

using calvimora::testing::json_object;
using calvimora::testing::logged_request;
using vfs_calvimora::get_client;
using vfs_calvimora::is_logged_in;
using vfs_calvimora::login;
using vfs_calvimora::logoff;

const wchar_t* const pc_id = L"0f8fad5b-d9cb-469f-a165-70867728950e";

std::wstring wide(const std::string& ascii) {
    return std::wstring(ascii.begin(), ascii.end());
}

std::wstring failure_of(const std::function<void()>& action) {
    try {
        action();
    } catch (const vfs::exception& failure) {
        return failure.get_title() + L": " + failure.get_text();
    }
    return L"";
}

// The 544 bytes of the record as the session handler's mapping holds them.
std::vector<char16_t> raw_record() {
    const HANDLE mapping = OpenFileMappingW(FILE_MAP_READ, FALSE, L"Local\\Calvimora_MMF_UID");
    if (mapping == nullptr) {
        return {};
    }
    const void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 1024);
    std::vector<char16_t> units(272);
    if (view != nullptr) {
        std::memcpy(units.data(), view, 544);
        UnmapViewOfFile(view);
    }
    CloseHandle(mapping);
    return units;
}

DWORD auto_login_value() {
    HKEY key = nullptr;
    DWORD value = 0xFFFFFFFF;
    if (RegOpenKeyW(HKEY_CURRENT_USER, L"SOFTWARE\\Calvimora", &key) == ERROR_SUCCESS) {
        DWORD size = sizeof(value);
        RegQueryValueExW(key, L"AutoLogin", nullptr, nullptr, reinterpret_cast<LPBYTE>(&value),
                         &size);
        RegCloseKey(key);
    }
    return value;
}

void set_auto_login(DWORD value) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyW(HKEY_CURRENT_USER, L"SOFTWARE\\Calvimora", &key), ERROR_SUCCESS);
    RegSetValueExW(key, L"AutoLogin", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                   sizeof(value));
    RegCloseKey(key);
}

class LoginSession : public ::testing::Test {
protected:
    LoginSession() {
        user_id = env.service()
                      .control("add_user", json_object()
                                               .set("name", "alice")
                                               .set("password",
                                                    "s\xC3\xA9"
                                                    "cret")
                                               .set("lang", "de")
                                               .set("level", "2")
                                               .set("upload_limit", 1000)
                                               .set("download_limit", 2000))
                      .get<std::string>("user_id");
        store_pc_id(pc_id);
    }

    std::vector<logged_request> requests_for(const std::string& action) {
        std::vector<logged_request> found;
        for (auto& request : env.service().requests()) {
            if (request.action == action) {
                found.push_back(std::move(request));
            }
        }
        return found;
    }

    const vfs::user_info alice() const { return {wide(user_id), L"", L"alice", L"de", L"2"}; }

    environment env;
    tray_stand_in tray;
    std::string user_id;
    const HMODULE module = test_module();
};

TEST_F(LoginSession, LoginWritesTheSharedRecordAndKeepsTheSession) {
    EXPECT_FALSE(is_logged_in(module));
    EXPECT_FALSE(logoff_event_exists()) << "the test of the login started the session handler";

    login(module, L"alice", L"s\u00E9cret");

    const std::vector<char16_t> record = raw_record();
    ASSERT_EQ(record.size(), 272u) << "the session handler does not run";
    EXPECT_EQ(std::u16string(&record[0]), std::u16string(user_id.begin(), user_id.end()));
    EXPECT_EQ(record[64], 0);
    EXPECT_EQ(std::u16string(&record[128]), u"alice");
    EXPECT_EQ(std::u16string(&record[256]), u"de");
    EXPECT_EQ(std::u16string(&record[264]), u"2");

    const auto logins = requests_for("login");
    ASSERT_EQ(logins.size(), 1u);
    const auto& params = logins[0].params;
    EXPECT_EQ(params.at("user"), "alice");
    EXPECT_EQ(params.at("pass"),
              "s\xC3\xA9"
              "cret");
    EXPECT_EQ(params.at("pcid"), "0f8fad5b-d9cb-469f-a165-70867728950e");
    EXPECT_EQ(params.at("version"), "1.3.14.1");
    EXPECT_EQ(params.at("pro_version"), "");
    EXPECT_EQ(params.at("user_id"), "");
    EXPECT_EQ(params.at("user_level"), "");

    EXPECT_TRUE(is_logged_in(module));
    EXPECT_EQ(vfs_calvimora::get_user_info(module), alice());
    const auto session = get_client(module);
    EXPECT_EQ(session->get_user_info(), alice());
    EXPECT_EQ(session->get_transfer_host(), env.service().ftp_url());
    EXPECT_FALSE(session->get_transfer_user().empty());
    EXPECT_FALSE(session->get_transfer_password().empty());
    EXPECT_EQ(session->get_upload_speed_limit(), 1000);
    EXPECT_EQ(session->get_download_speed_limit(), 2000);
    EXPECT_EQ(get_client(module), session);
    EXPECT_TRUE(requests_for("restore_session").empty());

    EXPECT_EQ(failure_of([&] { login(module, L"alice", L"s\u00E9cret"); }),
              L"Login failed: Already logged in");
}

TEST_F(LoginSession, ASecondProcessRebuildsTheSessionWithoutThePassword) {
    login(module, L"alice", L"s\u00E9cret");
    env.service().requests(true);

    const helper_result seen = run_helper("client");
    EXPECT_EQ(seen.status, 0) << seen.output;
    EXPECT_EQ(seen.output, user_id + "||alice|de|2|" + env.service().ftp_url() + "|same\n");

    const auto restores = requests_for("restore_session");
    ASSERT_EQ(restores.size(), 1u);
    const auto& params = restores[0].params;
    EXPECT_EQ(params.at("user_id"), user_id);
    EXPECT_EQ(params.at("user_id_access"), "");
    EXPECT_EQ(params.at("user_lang"), "de");
    EXPECT_EQ(params.at("user_level"), "2");
    EXPECT_EQ(params.count("pass"), 0u);
    EXPECT_EQ(params.count("user"), 0u);
    EXPECT_TRUE(requests_for("login").empty());
}

TEST_F(LoginSession, ASessionOfAnotherUserThanTheRecordIsRebuilt) {
    login(module, L"alice", L"s\u00E9cret");
    const auto alice_session = get_client(module);
    const std::string bob_id = env.service().add_user("bob", "pw");
    const vfs::user_info bob{wide(bob_id), L"", L"bob", L"en", L"1"};
    vfs_calvimora::write_shared_user_record(module, bob);

    const auto bob_session = get_client(module);
    EXPECT_NE(bob_session, alice_session);
    EXPECT_EQ(bob_session->get_user_info(), bob);
    EXPECT_EQ(alice_session->get_user_info(), alice()) << "a held session changed";
    EXPECT_EQ(requests_for("restore_session").size(), 1u);
}

TEST_F(LoginSession, LogoffEndsTheSessionForEveryProcess) {
    set_auto_login(1);
    login(module, L"alice", L"s\u00E9cret");
    const auto held = get_client(module);

    logoff(module);
    EXPECT_TRUE(wait_until([] { return !logoff_event_exists(); }));
    EXPECT_FALSE(is_logged_in(module));
    EXPECT_EQ(run_helper("logged_in").output, "no\n");
    EXPECT_EQ(auto_login_value(), 0u);
    EXPECT_EQ(held->get_user_info(), alice()) << "a held session changed";

    EXPECT_EQ(failure_of([&] { get_client(module); }),
              L"Get connection from cache failed: Not logged in");
    EXPECT_EQ(failure_of([&] { vfs_calvimora::get_user_info(module); }),
              L"Get user_info failed: Not logged in");
    EXPECT_EQ(failure_of([&] { logoff(module); }), L"Logoff failed: Not logged in");
}

TEST_F(LoginSession, AFailedLoginChangesNothing) {
    EXPECT_EQ(failure_of([&] { login(module, L"alice", L"wrong"); }),
              L"Login failed: Invalid user name or password");
    EXPECT_FALSE(is_logged_in(module));
    EXPECT_FALSE(logoff_event_exists());
}

TEST_F(LoginSession, LoginNeedsAReadablePcIdentifier) {
    store_pc_id(std::wstring(40, L'x'));
    EXPECT_EQ(failure_of([&] { login(module, L"alice", L"s\u00E9cret"); }),
              L"load_pc_id failed: RegQueryValueEx() returned error");
    EXPECT_TRUE(requests_for("login").empty());

    store_pc_id(std::wstring(39, L'y'));
    login(module, L"alice", L"s\u00E9cret");
    const auto logins = requests_for("login");
    ASSERT_EQ(logins.size(), 1u);
    EXPECT_EQ(logins[0].params.at("pcid"), std::string(39, 'y'));
}

TEST_F(LoginSession, AReplyWhoseDataCannotBeDecipheredStillLogsIn) {
    calvimora::testing::request_fault fault;
    fault.target = "login";
    fault.kind = "garbage";
    fault.body = "<Result><UserID>" + user_id +
                 "</UserID><UserAccessID></UserAccessID><UserName>alice</UserName>"
                 "<UserLang>de</UserLang><UserLevel>2</UserLevel>"
                 "<UploadSpeedLimit>5</UploadSpeedLimit><Data>QUJDREVGR0g=</Data></Result>";
    env.service().arm(fault);

    login(module, L"alice", L"s\u00E9cret");
    const auto session = get_client(module);
    EXPECT_EQ(session->get_user_info(), alice());
    EXPECT_EQ(session->get_transfer_host(), "");
    EXPECT_EQ(session->get_transfer_user(), "");
    EXPECT_EQ(session->get_transfer_password(), "");
    EXPECT_EQ(session->get_upload_speed_limit(), 5);
    EXPECT_EQ(session->get_download_speed_limit(), 0);
}

// A reply of alice's login, as the service would send it, with this Data.
std::string login_reply(const std::string& user_id, const std::wstring& data) {
    return "<Result><UserID>" + user_id +
           "</UserID><UserAccessID></UserAccessID><UserName>alice</UserName>"
           "<UserLang>de</UserLang><UserLevel>2</UserLevel><Data>" +
           std::string(data.begin(), data.end()) + "</Data></Result>";
}

TEST_F(LoginSession, ALoginWhoseDataDoesNotDecodeWholeFails) {
    const std::string key = vfs_calvimora::testing_support::login_key_text(user_id +
                                                                           "alices\xC3\xA9"
                                                                           "cret");
    const std::wstring data = vfs_calvimora::testing_support::seal_login_data(
        key, "<Host>ftp://127.0.0.1:1</Host><User>u</User><Pass>p</Pass>");
    for (const std::wstring tail : {L"9=", L"QQ"}) {
        calvimora::testing::request_fault fault;
        fault.target = "login";
        fault.kind = "garbage";
        fault.body = login_reply(user_id, data + tail);
        env.service().arm(fault);

        EXPECT_EQ(failure_of([&] { login(module, L"alice", L"s\u00E9cret"); }),
                  L"Login failed: The transfer credentials in the server's reply are damaged");
        EXPECT_FALSE(is_logged_in(module));
        EXPECT_FALSE(logoff_event_exists()) << "a failed login wrote the shared record";
    }
}

TEST_F(LoginSession, CredentialsInTheWindowsCodePageLogInAndTransfer) {
    // "pässw€rd": the service seals it as windows-1252 bytes, the transfer
    // server takes it as UTF-8.
    const std::string password =
        "p\xC3\xA4ssw\xE2\x82\xAC"
        "rd";
    const std::string carol_id = env.service()
                                     .control("add_user", json_object()
                                                              .set("name", "carol")
                                                              .set("password", "pw")
                                                              .set("transfer_password", password))
                                     .get<std::string>("user_id");
    const std::string file_id = env.service().add_file(carol_id, "0", "a.txt", "contents");

    login(module, L"carol", L"pw");
    const auto session = get_client(module);
    EXPECT_EQ(session->get_transfer_password(), password);

    vfs_calvimora::file_record record;
    record.id = wide(file_id);
    record.name = L"a.txt";
    record.location = wide("/files/" + file_id);
    record.size = 8;
    const auto file = boost::make_shared<vfs_calvimora::file>(*session, record, 0, L"");
    file->open(vfs::modeRead, 0);
    char buffer[16] = {};
    EXPECT_EQ(file->read(buffer, sizeof buffer), 8);
    EXPECT_EQ(std::string(buffer, 8), "contents");
    file->close(-1);
}

}  // namespace
}  // namespace vfs_session_testing

// The request layer against the stand-in service over TLS: the form body as
// sent, the reply checks, the error mapping, the tries and the handle pool.
#include <gtest/gtest.h>

#include <thread>

#include "vfs/calvimora_exception.h"
#include "vfs/curl_descriptor.h"
#include "vfs/http_client.h"
#include "vfs_session_support.h"

namespace vfs_session_testing {
namespace {

using calvimora::testing::request_fault;
using vfs_calvimora::http_client;
using vfs_calvimora::request_parameters;

class RequestLayer : public ::testing::Test {
protected:
    RequestLayer() { client.fetch_real_path(); }

    // An operations request that the service answers without a session.
    vfs_calvimora::response_node get_path() {
        return client.call_operation(vfs_calvimora::get_path_script, {{L"version", L"1"}});
    }

    // The title and text of the failure of an operations request, "" when
    // it succeeded; already_exists tells whether it was the special kind.
    std::wstring failure_of(const request_parameters& parameters, bool* already_exists = nullptr) {
        try {
            client.call_operation(client.get_prefix() + vfs_calvimora::operations_script,
                                  parameters);
        } catch (const vfs_calvimora::item_already_exists_exception& failure) {
            if (already_exists != nullptr) *already_exists = true;
            return failure.get_title() + L": " + failure.get_text();
        } catch (const vfs_calvimora::exception& failure) {
            if (already_exists != nullptr) *already_exists = false;
            return failure.get_title() + L": " + failure.get_text();
        }
        return L"";
    }

    std::size_t requests_for(const std::string& action) {
        std::size_t count = 0;
        for (const auto& request : env.service().requests()) {
            count += request.action == action ? 1 : 0;
        }
        return count;
    }

    environment env;
    http_client client;
};

TEST_F(RequestLayer, FetchesTheScriptPrefix) {
    EXPECT_EQ(client.get_prefix(), env.service().path_prefix());
    EXPECT_EQ(client.get_base_address(), env.service().base_url());
}

TEST_F(RequestLayer, SendsTheFormBodyByteForByte) {
    failure_of({{L"action", L"get_storage_info"},
                {L"user_id", L""},
                {L"name", L"a/b%c+d e=f~"},
                {L"text", L"\u00E9\u20AC\u0800\U0001F600"}});
    const auto requests = env.service().requests();
    ASSERT_FALSE(requests.empty());
    const auto& sent = requests.back();
    EXPECT_EQ(sent.body,
              "action=get_storage_info&name=a%2Fb%25c%2Bd e=f~"
              "&text=\xC3\xA9\xE2\x82\xAC\xE0\xA0\x80\xF0\x9F\x98\x80&user_id=");
    EXPECT_EQ(sent.params.at("name"), "a/b%c+d e=f~");
    EXPECT_EQ(sent.params.at("text"), "\xC3\xA9\xE2\x82\xAC\xE0\xA0\x80\xF0\x9F\x98\x80");
}

TEST_F(RequestLayer, ErrorRecordsBecomeExceptionsWithTheServiceTexts) {
    request_fault fault;
    fault.target = "get_storage_info";
    fault.kind = "error";
    fault.error_type = 1;
    fault.error_name = "Item already exists";
    fault.error_description = "An item named 'x' already exists here";
    env.service().arm(fault);
    bool special = false;
    EXPECT_EQ(failure_of({{L"action", L"get_storage_info"}}, &special),
              L"Item already exists: An item named 'x' already exists here");
    EXPECT_TRUE(special);

    fault.error_type = 5;
    fault.error_name = "Login failed";
    fault.error_description = "Invalid user name or password";
    env.service().arm(fault);
    EXPECT_EQ(failure_of({{L"action", L"get_storage_info"}}, &special),
              L"Login failed: Invalid user name or password");
    EXPECT_FALSE(special);

    // The service's own error for an unknown user: no special kind either.
    EXPECT_EQ(failure_of({{L"action", L"get_storage_info"}}, &special),
              L"Not logged in: The user is unknown; please log in again");
    EXPECT_FALSE(special);
}

TEST_F(RequestLayer, AnErrorRecordOnlyCountsAsTheRootsRecord) {
    request_fault fault;
    fault.target = "cm_get_path.php";
    fault.kind = "garbage";
    fault.count = 0;
    fault.body =
        "<Result><Path>/p</Path><Error>plain</Error><X><Error><Type>1</Type>"
        "<Name>n</Name></Error></X></Result>";
    env.service().arm(fault);
    EXPECT_EQ(vfs_calvimora::find_child_text(get_path(), L"Path"), L"/p");

    env.service().disarm();
    fault.body = "<Result><Error><Name>Deep</Name><Description>no</Description></Error></Result>";
    env.service().arm(fault);
    EXPECT_THROW(get_path(), vfs_calvimora::exception);
}

TEST_F(RequestLayer, RepliesThatAreNotTheServicesAreParseErrors) {
    request_fault fault;
    fault.target = "cm_get_path.php";
    fault.kind = "garbage";
    fault.body = "<html><body>Welcome</body></html>";
    env.service().arm(fault);
    fault.body = "no reply at all";
    env.service().arm(fault);
    for (int attempt = 0; attempt < 2; ++attempt) {
        try {
            get_path();
            ADD_FAILURE() << "accepted a reply that is not the service's";
        } catch (const vfs_calvimora::exception& failure) {
            EXPECT_EQ(failure.get_title(), L"Parse error");
            EXPECT_EQ(failure.get_text(), L"Server side error");
        }
    }
}

TEST_F(RequestLayer, AnErrorStatusIsAFailedTransferAndRetried) {
    request_fault fault;
    fault.target = "cm_get_path.php";
    fault.kind = "html";
    fault.status = 502;
    fault.count = 2;
    env.service().arm(fault);
    env.service().requests(true);
    const std::string& prefix = env.service().path_prefix();
    EXPECT_EQ(vfs_calvimora::find_child_text(get_path(), L"Path"),
              std::wstring(prefix.begin(), prefix.end()));
    EXPECT_EQ(requests_for("cm_get_path.php"), 3u);

    fault.status = 500;
    fault.count = 3;
    env.service().arm(fault);
    try {
        get_path();
        ADD_FAILURE() << "an error page counted as a reply";
    } catch (const vfs_calvimora::exception& failure) {
        EXPECT_EQ(failure.get_title(), L"Request failed");
        EXPECT_EQ(failure.get_text(),
                  L"Please, check your internet connection or firewall settings");
    }
}

TEST_F(RequestLayer, TwoFailedTransfersThenAGoodOneSucceedThreeFail) {
    request_fault fault;
    fault.target = "cm_get_path.php";
    fault.kind = "drop";
    fault.count = 2;
    env.service().arm(fault);
    env.service().requests(true);
    EXPECT_NO_THROW(get_path());
    EXPECT_EQ(requests_for("cm_get_path.php"), 3u);

    fault.count = 3;
    env.service().arm(fault);
    env.service().requests(true);
    try {
        get_path();
        ADD_FAILURE() << "three failed transfers succeeded";
    } catch (const vfs_calvimora::exception& failure) {
        EXPECT_EQ(failure.get_title(), L"Request failed");
    }
    EXPECT_EQ(requests_for("cm_get_path.php"), 3u);
    EXPECT_NO_THROW(get_path());
}

TEST_F(RequestLayer, ConcurrentRequestsUseTwoPooledHandlesAndAThirdReusesOne) {
    auto& pool = vfs_calvimora::request_pool();
    const std::size_t before = pool.size();
    request_fault fault;
    fault.target = "cm_get_path.php";
    fault.kind = "delay";
    fault.seconds = 0.5;
    fault.count = 2;
    env.service().arm(fault);
    std::thread first([&] { EXPECT_NO_THROW(get_path()); });
    std::thread second([&] { EXPECT_NO_THROW(get_path()); });
    first.join();
    second.join();
    EXPECT_EQ(pool.size(), std::max<std::size_t>(before, 2));
    EXPECT_EQ(pool.free_count(), pool.size());
    EXPECT_NO_THROW(get_path());
    EXPECT_EQ(pool.size(), std::max<std::size_t>(before, 2));
}

}  // namespace
}  // namespace vfs_session_testing

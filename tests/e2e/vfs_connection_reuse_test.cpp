// The request layer's connections against the stand-in service, which keeps
// them alive between requests: requests in a row share one connection, the
// pool's handles share their TLS sessions, and a connection that the server
// closes (idle, or as a request arrives) costs a new connection, never a
// failed request.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

#include "service_fixture.h"
#include "vfs/http_client.h"

namespace {

using calvimora::testing::connection_counts;
using calvimora::testing::request_fault;
using calvimora::testing::service;
using calvimora::testing::service_options;

bool eventually(const std::function<bool()>& condition) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

service_options keep_alive(double seconds) {
    service_options options;
    options.keep_alive_seconds = seconds;
    return options;
}

class ConnectionReuse : public ::testing::Test {
protected:
    explicit ConnectionReuse(double keep_alive_seconds = 60)
        : service_(keep_alive(keep_alive_seconds)) {}

    void get_path() {
        client_.call_operation(vfs_calvimora::get_path_script, {{L"version", L"1"}});
    }

    std::size_t requests_made() {
        std::size_t count = 0;
        for (const auto& request : service_.requests())
            count += request.action == "cm_get_path.php";
        return count;
    }

    service service_;
    // The client takes the service's address when it is made.
    const bool exported_ = (service_.export_url(), true);
    vfs_calvimora::http_client client_;
};

TEST_F(ConnectionReuse, RequestsInARowShareOneConnection) {
    get_path();
    const connection_counts before = service_.connections();
    EXPECT_EQ(before.open_connections, 1);
    for (int n = 0; n < 50; ++n) get_path();
    const connection_counts after = service_.connections();
    EXPECT_EQ(after.tls_handshakes, before.tls_handshakes);
    EXPECT_EQ(after.open_connections, 1);
}

TEST_F(ConnectionReuse, AHandleOpeningItsFirstConnectionResumesAnotherHandlesSession) {
    get_path();
    const connection_counts before = service_.connections();
    // Two requests at once take two handles: one keeps the connection that
    // is open, the other opens one.
    request_fault slow;
    slow.target = "cm_get_path.php";
    slow.kind = "delay";
    slow.seconds = 0.5;
    slow.count = 2;
    service_.arm(slow);
    std::thread other([&] { EXPECT_NO_THROW(get_path()); });
    EXPECT_NO_THROW(get_path());
    other.join();
    const connection_counts after = service_.connections();
    EXPECT_EQ(after.tls_handshakes, before.tls_handshakes + 1);
    EXPECT_EQ(after.tls_resumed, before.tls_resumed + 1);
}

TEST_F(ConnectionReuse, AConnectionClosedAsARequestArrivesIsReplacedWithinTheTries) {
    get_path();
    for (const int closes : {1, 2}) {
        SCOPED_TRACE(closes);
        request_fault close;
        close.target = "cm_get_path.php";
        close.kind = "close";
        close.count = closes;
        service_.arm(close);
        service_.requests(true);
        EXPECT_NO_THROW(get_path());
        EXPECT_EQ(requests_made(), static_cast<std::size_t>(closes + 1));
    }
}

class IdleConnections : public ConnectionReuse {
protected:
    IdleConnections() : ConnectionReuse(0.2) {}
};

TEST_F(IdleConnections, AConnectionTheServerClosedWhileIdleCostsAResumedHandshake) {
    get_path();
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        ASSERT_TRUE(eventually([&] { return service_.connections().open_connections == 0; }));
        const connection_counts before = service_.connections();
        service_.requests(true);
        EXPECT_NO_THROW(get_path());
        EXPECT_EQ(requests_made(), 1u);
        const connection_counts after = service_.connections();
        EXPECT_EQ(after.tls_handshakes, before.tls_handshakes + 1);
        EXPECT_EQ(after.tls_resumed, before.tls_resumed + 1);
    }
}

}  // namespace

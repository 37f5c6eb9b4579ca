// The client talks only to servers whose certificate verifies: a stand-in
// service whose certificate the client does not trust, or that presents a
// certificate for another host, is refused before the client sends anything,
// on the HTTPS requests and on the transfer server alike.
#include <curl/curl.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <functional>
#include <string>
#include <vector>

#include "service_fixture.h"
#include "vfs/calvimora_client.h"
#include "vfs/calvimora_exception.h"
#include "vfs/service_address.h"
#include "vfs/tls_verification.h"
#include "vfs/transfer_stream.h"

namespace calvimora::testing {
namespace {

// The certificate store libcurl uses when nobody names one: the system's,
// which holds none of the stand-in's self-signed certificates.
std::string system_store() {
    CURL* handle = curl_easy_init();
    char* path = nullptr;
    curl_easy_getinfo(handle, CURLINFO_CAINFO, &path);
    std::string store = path != nullptr ? path : "/etc/ssl/certs/ca-certificates.crt";
    curl_easy_cleanup(handle);
    return store;
}

// The "title: text" of the vfs::exception that call throws ("" when none).
std::wstring failure_of(const std::function<void()>& call) {
    try {
        call();
    } catch (const vfs::exception& failure) {
        return failure.get_title() + L": " + failure.get_text();
    }
    return L"";
}

const std::wstring request_refused =
    std::wstring(L"Request failed: ") + vfs_calvimora::certificate_refused_text;
const std::wstring open_refused =
    std::wstring(L"Open failed: ") + vfs_calvimora::certificate_refused_text;

// The service's log holds no request at all: neither the path prefix nor
// the login with the password reached it.
void expect_login_refused(service& s) {
    s.add_user("alice", "secret");
    EXPECT_EQ(request_refused,
              failure_of([] { vfs_calvimora::client::log_in(L"alice", L"secret", L"pc-1"); }));
    EXPECT_TRUE(s.requests().empty());
}

// Neither a download nor an upload gets past the greeting: the transfer
// server never sees the credentials or a transfer command.
void expect_transfers_refused(service& s, const std::string& ca_file) {
    const std::string alice = s.add_user("alice", "secret");
    const std::string file_id = s.add_file(alice, "0", "a.txt", "content");
    const transfer_credentials account = s.transfer_account(alice);
    vfs_calvimora::transfer_stream stream(account.host, account.user, account.password, 0, 0,
                                          ca_file);
    EXPECT_EQ(open_refused, failure_of([&] {
                  stream.transfer_open("/files/" + file_id,
                                       vfs_calvimora::transfer_stream::download);
              }));
    EXPECT_EQ(open_refused, failure_of([&] {
                  stream.transfer_open("/uploads/x", vfs_calvimora::transfer_stream::upload);
              }));
    // The client reached the server and asked for TLS, then went away.
    const std::vector<transfer_command> commands = s.transfer_commands();
    EXPECT_FALSE(commands.empty());
    for (const transfer_command& command : commands) {
        EXPECT_TRUE(command.command == "AUTH" || command.command == "QUIT")
            << command.command << " " << command.argument;
    }
}

TEST(server_verification, AServiceOutsideTheTrustedCertificatesGetsNoLogin) {
    service s;
    s.export_url();
    setenv(vfs_calvimora::service_ca_file_variable, system_store().c_str(), 1);
    expect_login_refused(s);
}

TEST(server_verification, AServiceWhoseCertificateNamesAnotherHostGetsNoLogin) {
    service s(service_options{"service.example.invalid"});
    s.export_url();
    expect_login_refused(s);
}

TEST(server_verification, ATransferServerOutsideTheTrustedCertificatesGetsNoCredentials) {
    service s;
    expect_transfers_refused(s, system_store());
}

TEST(server_verification, ATransferServerWhoseCertificateNamesAnotherHostGetsNoCredentials) {
    service s(service_options{"service.example.invalid"});
    expect_transfers_refused(s, s.ca_file());
}

}  // namespace
}  // namespace calvimora::testing

// The request layer: every operation on remote storage is one HTTPS POST of
// a form body to a script of the service, answered by a tagged-text reply.
// Each request borrows a handle of the request pool and is tried three times
// at once before its failure is reported.
#pragma once

#include <cstddef>
#include <string>

#include "vfs/item.h"
#include "vfs/request_parameters.h"
#include "vfs/response_node.h"

namespace vfs_calvimora {

// The version this client reports to the service.
inline constexpr const wchar_t* client_version = L"1.3.14.1";

// Attempts of every request.
inline constexpr int request_tries = 3;

// Script paths; every script but the first lives under the session's prefix.
inline constexpr const char* get_path_script = "/cm_get_path.php";
inline constexpr const char* operations_script = "/cm_operations.php";
inline constexpr const char* thumbnail_script = "/cm_thumbnail.php";
inline constexpr const char* email_script = "/cm_email.php";
inline constexpr const char* profile_script = "/cm_profile.php";

class http_client {
public:
    // Addresses the service's configured base address and trusts its
    // configured certificate authorities; the prefix stays empty until
    // fetch_real_path.
    http_client();

    // Asks the service for its script prefix ("/cm_get_path.php") and keeps
    // it; every session fetches it once when it is built.
    void fetch_real_path();
    std::string get_real_path() const;

    const std::string& get_prefix() const { return prefix_; }
    const std::string& get_base_address() const { return base_address_; }
    // The certificate authority file the service's servers are verified
    // against; empty for the system's store.
    const std::string& get_ca_file() const { return ca_file_; }

    // One POST of the form body to base address + path; the body of a 2xx
    // answer. A failed transfer or any other status throws ("Request
    // failed", "Please, check your internet connection or firewall
    // settings"); a server whose certificate does not verify is told apart
    // ("Request failed", certificate_refused_text).
    vfs::byte_buffer perform_request(const std::string& path,
                                     const request_parameters& parameters) const;
    // perform_request until it succeeds or tries attempts have failed; the
    // last failure propagates.
    vfs::byte_buffer perform_request_retry(const std::string& path,
                                           const request_parameters& parameters, int tries) const;

    // POST, decode, parse and check the reply: its root must be "Result",
    // and an "Error" record becomes an exception with its Name as title and
    // its Description as text (Type 1: item_already_exists_exception).
    response_node call_operation(const std::string& path,
                                 const request_parameters& parameters) const;
    // POST; the reply bytes as they came.
    vfs::byte_buffer raw_request(const std::string& path,
                                 const request_parameters& parameters) const;
    // POST; the reply up to its first zero byte as text, unparsed.
    std::wstring text_request(const std::string& path, const request_parameters& parameters) const;

private:
    std::string base_address_;
    std::string ca_file_;
    std::string prefix_;
};

// Throws the exception an "Error" record among the root's children stands
// for; a reply without one passes. With already_exists_kind, Type 1 throws
// item_already_exists_exception.
void throw_reply_error(const response_node& root, bool already_exists_kind);

// The checks of call_operation on reply bytes: decoded and parsed, its root
// "Result", an "Error" record thrown.
response_node parse_operation_reply(const char* bytes, std::size_t length);

}  // namespace vfs_calvimora

// TLS of every connection to the service's servers (the HTTPS requests and
// the transfer server's control and data connections): the server's
// certificate must chain to a trusted authority and name the host that was
// dialled, or the connection ends before anything is sent on it. The user's
// password and the transfer credentials travel on these connections.
#pragma once

#include <curl/curl.h>

#include <string>

namespace vfs_calvimora {

// What a request or transfer refused for its server's certificate reports.
inline constexpr const wchar_t* certificate_refused_text =
    L"The server's certificate could not be verified; nothing was sent to it";

// Sets peer and host verification on the handle. ca_file names the trusted
// authorities; empty keeps the system's certificate store. The handle must
// carry libcurl's defaults for the trust options (a fresh or reset handle).
void verify_server_certificate(CURL* handle, const std::string& ca_file);

// Whether a libcurl result means that the server's certificate was refused
// or could not be checked.
bool is_certificate_failure(CURLcode result);

}  // namespace vfs_calvimora

// TLS sessions shared by the handles of one pool. A handle that has to open
// a new connection to a server (its own was closed while idle, or it is new)
// resumes a session that any handle of the pool made with that server, which
// spares both sides the certificate and the key exchange of a full
// handshake. A session is only resumed for the server and the verification
// settings it was made with.
#pragma once

#include <curl/curl.h>

#include <array>
#include <mutex>

namespace vfs_calvimora {

class tls_session_share {
public:
    // Throws ("CURL descriptor init failed") when libcurl cannot make one.
    tls_session_share();
    ~tls_session_share();
    tls_session_share(const tls_session_share&) = delete;
    tls_session_share& operator=(const tls_session_share&) = delete;

    // Lets the handle use the shared sessions; a reset of the handle keeps
    // this. Every handle attached must be cleaned up before the share.
    void attach(CURL* handle) const;

private:
    static void lock(CURL* handle, curl_lock_data data, curl_lock_access access, void* self);
    static void unlock(CURL* handle, curl_lock_data data, void* self);

    CURLSH* share_;
    // One lock per kind of shared data, as libcurl asks for them by kind.
    std::array<std::mutex, CURL_LOCK_DATA_LAST> locks_;
};

}  // namespace vfs_calvimora

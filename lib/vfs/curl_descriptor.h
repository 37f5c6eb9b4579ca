// Pools of libcurl easy handles. A request or a transfer borrows a free
// handle for its duration and gives it back; the handle keeps its open
// connection (and its TLS session) for the next one that borrows it, and the
// handles of a pool share their TLS sessions, so that a new connection to a
// server another handle knows resumes its session. A pool only grows, to the
// largest number of handles ever in use at once; its handles are cleaned up
// when the pool is destroyed at process exit. Every user sets each option it
// relies on before every use (resetting the handle first keeps its
// connections and the shared sessions).
#pragma once

#include <curl/curl.h>

#include <cstddef>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "vfs/tls_session_share.h"

namespace vfs_calvimora {

class curl_descriptor_cache {
public:
    curl_descriptor_cache() = default;
    curl_descriptor_cache(const curl_descriptor_cache&) = delete;
    curl_descriptor_cache& operator=(const curl_descriptor_cache&) = delete;

    // Takes the first free entry, or appends a new one when all are in use;
    // returns its position. Throws ("CURL descriptor init failed") when no
    // new handle can be made.
    std::size_t acquire_descriptor();
    void release_descriptor(std::size_t position);
    // The handle of an entry in use ("CURL descriptor not locked" otherwise).
    CURL* get_curl_handle(std::size_t position);

    std::size_t size();
    std::size_t free_count();

private:
    struct entry {
        explicit entry(const tls_session_share& sessions);
        ~entry();
        entry(const entry&) = delete;
        entry& operator=(const entry&) = delete;

        bool locked = false;
        CURL* handle;
    };

    void lock_entry(entry& e);

    std::mutex mutex_;
    // Made with the first handle; outlives every handle attached to it.
    std::optional<tls_session_share> sessions_;
    std::vector<std::unique_ptr<entry>> entries_;
};

// The two pools of the process: one for the requests of the service's
// scripts, one for the transfers of file contents.
curl_descriptor_cache& request_pool();
curl_descriptor_cache& transfer_pool();

// Holds one entry of a pool from construction to destruction.
class curl_descriptor {
public:
    explicit curl_descriptor(curl_descriptor_cache& pool);
    ~curl_descriptor();
    curl_descriptor(const curl_descriptor&) = delete;
    curl_descriptor& operator=(const curl_descriptor&) = delete;

    CURL* get_curl_handle() const;
    std::size_t position() const { return position_; }

private:
    curl_descriptor_cache& pool_;
    std::size_t position_;
};

}  // namespace vfs_calvimora

#include "vfs/curl_descriptor.h"

#include "vfs/calvimora_exception.h"

namespace vfs_calvimora {

namespace {

const wchar_t* const contact_manufacturer = L"Please, contact software manufacturer";

void initialise_curl_once() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

}  // namespace

curl_descriptor_cache::entry::entry(const tls_session_share& sessions) : handle(curl_easy_init()) {
    if (handle == nullptr) {
        throw exception(L"CURL descriptor init failed", contact_manufacturer);
    }
    sessions.attach(handle);
}

curl_descriptor_cache::entry::~entry() {
    curl_easy_cleanup(handle);
}

void curl_descriptor_cache::lock_entry(entry& e) {
    if (e.locked) {
        throw exception(L"CURL descriptor lock failed", contact_manufacturer);
    }
    e.locked = true;
}

std::size_t curl_descriptor_cache::acquire_descriptor() {
    std::lock_guard<std::mutex> hold(mutex_);
    for (std::size_t position = 0; position < entries_.size(); ++position) {
        if (!entries_[position]->locked) {
            lock_entry(*entries_[position]);
            return position;
        }
    }
    initialise_curl_once();
    if (!sessions_) {
        sessions_.emplace();
    }
    entries_.push_back(std::make_unique<entry>(*sessions_));
    lock_entry(*entries_.back());
    return entries_.size() - 1;
}

void curl_descriptor_cache::release_descriptor(std::size_t position) {
    std::lock_guard<std::mutex> hold(mutex_);
    if (position >= entries_.size() || !entries_[position]->locked) {
        throw exception(L"CURL descriptor unlock failed", contact_manufacturer);
    }
    entries_[position]->locked = false;
}

CURL* curl_descriptor_cache::get_curl_handle(std::size_t position) {
    std::lock_guard<std::mutex> hold(mutex_);
    if (position >= entries_.size() || !entries_[position]->locked) {
        throw exception(L"CURL descriptor not locked", contact_manufacturer);
    }
    return entries_[position]->handle;
}

std::size_t curl_descriptor_cache::size() {
    std::lock_guard<std::mutex> hold(mutex_);
    return entries_.size();
}

std::size_t curl_descriptor_cache::free_count() {
    std::lock_guard<std::mutex> hold(mutex_);
    std::size_t count = 0;
    for (const auto& e : entries_) {
        count += e->locked ? 0 : 1;
    }
    return count;
}

// Both pools exist from static initialisation on, before any request, and
// are destroyed at process exit.
curl_descriptor_cache& request_pool() {
    static curl_descriptor_cache pool;
    return pool;
}

curl_descriptor_cache& transfer_pool() {
    static curl_descriptor_cache pool;
    return pool;
}

namespace {

const bool pools_created = (request_pool(), transfer_pool(), true);

}  // namespace

curl_descriptor::curl_descriptor(curl_descriptor_cache& pool)
    : pool_(pool), position_(pool.acquire_descriptor()) {}

curl_descriptor::~curl_descriptor() {
    try {
        pool_.release_descriptor(position_);
    } catch (const vfs::exception&) {
        // Cannot happen: this object took the entry, so it is locked.
    }
}

CURL* curl_descriptor::get_curl_handle() const {
    return pool_.get_curl_handle(position_);
}

}  // namespace vfs_calvimora

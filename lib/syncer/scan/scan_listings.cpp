#include "syncer/scan/scan_listings.h"

#include <chrono>

#include "syncer/core/paths.h"

namespace syncer {

namespace {

// How often a waiting fetcher looks at the pass's stop signal.
constexpr std::chrono::milliseconds stop_check{50};

// Read as remote_state_of reads an item, so that a task tells whether the
// item is still what the scan saw.
remote_child remote_child_from(vfs::directory::scanned_child&& child) {
    std::optional<remote_item_state> state;
    std::string id;
    if (child.is_file) {
        state = remote_item_state{false, child.modification_date, child.size};
        id = std::move(child.id);
    } else if (child.folder) {
        state = remote_item_state{true, 0, 0};
    }
    return {std::move(child.name), child.type, state, std::move(id), std::move(child.folder)};
}

}  // namespace

remote_children list_remote_children(const vfs::directory_ptr& folder) {
    vfs::directory::scanned_children listed = folder->list_for_scan();
    remote_children children;
    children.reserve(listed.size());
    for (vfs::directory::scanned_child& child : listed)
        children.push_back(remote_child_from(std::move(child)));
    return children;
}

remote_child remote_child_of(const vfs::item_ptr& item) {
    return remote_child_from(vfs::directory::scanned(item));
}

remote_listings::remote_listings(vfs::directory_ptr root, std::wstring root_path,
                                 const stop_signal& stop, int threads)
    : stop_(stop) {
    queue_.push_back({std::move(root_path), std::move(root)});
    try {
        for (int index = 0; index < threads; ++index)
            threads_.emplace_back([this] { fetch_ahead(); });
    } catch (...) {
        // Fewer fetchers, or none: the walk lists what nobody fetched.
    }
}

remote_listings::~remote_listings() {
    {
        std::lock_guard<std::mutex> guard(lock_);
        ending_ = true;
    }
    changed_.notify_all();
    for (std::thread& thread : threads_) thread.join();
}

void remote_listings::fetch_ahead() {
    std::unique_lock<std::mutex> guard(lock_);
    for (;;) {
        while (!ending_ && !stop_.is_raised() &&
               (queue_.empty() || ready_.size() + under_way_.size() >= most_ahead))
            changed_.wait_for(guard, stop_check);
        if (ending_ || stop_.is_raised()) return;
        pending next = std::move(queue_.front());
        queue_.pop_front();
        under_way_.insert(next.path);
        guard.unlock();
        fetched result;
        try {
            result.children = list_remote_children(next.folder);
        } catch (...) {
            result.failure = std::current_exception();
        }
        guard.lock();
        under_way_.erase(next.path);
        if (!result.failure) queue_sub_folders(next.path, result.children);
        ready_.insert_or_assign(next.path, std::move(result));
        changed_.notify_all();
    }
}

void remote_listings::queue_sub_folders(const std::wstring& path, const remote_children& children) {
    // The walk enters these: a plain name, a folder it can list.
    std::vector<pending> sub_folders;
    for (const remote_child& child : children) {
        if (child.type != vfs::item_type_directory || !is_plain_name(child.name)) continue;
        if (child.folder) sub_folders.push_back({join_path(path, child.name), child.folder});
    }
    queue_.insert(queue_.begin(), std::make_move_iterator(sub_folders.begin()),
                  std::make_move_iterator(sub_folders.end()));
}

remote_children remote_listings::take(const std::wstring& path, const vfs::directory_ptr& folder) {
    std::unique_lock<std::mutex> guard(lock_);
    for (;;) {
        if (const auto found = ready_.find(path); found != ready_.end()) {
            fetched result = std::move(found->second);
            ready_.erase(found);
            changed_.notify_all();
            guard.unlock();
            if (result.failure) std::rethrow_exception(result.failure);
            return std::move(result.children);
        }
        if (!under_way_.contains(path)) break;
        changed_.wait(guard);
    }
    // Not begun: listed here, and no fetcher lists it again.
    std::erase_if(queue_, [&](const pending& entry) { return entry.path == path; });
    guard.unlock();
    remote_children children = list_remote_children(folder);
    guard.lock();
    queue_sub_folders(path, children);
    changed_.notify_all();
    return children;
}

}  // namespace syncer

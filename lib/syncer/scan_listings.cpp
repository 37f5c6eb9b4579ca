#include "syncer/scan_listings.h"

#include <boost/pointer_cast.hpp>
#include <chrono>

#include "syncer/exceptions.h"
#include "syncer/paths.h"
#include "vfs/scan_lister.h"

namespace syncer {

namespace {

// How often a waiting fetcher looks at the pass's stop signal.
constexpr std::chrono::milliseconds stop_check{50};

}  // namespace

remote_children list_remote_children(const vfs::directory_ptr& folder) {
    remote_children children;
    if (auto* lister = dynamic_cast<vfs::scan_lister*>(folder.get())) {
        if (std::optional<std::vector<vfs::scanned_child>> listed = lister->list_for_scan()) {
            children.reserve(listed->size());
            for (vfs::scanned_child& child : *listed) {
                if (child.folder) {
                    children.push_back({std::move(child.name), vfs::item_type_directory,
                                        remote_item_state{true, 0, 0}, std::string(),
                                        std::move(child.folder)});
                } else {
                    children.push_back(
                        {std::move(child.name), vfs::item_type_file,
                         remote_item_state{false, child.modification_date, child.size},
                         std::move(child.id), nullptr});
                }
            }
            return children;
        }
    }
    const vfs::item_list items = folder->list_items();
    children.reserve(items.size());
    for (const vfs::item_ptr& item : items) children.push_back(remote_child_of(item));
    return children;
}

remote_child remote_child_of(const vfs::item_ptr& item) {
    remote_child child{item->get_name(), item->get_type(), remote_state_of(item), std::string(),
                       boost::dynamic_pointer_cast<vfs::directory>(item)};
    if (child.state && !child.state->is_folder) child.id = to_utf8(item->get_id());
    return child;
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

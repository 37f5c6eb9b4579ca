// Remote listings fetched ahead of the remote walk, on a few threads of
// their own, while the scan thread walks the local folder and then the
// remote tree. The walk still takes every folder's children in its own
// order, so what it finds and decides is what it would find listing each
// folder itself; only the waiting for the service overlaps.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "syncer/core/remote_item_state.h"
#include "syncer/tasks/task_environment.h"
#include "vfs/directory.h"

namespace syncer {

// One child of a remote folder as the remote walk reads it: its name and
// kind, a file's state and id (UTF-8), a folder's object to walk.
struct remote_child {
    std::wstring name;
    int type = vfs::item_type_file;
    // Nothing for an item that is neither a file nor a folder.
    std::optional<remote_item_state> state;
    std::string id;
    // Null for anything but a folder the walk can list.
    vfs::directory_ptr folder;
};
using remote_children = std::vector<remote_child>;

// The folder's children as its scan listing gives them (without an object
// per file where the folder can).
remote_children list_remote_children(const vfs::directory_ptr& folder);
// The same read from an item's object.
remote_child remote_child_of(const vfs::item_ptr& item);

class remote_listings {
public:
    static constexpr int default_threads = 4;
    // Listings fetched and not yet taken, at most: the fetching stays close
    // to the walk, so the children of few folders are held at once.
    static constexpr std::size_t most_ahead = 64;

    // Starts listing the root folder (at the given remote path) and, below
    // it, every sub-folder the walk will descend into, nearest to the walk's
    // order first.
    remote_listings(vfs::directory_ptr root, std::wstring root_path, const stop_signal& stop,
                    int threads = default_threads);
    // Stops fetching and waits for the listings under way.
    ~remote_listings();
    remote_listings(const remote_listings&) = delete;
    remote_listings& operator=(const remote_listings&) = delete;

    // The children of the folder at that path: the listing fetched ahead
    // (waited for while under way), or fetched now when it was not begun. A
    // failure of the listing is thrown here, as the folder's own listing
    // would throw it.
    remote_children take(const std::wstring& path, const vfs::directory_ptr& folder);

private:
    struct pending {
        std::wstring path;
        vfs::directory_ptr folder;
    };
    struct fetched {
        remote_children children;
        std::exception_ptr failure;
    };

    void fetch_ahead();
    // Puts the sub-folders the walk will enter in front of the queue, in
    // their listing order. Under the lock.
    void queue_sub_folders(const std::wstring& path, const remote_children& children);

    const stop_signal& stop_;
    std::mutex lock_;
    std::condition_variable changed_;
    std::deque<pending> queue_;
    std::set<std::wstring> under_way_;
    std::map<std::wstring, fetched> ready_;
    bool ending_ = false;
    std::vector<std::thread> threads_;
};

}  // namespace syncer

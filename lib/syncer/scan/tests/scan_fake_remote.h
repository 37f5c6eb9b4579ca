// An in-memory remote storage behind the vfs interfaces, for the scan and
// manager tests: folders and files with dates, listing faults, names the
// service would never send, and transfers that can be held.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "vfs/client.h"

namespace syncer::scan_testing {

struct remote_file_info {
    std::string content;
    std::int64_t date = -1;
};

class fake_remote : public std::enable_shared_from_this<fake_remote> {
public:
    fake_remote();
    static std::shared_ptr<fake_remote> make() { return std::make_shared<fake_remote>(); }

    // Paths are "/"-separated below the root ("a/b").
    void add_folder(const std::wstring& path);
    // Creates missing folders on the way. date -1: a file without a date.
    void put_file(const std::wstring& path, const std::string& content, std::int64_t date);
    void remove(const std::wstring& path);
    std::optional<remote_file_info> file(const std::wstring& path) const;
    bool folder_exists(const std::wstring& path) const;

    // A child the listing of the folder shows whatever its name.
    void add_raw_child(const std::wstring& folder, const std::wstring& name, bool is_folder);
    // Listing the folder (or looking it up by path) throws "not found", or
    // another failure.
    void fail_listing(const std::wstring& folder, bool not_found);
    void fail_lookup(const std::wstring& folder);
    void clear_faults();

    // Reads and writes of file contents wait while transfers are held (at
    // most the given time), so tests can keep tasks running.
    void hold_transfers(std::chrono::milliseconds longest = std::chrono::seconds(20));
    void release_transfers();
    int waiting_transfers() const;
    // Write calls from the next one on take at most `most` bytes each; the
    // calls numbered in `refused` (0 the next one) fail, and from call
    // `silent_from` on every call takes nothing, as a stream that stopped
    // taking bytes does.
    struct write_limits {
        std::size_t most = 0;
        std::set<int> refused;
        int silent_from = -1;
    };
    void limit_writes(write_limits limits);
    // How often a folder was looked up by path.
    int lookups(const std::wstring& path) const;
    // Runs once, at the next listing of the folder, before it is answered.
    void on_next_listing(const std::wstring& path, std::function<void()> hook);
    // How often a folder was listed.
    int listings(const std::wstring& path) const;

    vfs::client_ptr client();

    // For the vfs objects.
    struct node;
    std::shared_ptr<node> find(const std::wstring& path) const;
    std::shared_ptr<node> find_locked(const std::wstring& path) const;
    // Counts a listing; throws when the folder's listing was made to fail.
    void check_listing(const std::wstring& path) const;
    void count_listing(const std::wstring& path) const;
    // Counts a lookup by path; throws when the path was made to fail.
    void count_lookup(const std::wstring& path);
    void wait_for_transfer();
    // How many of the offered bytes a write call takes; throws when the
    // call is refused.
    std::size_t take_write(std::size_t offered);
    std::mutex& mutex() const { return mutex_; }

private:
    std::shared_ptr<node> folder_for(const std::wstring& path, bool create);

    mutable std::mutex mutex_;
    std::condition_variable released_;
    std::shared_ptr<node> root_;
    std::set<std::wstring> not_found_listings_;
    std::set<std::wstring> failing_listings_;
    std::set<std::wstring> failing_lookups_;
    bool held_ = false;
    std::chrono::milliseconds longest_hold_{0};
    int waiting_ = 0;
    std::optional<write_limits> write_limits_;
    int write_calls_ = 0;
    std::map<std::wstring, int> lookups_;
    mutable std::map<std::wstring, std::function<void()>> listing_hooks_;
    mutable std::map<std::wstring, int> listings_;
};

struct fake_remote::node {
    bool is_folder = true;
    std::wstring name;
    std::string content;
    std::int64_t date = -1;
    // Listing order: folders, then files, by name.
    std::map<std::wstring, std::shared_ptr<node>> children;
    // Shown by the listing only.
    std::vector<std::shared_ptr<node>> raw_children;
};

}  // namespace syncer::scan_testing

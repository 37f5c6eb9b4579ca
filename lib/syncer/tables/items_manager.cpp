#include "syncer/tables/items_manager.h"

#include <ctime>
#include <map>
#include <mutex>

#include "serializer/file_serializer.h"
#include "syncer/core/exceptions.h"
#include "syncer/core/paths.h"
#include "syncer/tables/binding_manager.h"
#include "syncer/tables/table_file.h"

namespace syncer {

namespace {

namespace fs = boost::filesystem;
using file_serializer = serializer::file_serializer;

// The children of the table's root that hold the local folder's identity
// and the remote folder's id.
const wchar_t* const local_root_name = L"local_root";
const wchar_t* const remote_root_name = L"remote_root";

// Entries not used for longer than this many seconds are dropped.
constexpr std::int64_t cache_lifetime = 300;

// What a table held when this process last closed it, while the file is
// still that version.
struct cached_table {
    file_serializer::file_version version;
    std::set<sync_item, sync_item::less> records;
    table_fingerprint fingerprint;
    std::optional<folder_identity> local_root;
    std::optional<std::wstring> remote_root;
    std::int64_t last_use = 0;
};

std::mutex cache_mutex;
std::map<fs::path, cached_table> cache;

std::int64_t now() {
    return static_cast<std::int64_t>(std::time(nullptr));
}

void purge_cache(std::int64_t at) {
    std::erase_if(cache,
                  [&](const auto& entry) { return entry.second.last_use < at - cache_lifetime; });
}

// The cached table of the path, taken out of the cache, when the file is
// still the version it was cached with.
std::optional<cached_table> take_cached(const fs::path& path) {
    std::lock_guard<std::mutex> guard(cache_mutex);
    const auto found = cache.find(path);
    if (found == cache.end()) return std::nullopt;
    std::optional<cached_table> taken;
    if (file_serializer::version_of(path) == found->second.version)
        taken = std::move(found->second);
    cache.erase(found);
    return taken;
}

void keep_cached(const fs::path& path, cached_table table) {
    std::lock_guard<std::mutex> guard(cache_mutex);
    table.last_use = now();
    purge_cache(table.last_use);
    cache.insert_or_assign(path, std::move(table));
}

}  // namespace

items_manager::items_manager(const binding& owner, const std::wstring& user_name)
    : user_name_(user_name),
      items_filename_(owner.items_filename),
      path_(get_items_path(items_filename_, user_name_)),
      owner_(owner),
      mutex_(mutex_name(owner.items_filename, user_name)),
      lock_(mutex_) {
    if (auto cached = take_cached(path_)) {
        std::set<sync_item, sync_item::less>::operator=(std::move(cached->records));
        version_ = cached->version;
        stored_fingerprint_ = cached->fingerprint;
        local_root_ = stored_local_root_ = cached->local_root;
        remote_root_ = stored_remote_root_ = cached->remote_root;
        return;
    }
    const table_file::origin from =
        table_file::load_repairing(path_, [this](const fs::path& path) { read(path); });
    if (from == table_file::origin::none || from == table_file::origin::set_aside) {
        clear();
        version_.reset();
        local_root_.reset();
        remote_root_.reset();
    }
    stored_fingerprint_ = fingerprint_of(*this);
    stored_local_root_ = local_root_;
    stored_remote_root_ = remote_root_;
}

std::wstring items_manager::mutex_name(const std::wstring& items_filename,
                                       const std::wstring& user_name) {
    return L"Local\\" + user_name + L"_" + items_filename + L"_items_mutex";
}

items_manager::~items_manager() {
    try {
        save();
        // What the file holds: records without a time are not stored.
        std::erase_if(*this, [](const sync_item& record) {
            return record.last_time_remote == missing_time &&
                   record.last_time_local == missing_time;
        });
        keep_cached(path_, {*version_, std::move(*this), stored_fingerprint_, stored_local_root_,
                            stored_remote_root_});
    } catch (...) {
        // A destructor must not throw; the explicit saves report failures.
        // Nothing is kept for a table that could not be saved.
    }
}

void items_manager::read(const fs::path& path) {
    clear();
    local_root_.reset();
    remote_root_.reset();
    serializer::node root;
    version_ = file_serializer::load_children(path, root, [this](serializer::node&& child) {
        if (child.name == L"item") insert(sync_item::from_node(child));
        if (child.name == local_root_name) local_root_ = folder_identity::from_node(child);
        if (child.name == remote_root_name && !child.value.empty()) remote_root_ = child.value;
    });
}

void items_manager::save() {
    const table_fingerprint current = fingerprint_of(*this);
    if (version_ && current == stored_fingerprint_ && local_root_ == stored_local_root_ &&
        remote_root_ == stored_remote_root_ && file_serializer::version_of(path_) == version_)
        return;
    const serializer::node root(L"sync_items", L"");
    version_ = file_serializer::save_children(
        path_, root,
        [this](const serializer::node::child_emitter& emit) {
            // Before the records; readers that know only records skip it.
            if (local_root_) {
                serializer::node identity(local_root_name, L"");
                local_root_->to_node(identity);
                emit(identity);
            }
            if (remote_root_) emit(serializer::node(remote_root_name, *remote_root_));
            for (const sync_item& record : *this) {
                if (record.last_time_remote == missing_time &&
                    record.last_time_local == missing_time)
                    continue;
                serializer::node item(L"item", L"");
                record.to_node(item);
                emit(item);
            }
        },
        true);
    stored_fingerprint_ = current;
    stored_local_root_ = local_root_;
    stored_remote_root_ = remote_root_;
}

void items_manager::fill_rule(sync_item& item) const {
    merge_stored_rule(item, item.rule);
    if (owner_.filename.empty()) {
        std::wstring remote = item.dir_remote;
        std::wstring local = item.dir_local;
        for (;;) {
            merge_stored_rule(sync_item(remote, local, L""), item.rule);
            if (paths_equal(remote, owner_.dir_remote) && paths_equal(local, owner_.dir_local))
                break;
            // A record outside the binding's root, or a root written with a
            // trailing separator, never meets the root: stop at the top.
            std::wstring remote_parent = parent_path(remote);
            std::wstring local_parent = parent_path(local);
            if (remote_parent == remote || local_parent == local) break;
            remote = std::move(remote_parent);
            local = std::move(local_parent);
        }
    }
    item.rule.merge_from(owner_.rule);
}

boost::filesystem::path items_manager::get_items_path(const std::wstring& items_filename,
                                                      const std::wstring& user_name) {
    if (!is_plain_name(items_filename))
        throw syncer_exception(__PRETTY_FUNCTION__, "Item table name " + to_utf8(items_filename) +
                                                        " is not a file name");
    return binding_manager::get_settings_directory(user_name) / items_filename;
}

void items_manager::merge_stored_rule(const sync_item& key, sync_rule& rule) const {
    const auto stored = find(key);
    if (stored != end()) rule.merge_from(stored->rule);
}

}  // namespace syncer

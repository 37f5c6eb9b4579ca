#include "syncer/tables/binding_manager.h"

#include <algorithm>
#include <boost/filesystem/operations.hpp>
#include <climits>
#include <vector>

#include "serializer/file_serializer.h"
#include "syncer/core/paths.h"
#include "syncer/tables/items_manager.h"
#include "syncer/tables/journal_intake.h"
#include "syncer/tables/table_file.h"
#include "utils/filesystem.h"
#include "utils/locale.h"
#include "win/shell.h"

namespace syncer {

namespace fs = boost::filesystem;

namespace {

constexpr const wchar_t* items_prefix = L"sync_rules_";
constexpr const wchar_t* items_suffix = L".xml";

bool is_item_table_name(const std::wstring& name) {
    return name.starts_with(items_prefix) && name.ends_with(items_suffix);
}

}  // namespace

binding_manager::binding_manager(const std::wstring& user_name, bool load)
    : user_name_(user_name), mutex_(mutex_name(user_name)), lock_(mutex_) {
    if (load) table_file::load(get_bindings_path(user_name_), reader());
}

std::wstring binding_manager::mutex_name(const std::wstring& user_name) {
    return L"Local\\" + user_name + L"_bindings_mutex";
}

table_file::reader binding_manager::reader() {
    return
        [this](const fs::path& path) { from_node(serializer::file_serializer::load_cached(path)); };
}

binding_manager::~binding_manager() {
    try {
        save();
    } catch (...) {
        // A destructor must not throw; the explicit saves report failures.
    }
}

binding_set binding_manager::get_bindings() const {
    return bindings_;
}

void binding_manager::add_binding(binding added) {
    if (bindings_.contains(added))
        throw duplicated_binding_exception(__PRETTY_FUNCTION__, added.to_string());
    added.items_filename = next_items_filename();
    bindings_.insert(added);
    dirty_ = true;
}

void binding_manager::remove_binding(const binding& removed) {
    bindings_.erase(find_stored(removed, __PRETTY_FUNCTION__));
    dirty_ = true;
}

namespace {

// The key of a lookup by paths: only the paths take part in the order.
binding paths_key(const std::wstring& dir_remote, const std::wstring& dir_local,
                  const std::wstring& filename) {
    return binding(binding::type_user_choice, 1, dir_remote, dir_local, filename,
                   sync_permission::not_set, sync_rule(), false, L"");
}

}  // namespace

bool binding_manager::has_binding(const std::wstring& dir_remote, const std::wstring& dir_local,
                                  const std::wstring& filename) const {
    return bindings_.contains(paths_key(dir_remote, dir_local, filename));
}

std::optional<binding> binding_manager::find_binding_by_paths(const std::wstring& dir_remote,
                                                              const std::wstring& dir_local,
                                                              const std::wstring& filename) const {
    const auto stored = bindings_.find(paths_key(dir_remote, dir_local, filename));
    if (stored == bindings_.end()) return std::nullopt;
    return *stored;
}

void binding_manager::remove_binding_by_paths(const std::wstring& dir_remote,
                                              const std::wstring& dir_local,
                                              const std::wstring& filename) {
    remove_binding(paths_key(dir_remote, dir_local, filename));
}

void binding_manager::set_force_sync_once(const binding& target) {
    const auto stored = bindings_.find(target);
    if (stored != bindings_.end()) {
        binding updated = *stored;
        updated.force_sync_once = true;
        replace_stored(stored, updated);
    }
    dirty_ = true;
}

void binding_manager::reset_force_sync_once(const binding& target) {
    const auto stored = bindings_.find(target);
    if (stored != bindings_.end()) {
        binding updated = *stored;
        updated.force_sync_once = false;
        replace_stored(stored, updated);
    }
    dirty_ = true;
}

void binding_manager::save() {
    if (!dirty_) return;
    serializer::node tree(L"sync_bindings", L"");
    to_node(tree);
    // With a backup, as the item tables: a damaged table comes back from it.
    serializer::file_serializer::save_cached(get_bindings_path(user_name_), tree, true);
    dirty_ = false;
}

void binding_manager::to_node(serializer::node& target) const {
    target.set(L"next_rules_file_id", next_rules_file_id_);
    for (const binding& stored : bindings_) stored.to_node(target.add(L"binding", L"")->second);
}

void binding_manager::from_node(const serializer::node& source) {
    bindings_.clear();
    next_rules_file_id_ = std::max(source.get(L"next_rules_file_id", 0), 0);
    const auto [first, last] = source.equal_range(L"binding");
    for (auto child = first; child != last; ++child) {
        bindings_.insert(binding::from_node(child->second));
    }
}

fs::path binding_manager::get_settings_directory(const std::wstring& user_name) {
    // The user name becomes a folder name: it must not reach outside the
    // product's folder.
    if (!is_plain_name(user_name))
        throw syncer_exception(__PRETTY_FUNCTION__,
                               "User name " + to_utf8(user_name) + " is not a folder name");
    utils::imbue_utf8_locale();
    const fs::path directory = utils::filesystem::get_special_directory(CSIDL_LOCAL_APPDATA) /
                               L"Calvimora" / user_name / L"settings";
    boost::system::error_code ignored;
    fs::create_directories(directory, ignored);
    if (!fs::is_directory(directory))
        throw create_directory_exception(__PRETTY_FUNCTION__, directory);
    return directory;
}

fs::path binding_manager::get_bindings_path(const std::wstring& user_name) {
    return get_settings_directory(user_name) / L"bindings.xml";
}

table_file::origin binding_manager::load_repairing(const std::wstring& user_name) {
    const fs::path path = get_bindings_path(user_name);
    binding_manager table(user_name, false);
    const table_file::origin from = table_file::load_repairing(path, table.reader());
    // A copy opened in an earlier run keeps its binding while it is there:
    // an edit made while syncing was off still reaches its file, and the
    // saved-files folder's own binding never takes the copy for a file of its
    // own. The bindings of copies that are gone go.
    const auto gone_copies = std::erase_if(table.bindings_, [](const binding& stored) {
        if (stored._type != binding::type_open_copy) return false;
        boost::system::error_code ignored;
        const fs::file_status copy =
            fs::status(native_local_path(join_path(stored.dir_local, stored.filename)), ignored);
        return copy.type() == fs::file_not_found;
    });
    if (gone_copies != 0) table.dirty_ = true;
    return from;
}

bool binding_manager::load_with_backup(const std::wstring& user_name) {
    return load_repairing(user_name) == table_file::origin::backup;
}

fs::path binding_manager::get_damaged_bindings_path(const std::wstring& user_name) {
    return fs::path(get_bindings_path(user_name).native() + table_file::damaged_suffix);
}

void binding_manager::purge_orphan_rules(const std::wstring& user_name) {
    const fs::path path = get_bindings_path(user_name);
    binding_manager table(user_name, false);
    const table_file::origin from = table_file::load(path, table.reader());
    if (from == table_file::origin::none) return;
    const binding_set bindings = table.get_bindings();
    // A table that did not come from its own file, or one made anew beside a
    // damaged one, may lack bindings the user still has: their item tables
    // stay until the table is whole again.
    const bool may_delete = from == table_file::origin::file &&
                            !fs::exists(fs::path(path.native() + table_file::damaged_suffix));

    const fs::path directory = get_settings_directory(user_name);
    std::vector<fs::path> entries;
    for (const auto& entry : fs::directory_iterator(directory)) entries.push_back(entry.path());

    for (const fs::path& entry : entries) {
        try {
            if (!fs::is_regular_file(entry)) continue;
            const std::wstring name = entry.filename().wstring();
            const bool journal = transfer_journal::is_journal_name(name);
            const std::wstring table_name = journal ? transfer_journal::table_name_of(name) : name;
            if (!is_item_table_name(table_name)) continue;
            const auto owner =
                std::find_if(bindings.begin(), bindings.end(),
                             [&](const binding& b) { return b.items_filename == table_name; });
            if (owner == bindings.end()) {
                if (may_delete) serializer::file_serializer::remove(entry);
                continue;
            }
            if (journal) continue;
            items_manager items(*owner, user_name);
            const journal_intake results(
                items, *owner, transfer_journal(transfer_journal::path_for(name, user_name)));
            for (const sync_item& record : items) {
                if (record.last_time_remote != missing_time) record.last_time_remote = 0;
                if (record.last_time_local != missing_time) record.last_time_local = 0;
            }
            items.save();
            results.cut();
        } catch (const std::exception&) {
            // One table that cannot be handled does not keep the others
            // from being swept; it is tried again at the next start.
        }
    }
    table.save();
}

binding_set::iterator binding_manager::find_stored(const binding& target, const char* context) {
    const auto stored = bindings_.find(target);
    if (stored == bindings_.end()) throw binding_not_found_exception(context, target.to_string());
    return stored;
}

void binding_manager::replace_stored(binding_set::iterator stored, const binding& updated) {
    const auto hint = bindings_.erase(stored);
    bindings_.insert(hint, updated);
}

std::wstring binding_manager::next_items_filename() {
    const fs::path directory = get_settings_directory(user_name_);
    for (;;) {
        if (next_rules_file_id_ == INT_MAX)
            throw syncer_exception(__PRETTY_FUNCTION__, "No item table name is left");
        const std::wstring name =
            items_prefix + std::to_wstring(next_rules_file_id_++) + items_suffix;
        const bool named = std::any_of(bindings_.begin(), bindings_.end(),
                                       [&](const binding& b) { return b.items_filename == name; });
        if (!named && !fs::exists(directory / name) && !fs::exists(directory / (name + L".bak")))
            return name;
    }
}

}  // namespace syncer

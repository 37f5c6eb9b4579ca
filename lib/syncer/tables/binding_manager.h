// Room tables, above core and below tasks (the order of the rooms:
// lib/syncer/CMakeLists.txt): what the engine keeps on disk, the binding
// table and its locked operations, the item records and item tables, their
// files and fingerprints, the roots' folder identities, and the journal of
// transfers beside each item table with its intake.
//
// The binding table of one user: the file "bindings.xml" in the user's
// settings folder, guarded across the processes of the log-on session by the
// named mutex "Local\<user>_bindings_mutex". An object holds the mutex for
// its whole life and saves its changes when destroyed, so every use opens
// one, does its work and closes it.
#pragma once

#include <boost/filesystem/path.hpp>
#include <optional>
#include <string>

#include "serializer/node.h"
#include "syncer/core/binding.h"
#include "syncer/core/exceptions.h"
#include "syncer/tables/table_file.h"
#include "utils/named_mutex.h"

namespace syncer {

class binding_manager {
public:
    // Locks the user's table, waiting for any other holder; with load, reads
    // the file (a missing file whose ".tmp" or ".bak" companion parses is
    // taken from there). Any failure passes on, the mutex released.
    binding_manager(const std::wstring& user_name, bool load);
    // Saves pending changes, swallowing errors, and releases the mutex.
    virtual ~binding_manager();
    binding_manager(const binding_manager&) = delete;
    binding_manager& operator=(const binding_manager&) = delete;

    binding_set get_bindings() const;

    // Adds the binding under a new item-table name "sync_rules_<n>.xml"
    // (whatever items_filename it had). A number is never given twice: the
    // counter only grows, and numbers whose table file is still present are
    // passed over. Raises duplicated_binding_exception when the table holds
    // the same binding.
    void add_binding(binding added);
    // Raises binding_not_found_exception when the table lacks it.
    void remove_binding(const binding& removed);
    // Stores a value into one member of the stored binding that is the same
    // binding; the member must not take part in the order. Raises
    // binding_not_found_exception when the table lacks it.
    template <typename Value>
    void update_binding(const binding& target, Value binding::*member, const Value& value);
    // Lookups by the three paths that order bindings (remote folder, local
    // folder, file name): they find a stored binding of the same paths
    // whatever its kind, mode or permissions.
    bool has_binding(const std::wstring& dir_remote, const std::wstring& dir_local,
                     const std::wstring& filename) const;
    // The stored binding of those paths, when there is one.
    std::optional<binding> find_binding_by_paths(const std::wstring& dir_remote,
                                                 const std::wstring& dir_local,
                                                 const std::wstring& filename) const;
    // Raises binding_not_found_exception when no binding has those paths.
    void remove_binding_by_paths(const std::wstring& dir_remote, const std::wstring& dir_local,
                                 const std::wstring& filename);
    // Set or clear force_sync_once of the stored binding that is the same
    // binding, when there is one.
    void set_force_sync_once(const binding& target);
    void reset_force_sync_once(const binding& target);

    // Writes the table when it changed.
    void save();
    // Forgets the changes not yet saved, so that the destructor leaves the
    // file as it is: for a caller whose changes must land all or not at all.
    void discard_changes() { dirty_ = false; }

    void to_node(serializer::node& target) const;
    // Takes the bindings of a stored table; repeated bindings are dropped.
    void from_node(const serializer::node& source);

    // "<local application data>\Calvimora\<user>\settings", created with its
    // parents when missing (create_directory_exception when impossible). A
    // user name that is not a plain folder name raises syncer_exception.
    static boost::filesystem::path get_settings_directory(const std::wstring& user_name);
    static boost::filesystem::path get_bindings_path(const std::wstring& user_name);
    // The name of the named mutex that guards the table.
    static std::wstring mutex_name(const std::wstring& user_name);

    // Loads the table once at the start of syncing, repairing it: a file that
    // does not parse is kept aside as "bindings.xml.bad" and replaced by its
    // backup (every save keeps one) when that parses, else the table starts
    // empty; a missing file whose backup does not parse has the backup kept
    // aside so, and starts empty too. Tells where the table came from: the backup, or set aside
    // without a usable backup, are for the user to know. The bindings of
    // local copies of opened files (_type 1) whose copy is gone are dropped
    // here, at the start of syncing; the others stay, so that an edit of a
    // copy still goes to its own file after a restart.
    static table_file::origin load_repairing(const std::wstring& user_name);
    // True only when the backup was used.
    static bool load_with_backup(const std::wstring& user_name);
    // Where load_repairing keeps a damaged table.
    static boost::filesystem::path get_damaged_bindings_path(const std::wstring& user_name);

    // The start-up sweep of item tables: deletes "sync_rules_*.xml" tables
    // (and their backups) that no binding names, and turns every stored time
    // of the others that is not negative into 0 (the times both sides last
    // agreed on stay). Does nothing while the binding table file is absent,
    // and deletes nothing unless the table was read from its own file with
    // no damaged table ("bindings.xml.bad") beside it: a table restored or
    // made anew may lack bindings whose item tables the user still needs.
    static void purge_orphan_rules(const std::wstring& user_name);

private:
    // Takes a table read from a file.
    table_file::reader reader();
    binding_set::iterator find_stored(const binding& target, const char* context);
    void replace_stored(binding_set::iterator stored, const binding& updated);
    std::wstring next_items_filename();

    std::wstring user_name_;
    utils::named_mutex mutex_;
    utils::named_mutex_lock lock_;
    bool dirty_ = false;
    int next_rules_file_id_ = 0;
    binding_set bindings_;
};

template <typename Value>
void binding_manager::update_binding(const binding& target, Value binding::*member,
                                     const Value& value) {
    const auto stored = find_stored(target, __PRETTY_FUNCTION__);
    binding updated = *stored;
    updated.*member = value;
    replace_stored(stored, updated);
    dirty_ = true;
}

}  // namespace syncer

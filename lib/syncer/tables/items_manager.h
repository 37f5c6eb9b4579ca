// The item table of one binding: what the scan last saw of each file and
// folder, kept in the settings file the binding names ("sync_rules_<n>.xml")
// and guarded across the log-on session by the named mutex
// "Local\<user>_<file name>_items_mutex". An object holds the mutex for its
// whole life and saves the table when destroyed.
#pragma once

#include <boost/filesystem/path.hpp>
#include <optional>
#include <set>
#include <string>

#include "serializer/file_serializer.h"

#include "syncer/core/binding.h"
#include "syncer/tables/folder_identity.h"
#include "syncer/tables/sync_item.h"
#include "syncer/tables/table_fingerprint.h"
#include "utils/named_mutex.h"

namespace syncer {

class items_manager : public std::set<sync_item, sync_item::less> {
public:
    // Locks the table, waiting for any other holder, and reads it. A missing
    // file is taken from a complete ".tmp" or ".bak" companion; a file that
    // cannot be read or parsed is kept aside as "<file>.bad" and replaced by
    // its backup when that parses, otherwise the table starts empty. Only when
    // that repair itself fails does an error pass on (the mutex released,
    // nothing changed on disk).
    //
    // The records a table held when this process last closed it are kept
    // (for five minutes of disuse): a table unchanged on disk since then is
    // taken from there, not parsed again.
    items_manager(const binding& owner, const std::wstring& user_name);
    // Saves, swallowing errors, and releases the mutex.
    virtual ~items_manager();
    items_manager(const items_manager&) = delete;
    items_manager& operator=(const items_manager&) = delete;

    // Writes every record that has a time on either side, keeping the
    // previous file as the ".bak" companion; records with both times missing are
    // forgotten. Nothing is written when the table equals the file (the file
    // is what this object read or last wrote and the records' fingerprint
    // has not changed since).
    void save();

    // Completes the entries of the item's rule that are not set: from the
    // stored record of the same key, then (for a folder binding only) from the
    // records of the enclosing folders up to the binding's root, nearest
    // first, then from the binding's rule.
    void fill_rule(sync_item& item) const;

    // The binding's local folder as it was while the table knew items in it
    // (kept in the table's file), so that a pass finding it empty can tell
    // the folder the user emptied from a drive not mounted there.
    const std::optional<folder_identity>& local_root() const { return local_root_; }
    void set_local_root(const folder_identity& identity) { local_root_ = identity; }
    // The id of the binding's remote folder, kept alike: a folder removed on
    // the service and made anew under the same name has another.
    const std::optional<std::wstring>& remote_root() const { return remote_root_; }
    void set_remote_root(const std::wstring& id) { remote_root_ = id; }

    // The table's file in the user's settings folder. A name that is not a
    // plain file name raises syncer_exception, so a damaged binding table
    // cannot direct writes elsewhere.
    static boost::filesystem::path get_items_path(const std::wstring& items_filename,
                                                  const std::wstring& user_name);
    // The name of the named mutex that guards the table.
    static std::wstring mutex_name(const std::wstring& items_filename,
                                   const std::wstring& user_name);

private:
    void merge_stored_rule(const sync_item& key, sync_rule& rule) const;
    // Reads the file, a record at a time; a repeated key is dropped.
    void read(const boost::filesystem::path& path);

    std::wstring user_name_;
    std::wstring items_filename_;
    boost::filesystem::path path_;
    binding owner_;
    utils::named_mutex mutex_;
    utils::named_mutex_lock lock_;
    // The file as this object last read or wrote it, and what its records
    // were then; nothing before the first read or write.
    std::optional<serializer::file_serializer::file_version> version_;
    table_fingerprint stored_fingerprint_;
    std::optional<folder_identity> local_root_;
    std::optional<folder_identity> stored_local_root_;
    std::optional<std::wstring> remote_root_;
    std::optional<std::wstring> stored_remote_root_;
};

}  // namespace syncer

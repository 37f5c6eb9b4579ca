#include "syncer/items_manager.h"

#include "serializer/file_serializer.h"
#include "syncer/binding_manager.h"
#include "syncer/exceptions.h"
#include "syncer/paths.h"
#include "syncer/table_file.h"

namespace syncer {

items_manager::items_manager(const binding& owner, const std::wstring& user_name)
    : user_name_(user_name),
      items_filename_(owner.items_filename),
      owner_(owner),
      mutex_(L"Local\\" + user_name + L"_" + owner.items_filename + L"_items_mutex"),
      lock_(mutex_) {
    const auto loaded = table_file::load_repairing(get_items_path(items_filename_, user_name_));
    if (loaded.tree) from_node(*loaded.tree);
}

items_manager::~items_manager() {
    try {
        save();
    } catch (...) {
        // A destructor must not throw; the explicit saves report failures.
    }
}

void items_manager::save() {
    serializer::node tree(L"sync_items", L"");
    for (const sync_item& record : *this) {
        if (record.last_time_remote != -1 || record.last_time_local != -1)
            record.to_node(tree.add(L"item", L"")->second);
    }
    serializer::file_serializer::save_cached(get_items_path(items_filename_, user_name_), tree,
                                             true);
}

void items_manager::from_node(const serializer::node& source) {
    clear();
    const auto [first, last] = source.equal_range(L"item");
    for (auto child = first; child != last; ++child) insert(sync_item::from_node(child->second));
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

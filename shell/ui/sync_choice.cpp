#include "ui/sync_choice.h"

#include "syncer/tables/binding_manager.h"
#include "ui/sync_folder_rule.h"

using syncer::sync_permission;

syncer::sync_rule backup_rule() {
    const sync_permission no = sync_permission::no, yes = sync_permission::yes;
    return syncer::sync_rule({yes, no, yes, no, no, no, no, no});
}

bool is_backup_binding(const syncer::binding& b) {
    const syncer::sync_rule& r = b.rule;
    for (const sync_permission p :
         {r.can_download, r.can_overwrite_download, r.can_remove_remote, r.can_remove_remote_dir,
          r.can_remove_local, r.can_remove_local_dir})
        if (p == sync_permission::no) return true;
    return false;
}

bool is_same_choice(const syncer::binding& stored, const syncer::binding& wanted) {
    return stored.is_same_as(wanted) && stored._type == wanted._type &&
           stored._mode == wanted._mode &&
           stored.can_recourse_subdirs == wanted.can_recourse_subdirs && stored.rule == wanted.rule;
}

std::vector<std::vector<syncer::binding>> apply_binding_changes(
    const std::wstring& user_name, const std::vector<binding_change>& changes) {
    std::vector<std::vector<syncer::binding>> written;
    syncer::binding_manager table(user_name, true);
    try {
        // Checked against the table as it is now, under its lock.
        std::vector<syncer::binding> wanted, replaced;
        for (const binding_change& change : changes) {
            replaced.insert(replaced.end(), change.found.begin(), change.found.end());
            if (change.wanted) wanted.push_back(*change.wanted);
        }
        if (!sync_folder_rule::can_bind(wanted, table.get_bindings(), replaced))
            throw sync_folder_rule::unsyncable_folder();
        for (const binding_change& change : changes) {
            std::optional<syncer::binding> kept;
            for (const syncer::binding& stored : change.found) {
                if (change.wanted && !kept && is_same_choice(stored, *change.wanted)) {
                    kept = stored;
                    continue;
                }
                table.remove_binding(stored);
            }
            if (change.wanted && !kept) table.add_binding(*change.wanted);
            written.push_back(kept            ? std::vector{*kept}
                              : change.wanted ? std::vector{*change.wanted}
                                              : std::vector<syncer::binding>{});
        }
        table.save();
    } catch (...) {
        // Nothing of a failed change reaches the file.
        table.discard_changes();
        throw;
    }
    return written;
}

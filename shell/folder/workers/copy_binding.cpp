#include "folder/workers/copy_binding.h"

#include "folder/module/failure_text.h"
#include "folder/module/folder_session.h"
#include "folder/module/site_message_box.h"
#include "folder/transfer/data_object_impl.h"
#include "folder/workers/open_files.h"
#include "syncer/tables/binding_manager.h"
#include "syncer/tables/items_manager.h"
#include "vfs/exceptions.h"

namespace {

using permission = syncer::sync_permission;

// Only overwriting the remote file from the copy is allowed; a copy whose
// changes cannot go back is allowed nothing.
syncer::sync_rule rule_of(const copy_binding& copy) {
    const permission overwrite = copy.sends_changes ? permission::yes : permission::no;
    return syncer::sync_rule({permission::no, permission::no, overwrite, permission::no,
                              permission::no, permission::no, permission::no, permission::no});
}

// The key of the copy's one record in its binding's table.
syncer::sync_item record_key(const syncer::binding& stored) {
    return syncer::sync_item(stored.dir_remote, stored.dir_local, stored.filename);
}

// The binding's table learns what both sides held when they last agreed.
void tell_engine(const syncer::binding& stored, const std::wstring& user, const opened_copy& agreed,
                 const std::wstring& remote_folder_id) {
    syncer::items_manager table(stored, user);
    if (!remote_folder_id.empty()) table.set_remote_root(remote_folder_id);
    const auto record = table.insert(record_key(stored)).first;
    record->last_time_remote = agreed.remote.date;
    record->last_time_local = agreed.local.last_write_time();
    record->local_file = agreed.local;
    record->remote_size = agreed.remote.size;
    const bool same = agreed.local.last_write_time() == agreed.remote.date &&
                      agreed.local.size == agreed.remote.size;
    if (same) record->synced_time = agreed.remote.date;
    record->local_record = same ? syncer::recorded_local::synced : syncer::recorded_local::seen;
    table.save();
}

}  // namespace

bool sent_as_it_is(const std::wstring& user_name, const copy_binding& binding,
                   const syncer::local_file_state& copy, const opened_copy& record) {
    const syncer::binding_manager bindings(user_name, true);
    const std::optional<syncer::binding> stored = bindings.find_binding_by_paths(
        binding.remote_folder, binding.local_folder, binding.file_name);
    if (!stored || stored->_type != syncer::binding::type_open_copy) return false;
    const syncer::items_manager table(*stored, user_name);
    const auto found = table.find(record_key(*stored));
    if (found == table.end() || found->synced_time == syncer::missing_time ||
        found->synced_time == record.remote.date)
        return false;
    // The engine keeps the state the copy had when it was sent; a table of
    // an earlier version keeps only its time.
    return found->local_record == syncer::recorded_local::synced
               ? copy.unchanged_from(found->local_file)
               : found->synced_time == copy.last_write_time();
}

void CDataObjectImpl::_CreateTempBinding(HWND hwnd, IProgressDialog* dialog,
                                         const copy_binding& copy) {
    try {
        folder_session& session = current_folder_session();
        if (!session.is_logged_in()) throw open_failure(L"Not logged in");
        const std::wstring user = session.get_user_info().user_name;
        syncer::binding_manager table(user, true);
        syncer::binding made(copy.remote_folder, copy.local_folder, copy.file_name, L"");
        made._type = syncer::binding::type_open_copy;
        made._mode = 2;
        made.can_recourse_subdirs = permission::not_set;
        made.rule = rule_of(copy);
        if (const auto same = table.find_binding_by_paths(copy.remote_folder, copy.local_folder,
                                                          copy.file_name)) {
            // The user synchronises these paths already: their binding
            // uploads the edits, and it is theirs to keep.
            if (same->_type != syncer::binding::type_open_copy) return;
            table.remove_binding_by_paths(copy.remote_folder, copy.local_folder, copy.file_name);
        }
        table.add_binding(made);
        // Before the table is saved: the engine never sees the binding
        // without what its table is to know.
        if (copy.agreed)
            tell_engine(
                *table.find_binding_by_paths(copy.remote_folder, copy.local_folder, copy.file_name),
                user, *copy.agreed, copy.remote_folder_id);
        table.save();
    } catch (const vfs::exception& failure) {
        shell_utils::MessageBoxWithSite(hwnd, dialog, failure.get_title().c_str(),
                                        failure.get_text().c_str(), MB_OK | MB_ICONERROR);
    } catch (const std::exception&) {
        const failure_text failure = current_failure();
        shell_utils::MessageBoxWithSite(hwnd, dialog, L"Error", failure.text.c_str(),
                                        MB_OK | MB_ICONERROR);
    } catch (...) {
        shell_utils::MessageBoxWithSite(hwnd, dialog, L"Internal error",
                                        L"Unknown error in CDataObjectImpl::_CreateTempBinding()",
                                        MB_OK | MB_ICONERROR);
    }
}

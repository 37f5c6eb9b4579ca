#include "syncer/tables/locked_operations.h"

#include "syncer/tables/binding_manager.h"

namespace syncer {

binding_set locked_get_bindings(const std::wstring& user_name) {
    return binding_manager(user_name, true).get_bindings();
}

binding_set get_bindings_of_user(const std::wstring& user_name) {
    return locked_get_bindings(user_name);
}

bool locked_has_binding(const std::wstring& user_name, const binding& wanted) {
    return binding_manager(user_name, true).get_bindings().contains(wanted);
}

void locked_add_binding(const std::wstring& user_name, const binding& added) {
    binding_manager table(user_name, true);
    table.add_binding(added);
    table.save();
}

void locked_remove_binding(const std::wstring& user_name, const binding& removed) {
    binding_manager table(user_name, true);
    table.remove_binding(removed);
    table.save();
}

void locked_reset_force_sync_once(const std::wstring& user_name, const binding& target) {
    binding_manager table(user_name, true);
    table.reset_force_sync_once(target);
    table.save();
}

void locked_set_recurse_permission(const std::wstring& user_name, const binding& target,
                                   sync_permission permission) {
    binding_manager table(user_name, true);
    table.update_binding(target, &binding::can_recourse_subdirs, permission);
    table.save();
}

}  // namespace syncer

// Short uses of a user's binding table. Each opens the table (waiting for its
// named mutex and reading the file as it is now), does one thing, saves what
// it changed and closes the table before returning. Errors pass on; a file
// that does not parse is not repaired here.
#pragma once

#include <string>

#include "syncer/core/binding.h"

namespace syncer {

binding_set locked_get_bindings(const std::wstring& user_name);
// The same, under the name the shell extension's pages use.
binding_set get_bindings_of_user(const std::wstring& user_name);
bool locked_has_binding(const std::wstring& user_name, const binding& wanted);
void locked_add_binding(const std::wstring& user_name, const binding& added);
void locked_remove_binding(const std::wstring& user_name, const binding& removed);
void locked_reset_force_sync_once(const std::wstring& user_name, const binding& target);
void locked_set_recurse_permission(const std::wstring& user_name, const binding& target,
                                   sync_permission permission);

}  // namespace syncer

// Creating an account at the service (the sign-up of the login dialog). It
// needs no session: the request goes out on a request client of its own.
#pragma once

#include <string>

#include "vfs/http_client.h"

namespace vfs_calvimora {

// Fetches the service's script prefix on a new request client, then sends
// new_profile on it. Failures throw vfs::exception.
bool create_new_profile(const std::wstring& user_name, const std::wstring& password,
                        const std::wstring& verify_password, const std::wstring& email,
                        const std::wstring& first_name, const std::wstring& last_name);

// Posts "new_profile" to "/cm_profile.php" under the requester's prefix. An
// "Error" record of type 1 (the name is taken) throws
// vfs::item_already_exists_exception, any other a vfs::exception, each with
// the record's name as title and description as text. Returns true.
bool new_profile(const http_client& requester, const std::wstring& user_name,
                 const std::wstring& password, const std::wstring& verify_password,
                 const std::wstring& email, const std::wstring& first_name,
                 const std::wstring& last_name);

}  // namespace vfs_calvimora

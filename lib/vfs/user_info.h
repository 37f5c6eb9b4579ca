// The user of a service session: five texts from the login reply. Its image
// shared by every process of the log-on session is the 544-byte user record
// (vfs/shared_user_record.h).
#pragma once

#include <string>

namespace vfs {

struct user_info {
    std::wstring user_id;    // UserID
    std::wstring access_id;  // UserAccessID, empty for an ordinary account
    std::wstring user_name;  // UserName
    std::wstring language;   // UserLang
    std::wstring level;      // UserLevel

    bool operator==(const user_info&) const = default;
};

}  // namespace vfs

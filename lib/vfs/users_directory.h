// A users folder: a folder that exists only in the client and lists the
// folders that one other user shares with the logged-in user, each the top
// folder of its share.
#pragma once

#include <string>

#include "vfs/fixed_directory.h"

namespace vfs_calvimora {

class users_directory : public client_only_directory {
public:
    // Named after the sharing user. Its id is "dir_ud_" followed by that
    // user's id rather than the name: two sharing users may have the same
    // name, and lookups by id must tell their folders apart.
    users_directory(const client& session, std::wstring user_id, const std::wstring& user_name);

    // "list_shared_directories" for the kept user: one shared folder per
    // share, each its own top folder.
    vfs::item_list list_items() override;

private:
    const std::wstring user_id_;
};

}  // namespace vfs_calvimora

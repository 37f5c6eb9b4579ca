// The shared-folders container: a folder that exists only in the client and
// lists one users folder per user who shares folders with the logged-in
// user.
#pragma once

#include "vfs/fixed_directory.h"

namespace vfs_calvimora {

class shared_folders_container : public client_only_directory {
public:
    explicit shared_folders_container(const client& session);

    // "list_shared_users": one users folder per sharing user. The
    // has-subfolders flag stays set.
    vfs::item_list list_items() override;
};

}  // namespace vfs_calvimora

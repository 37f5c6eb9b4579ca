// The two folders that exist only in the client and that the root listing
// adds after the user's own items: the shared-folders container (listing
// one folder per user who shares folders with this user) and the trash.
// Each root listing builds new ones with the root's session.
#pragma once

#include "vfs/calvimora_client.h"
#include "vfs/item.h"

namespace vfs_calvimora {

// An empty pointer leaves the folder out of the root listing.
vfs::item_ptr make_shared_folders_container(const client& session);
vfs::item_ptr make_trash_directory(const client& session);

}  // namespace vfs_calvimora

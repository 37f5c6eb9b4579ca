// The trash: a folder that exists only in the client and lists what the
// user moved to the service's trash. Its children are ordinary own folders
// and files; each is put back by its own restore and removed for good by the
// trash's delete_item.
#pragma once

#include "vfs/fixed_directory.h"

namespace vfs_calvimora {

class trash_directory : public client_only_directory {
public:
    explicit trash_directory(const client& session);

    // "list_trash_dir": the deleted folders, then the deleted files.
    vfs::item_list list_items() override;
};

}  // namespace vfs_calvimora

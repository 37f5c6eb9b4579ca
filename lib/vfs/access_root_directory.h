// The root of an access session (a session whose account has an access id):
// it lists only the folders opened to the account, each the top folder of
// its own access tree, and neither files nor the trash nor the
// shared-folders container. Its requests address the server folder "0" and
// carry no access folder id.
#pragma once

#include "vfs/fixed_directory.h"

namespace vfs_calvimora {

class access_root_directory : public fixed_directory {
public:
    explicit access_root_directory(const client& session);

protected:
    // Each listed folder is its own top folder; files are left out.
    vfs::item_ptr make_child_directory(const directory_record& record) override;
    vfs::item_ptr make_child_file(const file_record& record) override;
};

}  // namespace vfs_calvimora

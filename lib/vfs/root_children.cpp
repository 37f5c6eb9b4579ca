#include "vfs/root_children.h"

#include <boost/make_shared.hpp>

#include "vfs/shared_folders_container.h"
#include "vfs/trash_directory.h"

namespace vfs_calvimora {

vfs::item_ptr make_shared_folders_container(const client& session) {
    return boost::make_shared<shared_folders_container>(session);
}

vfs::item_ptr make_trash_directory(const client& session) {
    return boost::make_shared<trash_directory>(session);
}

}  // namespace vfs_calvimora

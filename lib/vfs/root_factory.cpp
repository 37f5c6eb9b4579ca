#include <boost/make_shared.hpp>

#include "vfs/access_root_directory.h"
#include "vfs/calvimora_client.h"
#include "vfs/root_directory.h"

namespace vfs_calvimora {

vfs::directory_ptr make_root_directory(const client& session) {
    client root_session(session);
    if (root_session.get_user_info().access_id.empty()) {
        return boost::make_shared<root_directory>(root_session);
    }
    return boost::make_shared<access_root_directory>(root_session);
}

}  // namespace vfs_calvimora

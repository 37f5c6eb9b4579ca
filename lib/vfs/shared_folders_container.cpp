#include "vfs/shared_folders_container.h"

#include <boost/make_shared.hpp>

#include "vfs/users_directory.h"

namespace vfs_calvimora {

shared_folders_container::shared_folders_container(const client& session)
    : client_only_directory(session, record_named(L"Shared Folders", true),
                            L"dir_shared_folders_container", vfs::folder_type_shared_container) {}

vfs::item_list shared_folders_container::list_items() {
    const response_node reply = session().call_cm_operations({{L"action", L"list_shared_users"}});
    vfs::item_list children;
    for (const response_node& record : children_by_name(reply, L"UserSharedFolder")) {
        children.push_back(boost::make_shared<users_directory>(
            session(), find_child_text(record, L"UserID"), find_child_text(record, L"Name")));
    }
    store_children(children);
    return children;
}

}  // namespace vfs_calvimora

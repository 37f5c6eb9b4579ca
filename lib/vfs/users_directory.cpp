#include "vfs/users_directory.h"

#include <boost/make_shared.hpp>

#include "vfs/shared_directory.h"

namespace vfs_calvimora {

users_directory::users_directory(const client& session, std::wstring user_id,
                                 const std::wstring& user_name)
    : client_only_directory(session, record_named(user_name, true), L"dir_ud_" + user_id,
                            vfs::folder_type_users),
      user_id_(std::move(user_id)) {}

vfs::item_list users_directory::list_items() {
    const response_node reply = session().call_cm_operations(
        {{L"action", L"list_shared_directories"}, {L"share_user_id", user_id_}});
    vfs::item_list children;
    for (const response_node& element : children_by_name(reply, L"SharedDirectory")) {
        // The top folder of a share: shared by definition, and neither
        // renamed nor deleted by the user it is shared with.
        directory_record record = read_directory_record(element);
        record.is_renameable = false;
        record.is_deleteable = false;
        record.shared = true;
        record.date_deleted = 0;
        const std::wstring share_id = record.id;
        children.push_back(
            boost::make_shared<shared_directory>(session(), user_id_, share_id, record));
    }
    store_children(children, !children.empty());
    return children;
}

}  // namespace vfs_calvimora

#include "vfs/trash_directory.h"

namespace vfs_calvimora {

trash_directory::trash_directory(const client& session)
    : client_only_directory(session, record_named(L"Trash", false), L"dir_trash",
                            vfs::folder_type_trash) {}

vfs::item_list trash_directory::list_items() {
    const response_node reply = session().call_cm_operations({{L"action", L"list_trash_dir"}});
    vfs::item_list children;
    for (const response_node& record : children_by_name(reply, L"Directory")) {
        children.push_back(directory::make_child_directory(read_directory_record(record)));
    }
    const bool has_folders = !children.empty();
    for (const response_node& record : children_by_name(reply, L"File")) {
        children.push_back(directory::make_child_file(read_file_record(record)));
    }
    store_children(children, has_folders);
    return children;
}

}  // namespace vfs_calvimora

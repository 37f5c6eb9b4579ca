#include "vfs/root_directory.h"

#include "vfs/root_children.h"

namespace vfs_calvimora {

namespace {

directory_record root_record() {
    directory_record record;
    record.id = L"0";
    return record;
}

}  // namespace

root_directory::root_directory(const client& session) : directory(session, root_record()) {}

std::wstring root_directory::get_id() {
    return L"dir_root";
}

std::wstring root_directory::get_path() {
    return std::wstring();
}

vfs::item_list root_directory::list_items() {
    const response_node answer = session().call_cm_operations({{L"action", L"has_share_folders"}});
    // Only line feeds are trimmed: "True " does not count.
    const bool has_shared_folders = trim_char(answer.text, L'\n') == L"True";

    vfs::item_list children = directory::list_items();
    if (has_shared_folders) {
        if (vfs::item_ptr container = make_shared_folders_container()) {
            children.push_back(std::move(container));
        }
    }
    if (vfs::item_ptr trash = make_trash_directory()) {
        children.push_back(std::move(trash));
    }
    store_children(children);
    return children;
}

bool root_directory::is_plain_directory() {
    return false;
}

bool root_directory::is_fixed_folder() {
    return true;
}

int root_directory::get_folder_type() {
    return vfs::folder_type_root;
}

void root_directory::set_folder_type(int /*code*/) {}

vfs::item_ptr root_directory::make_shared_folders_container() {
    return vfs_calvimora::make_shared_folders_container(session());
}

vfs::item_ptr root_directory::make_trash_directory() {
    return vfs_calvimora::make_trash_directory(session());
}

}  // namespace vfs_calvimora

// The top folder of an ordinary session: an own folder with the server id
// "0" and a fixed identity, whose listing adds the shared-folders container
// (when other users share folders with this user) and the trash after the
// user's own folders and files.
#pragma once

#include "vfs/calvimora_directory.h"

namespace vfs_calvimora {

class root_directory : public directory {
public:
    explicit root_directory(const client& session);

    std::wstring get_id() override;    // "dir_root"
    std::wstring get_path() override;  // empty, without a request
    vfs::item_list list_items() override;
    bool is_plain_directory() override;
    bool is_fixed_folder() override;
    int get_folder_type() override;
    void set_folder_type(int code) override;

protected:
    bool scans_by_records() const override { return false; }
    // The special folders a listing appends (root_children.h); a test
    // puts its own in their place.
    virtual vfs::item_ptr make_shared_folders_container();
    virtual vfs::item_ptr make_trash_directory();
};

}  // namespace vfs_calvimora

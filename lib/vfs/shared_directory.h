// A folder that another user shares with the logged-in user: the top folder
// of a share, as a users folder lists it, or any folder below it. It works
// like an own folder, and every request about it or its children also names
// the share by the sharing user's id and the top folder's server id.
#pragma once

#include <string>

#include "vfs/calvimora_directory.h"

namespace vfs_calvimora {

class shared_directory : public directory {
public:
    shared_directory(const client& session, std::wstring share_user_id, std::wstring share_id,
                     const directory_record& record);

    bool is_plain_directory() override;  // false
    // True for the top folder of the share: its server id is the share id.
    bool is_fixed_folder() override;
    int get_folder_type() override;           // 0
    void set_folder_type(int code) override;  // no effect
    // The lookup after "create_dir" reports its own failure unchanged; a
    // child of that name that is not a folder throws ("Error creating
    // directory", ...).
    vfs::item_ptr create_directory(const std::wstring& name) override;
    // "dst_dir_id" with the share's "dst_share_user_id" and "dst_share_id".
    request_parameters add_destination_params() override;

protected:
    void add_location_params(request_parameters& parameters) override;
    // Folders and files of the same share; a listing inside a share says
    // nothing of the children's own sharing or trash dates.
    vfs::item_ptr make_child_directory(const directory_record& record) override;
    vfs::item_ptr make_child_file(const file_record& record) override;

private:
    const std::wstring share_user_id_;
    const std::wstring share_id_;
};

}  // namespace vfs_calvimora

// A folder reached through an access session: a top folder opened to the
// account, as the access root lists it, or any folder below one. It works
// like an own folder, and every request about it or its children also
// carries the top folder's server id as "access_dir_id".
#pragma once

#include <string>

#include "vfs/calvimora_directory.h"

namespace vfs_calvimora {

class access_directory : public directory {
public:
    access_directory(const client& session, std::wstring access_dir_id,
                     const directory_record& record);

    bool is_plain_directory() override;  // false
    // True for a top folder: its server id is its access folder id.
    bool is_fixed_folder() override;
    int get_folder_type() override;           // 0
    void set_folder_type(int code) override;  // no effect
    // The lookup after "create_dir" reports its own failure unchanged; a
    // child of that name that is not a folder throws ("Error creating
    // directory", ...).
    vfs::item_ptr create_directory(const std::wstring& name) override;
    // "dst_dir_id" with "dst_access_dir_id".
    request_parameters add_destination_params() override;

    const std::wstring& get_access_dir_id() const { return access_dir_id_; }

protected:
    void add_location_params(request_parameters& parameters) override;
    // Folders and files below the same top folder; a listing inside an
    // access tree says nothing of the children's sharing or trash dates.
    vfs::item_ptr make_child_directory(const directory_record& record) override;
    vfs::item_ptr make_child_file(const file_record& record) override;

private:
    const std::wstring access_dir_id_;
};

}  // namespace vfs_calvimora

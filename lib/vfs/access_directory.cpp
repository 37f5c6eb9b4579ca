#include "vfs/access_directory.h"

#include <boost/make_shared.hpp>
#include <boost/pointer_cast.hpp>

#include "vfs/access_file.h"
#include "vfs/calvimora_exception.h"

namespace vfs_calvimora {

access_directory::access_directory(const client& session, std::wstring access_dir_id,
                                   const directory_record& record)
    : directory(session, record), access_dir_id_(std::move(access_dir_id)) {}

bool access_directory::is_plain_directory() {
    return false;
}

bool access_directory::is_fixed_folder() {
    return get_server_id() == access_dir_id_;
}

int access_directory::get_folder_type() {
    return vfs::folder_type_shared;
}

void access_directory::set_folder_type(int /*code*/) {}

void access_directory::add_location_params(request_parameters& parameters) {
    parameters[L"access_dir_id"] = access_dir_id_;
}

request_parameters access_directory::add_destination_params() {
    request_parameters parameters = directory::add_destination_params();
    parameters[L"dst_access_dir_id"] = access_dir_id_;
    return parameters;
}

vfs::item_ptr access_directory::make_child_directory(const directory_record& record) {
    directory_record child = record;
    child.shared = false;
    child.date_deleted = 0;
    return boost::make_shared<access_directory>(session(), access_dir_id_, child);
}

vfs::item_ptr access_directory::make_child_file(const file_record& record) {
    file_record child = record;
    child.date_deleted = 0;
    return boost::make_shared<access_file>(session(), access_dir_id_, child, 0, std::wstring());
}

vfs::item_ptr access_directory::create_directory(const std::wstring& name) {
    // The listing this lookup makes builds the new folder below the same
    // top folder.
    return create_and_find_directory(name, false);
}

}  // namespace vfs_calvimora

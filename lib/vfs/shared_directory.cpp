#include "vfs/shared_directory.h"

#include <boost/make_shared.hpp>
#include <boost/pointer_cast.hpp>

#include "vfs/calvimora_exception.h"
#include "vfs/shared_file.h"

namespace vfs_calvimora {

shared_directory::shared_directory(const client& session, std::wstring share_user_id,
                                   std::wstring share_id, const directory_record& record)
    : directory(session, record),
      share_user_id_(std::move(share_user_id)),
      share_id_(std::move(share_id)) {}

bool shared_directory::is_plain_directory() {
    return false;
}

bool shared_directory::is_fixed_folder() {
    return get_server_id() == share_id_;
}

int shared_directory::get_folder_type() {
    return vfs::folder_type_shared;
}

void shared_directory::set_folder_type(int /*code*/) {}

void shared_directory::add_location_params(request_parameters& parameters) {
    parameters[L"share_user_id"] = share_user_id_;
    parameters[L"share_id"] = share_id_;
}

request_parameters shared_directory::add_destination_params() {
    request_parameters parameters = directory::add_destination_params();
    parameters[L"dst_share_user_id"] = share_user_id_;
    parameters[L"dst_share_id"] = share_id_;
    return parameters;
}

vfs::item_ptr shared_directory::make_child_directory(const directory_record& record) {
    directory_record child = record;
    child.shared = false;
    child.date_deleted = 0;
    return boost::make_shared<shared_directory>(session(), share_user_id_, share_id_, child);
}

vfs::item_ptr shared_directory::make_child_file(const file_record& record) {
    file_record child = record;
    child.date_deleted = 0;
    return boost::make_shared<shared_file>(session(), share_user_id_, share_id_, child, 0,
                                           std::wstring());
}

vfs::item_ptr shared_directory::create_directory(const std::wstring& name) {
    // The listing this lookup makes builds the new folder inside the share.
    return create_and_find_directory(name, false);
}

}  // namespace vfs_calvimora

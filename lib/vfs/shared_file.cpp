#include "vfs/shared_file.h"

namespace vfs_calvimora {

shared_file::shared_file(const client& session, std::wstring share_user_id, std::wstring share_id,
                         const file_record& record, int mode, const std::wstring& temp_location)
    : file(session, record, mode, temp_location),
      share_user_id_(std::move(share_user_id)),
      share_id_(std::move(share_id)) {}

void shared_file::add_location_params(request_parameters& parameters) {
    parameters[L"share_user_id"] = share_user_id_;
    parameters[L"share_id"] = share_id_;
}

void shared_file::add_source_params(request_parameters& parameters) {
    parameters[L"src_share_user_id"] = share_user_id_;
    parameters[L"src_share_id"] = share_id_;
}

std::wstring shared_file::thumbnail_shared_user_id() {
    return share_user_id_;
}

}  // namespace vfs_calvimora

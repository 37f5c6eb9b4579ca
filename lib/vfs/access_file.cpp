#include "vfs/access_file.h"

namespace vfs_calvimora {

access_file::access_file(const client& session, std::wstring access_dir_id,
                         const file_record& record, int mode, const std::wstring& temp_location)
    : file(session, record, mode, temp_location), access_dir_id_(std::move(access_dir_id)) {}

void access_file::add_location_params(request_parameters& parameters) {
    parameters[L"access_dir_id"] = access_dir_id_;
}

void access_file::add_source_params(request_parameters& parameters) {
    parameters[L"src_access_dir_id"] = access_dir_id_;
}

}  // namespace vfs_calvimora

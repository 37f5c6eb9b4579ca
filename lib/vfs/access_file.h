// A file inside an access folder. It works like an own file, and every
// request about it also carries the top folder's server id as
// "access_dir_id".
#pragma once

#include <string>

#include "vfs/calvimora_file.h"

namespace vfs_calvimora {

class access_file : public file {
public:
    access_file(const client& session, std::wstring access_dir_id, const file_record& record,
                int mode, const std::wstring& temp_location);

protected:
    void add_location_params(request_parameters& parameters) override;
    // "src_access_dir_id" of a copy or move.
    void add_source_params(request_parameters& parameters) override;

private:
    const std::wstring access_dir_id_;
};

}  // namespace vfs_calvimora

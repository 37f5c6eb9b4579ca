// A file inside a folder that another user shares with the logged-in user.
// It works like an own file, and every request about it also names the
// share by the sharing user's id and the top folder's server id; its
// thumbnail is asked for in the sharing user's name.
#pragma once

#include <string>

#include "vfs/calvimora_file.h"

namespace vfs_calvimora {

class shared_file : public file {
public:
    shared_file(const client& session, std::wstring share_user_id, std::wstring share_id,
                const file_record& record, int mode, const std::wstring& temp_location);

protected:
    void add_location_params(request_parameters& parameters) override;
    // "src_share_user_id" and "src_share_id" of a copy or move.
    void add_source_params(request_parameters& parameters) override;
    std::wstring thumbnail_shared_user_id() override;

private:
    const std::wstring share_user_id_;
    const std::wstring share_id_;
};

}  // namespace vfs_calvimora

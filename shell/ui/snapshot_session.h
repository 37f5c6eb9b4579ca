// The session of the snapshot programs: logged in to the stand-in service
// with a client of their own, never asking for a login.
#pragma once

#include "folder/module/folder_session.h"

class snapshot_session final : public folder_session {
public:
    explicit snapshot_session(vfs::client_ptr client) : client_(std::move(client)) {}
    bool is_logged_in() override { return true; }
    vfs::client_ptr get_client() override { return client_; }
    vfs::user_info get_user_info() override { return client_->get_user_info(); }
    bool log_in_with_dialog(HWND) override { return false; }

private:
    vfs::client_ptr client_;
};

// Where the folder object gets the log-on session from: the remote storage
// client's session functions and the login dialog. Tests put a scripted
// session in its place.
#pragma once

#include "vfs/client.h"
#include "vfs/user_info.h"
#include "win/user_types.h"

class folder_session {
public:
    virtual ~folder_session() = default;

    // Whether somebody is logged in (starts the tray program when missing);
    // may throw.
    virtual bool is_logged_in() = 0;
    // The process's current session; throws when there is none.
    virtual vfs::client_ptr get_client() = 0;
    // The session's user; throws when nobody is logged in.
    virtual vfs::user_info get_user_info() = 0;
    // Shows the login dialog modally; true when it ended with a log-in.
    virtual bool log_in_with_dialog(HWND owner) = 0;
};

// The session the folder objects of this process use.
folder_session& current_folder_session();
// Replaces it (null restores the real one); for tests.
void replace_folder_session(folder_session* session);

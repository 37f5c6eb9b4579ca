// The names a file travels under while it is uploaded or replaced, and the
// repair of what a host killed half-way left behind.
//
// A new file is uploaded under a name of its own and renamed to its real
// name only once the service committed all of it; a file it replaces is set
// aside as "~NAME.replaced" for that rename and removed after it. A host
// killed between those steps leaves the set-aside file alone in the folder
// (the original name free: it is put back) or beside the new file (the
// replace had completed: it goes to the trash). A host killed while it sent
// a file leaves the file under its own name: once no host of the log-on
// session sends it any more, it goes to the trash.
#pragma once

#include <string>

#include "vfs/directory.h"

namespace shell_upload {

// "~NAME.replaced".
std::wstring set_aside_name(const std::wstring& name);

// "~NAME.XXXXXXXX.uploading" with eight hexadecimal digits drawn anew for
// each call, so that two uploads of one name never meet; a long name is
// cut so that the result stays within the service's 255 characters.
std::wstring upload_name(const std::wstring& name);

// The eight hexadecimal digits of an upload name; empty for any other name
// (names come from the service and, in shared folders, from other users).
std::wstring upload_token(const std::wstring& name);

// Marks a set-aside file of this process's own replace as busy for the
// life of the object, so that a repair on another thread leaves it alone
// while the replace runs.
class set_aside_in_progress {
public:
    set_aside_in_progress(vfs::directory& folder, const std::wstring& set_aside);
    ~set_aside_in_progress();
    set_aside_in_progress(const set_aside_in_progress&) = delete;
    set_aside_in_progress& operator=(const set_aside_in_progress&) = delete;

private:
    std::wstring folder_id_;
    std::wstring name_;
};

// Tells every host of the log-on session, for the life of the object, that
// this process still sends the file of that upload name into the folder.
class upload_in_progress {
public:
    upload_in_progress(vfs::directory& folder, const std::wstring& upload_name);
    ~upload_in_progress();
    upload_in_progress(const upload_in_progress&) = delete;
    upload_in_progress& operator=(const upload_in_progress&) = delete;

private:
    void* marker_ = nullptr;
};

// Repairs the set-aside files among the folder's listed children: one whose
// original name is free is renamed back to it, one beside a file of its
// original name is moved to the trash. In the user's own folders, a file
// under an upload name that no host of the session still sends is moved to
// the trash (another user's folder may receive uploads of theirs). Failures
// leave the file for the next time. True when something was changed (the
// caller lists again).
bool repair_set_asides(vfs::directory& folder, const vfs::item_list& children);

}  // namespace shell_upload

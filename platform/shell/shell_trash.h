// The two ways SHFileOperationW deletes one item: into the desktop's trash
// (the freedesktop layout under win_machine::trash_dir()), or for good.
#pragma once

#include <string>

namespace win_shell {

// Moves the item at the full native path (a file, a link or a folder with
// everything in it) into the trash under a name no entry there has, after
// its "info/<name>.trashinfo" record is written. On another file system
// than the trash the item is copied in whole (times and modes kept) and
// then deleted. Returns 0 or SHFileOperationW's result code; on failure the
// item stays where it was and no record is left.
int move_to_trash(const std::string& native);

// Deletes the item at the native path for good, a folder with everything
// in it. Returns 0 or SHFileOperationW's result code.
int delete_for_good(const std::string& native);

}  // namespace win_shell

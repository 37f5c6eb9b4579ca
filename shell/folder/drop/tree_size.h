// The total size of the files below a dropped folder, for the progress of
// its upload.
#pragma once

#include <cstdint>

#include "folder/adapters/dropped_items.h"

namespace shell_utils {

// Every file below the folder, subfolders walked; single_file ends true
// only for a tree of at most one file and no subfolder. All bits set when
// an item claims to be a folder or a file and is not one. A file of unknown
// (negative) size counts as 0. Failures of the listings throw.
std::uint64_t GetTreeSize(const dropped_folder_ptr& directory, bool& single_file);

}  // namespace shell_utils

// Walking a folder path down from a root folder.
#pragma once

#include <string>

#include "vfs/directory.h"

namespace vfs_calvimora {

// The folder at the path below root; "\" and "/" both separate, empty
// elements are skipped. Each element is looked up by name (from the folder's
// cache when it has one); a missing one is created when create is set, and
// otherwise its vfs::item_not_found_exception propagates. An element that is
// a file throws ("Directory not found and can not be created", "File system
// error: directory '<path>' not found and can not be created").
vfs::directory_ptr walk_directory_path(vfs::directory_ptr root, const std::wstring& path,
                                       bool create);

}  // namespace vfs_calvimora

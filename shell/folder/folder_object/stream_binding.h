// The stream over a remote file that binding an item to IStream hands out.
#pragma once

#include "vfs/file.h"
#include "win/com.h"

// A new stream over the file, answered for iid into *object.
HRESULT create_file_stream(const vfs::file_ptr& file, REFIID iid, void** object);

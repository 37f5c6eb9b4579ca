// A folder that can list its children for a scan of its tree without an
// object per file: a scan only compares a file's name, date, size and id,
// and the objects of thousands of files would be made and freed at once.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "vfs/directory.h"

namespace vfs {

// One child as list_items would give it: a folder with its object, or a
// file with what its object would answer.
struct scanned_child {
    std::wstring name;
    directory_ptr folder;  // null for a file
    std::int64_t modification_date = no_date;
    std::int64_t size = 0;
    std::string id;  // the file's get_id(), UTF-8
};

class scan_lister {
public:
    virtual ~scan_lister() = default;
    // The children in list_items' order, from one listing request; nothing
    // where this folder lists its children only by list_items. Nothing of
    // the listing is kept for get_item.
    virtual std::optional<std::vector<scanned_child>> list_for_scan() = 0;
};

}  // namespace vfs

// One logged-in session of the service, as the rest of the system sees it.
#pragma once

#include <boost/shared_ptr.hpp>
#include <cstdint>
#include <string>
#include <vector>

#include "vfs/directory.h"
#include "vfs/file.h"
#include "vfs/user_info.h"

namespace vfs {

struct notification {
    std::wstring title;  // Title
    std::wstring text;   // Text
    std::wstring link;   // URL
};

// Byte counts of the user's storage.
struct storage_info {
    std::int64_t capacity = 0;
    std::int64_t space_used = 0;
    std::int64_t space_free = 0;
};

// Setting types: 0 text, 1 integer, 2 real.
struct pro_setting {
    std::wstring name;
    std::wstring value;
    int type = 0;
};

class client {
public:
    virtual user_info get_user_info() = 0;
    // The same root object on every call.
    virtual directory_ptr get_root_directory() = 0;
    // The folder at a "\" or "/" separated path below the root; missing
    // folders are created on the way when create is set.
    virtual directory_ptr get_item_by_path(const std::wstring& path, bool create) = 0;
    // A handle on a file seen in an earlier listing, addressed by the id the
    // listing gave, built without a request: its name, size and date are
    // those of the listing, not checked. Opening it is the first request and
    // fails when the file is gone. Null when the session cannot address
    // files by id alone; the caller then looks the file up in its folder.
    virtual file_ptr get_file_by_id(const std::wstring& id, const std::wstring& name,
                                    std::int64_t size, std::int64_t date) {
        (void)id;
        (void)name;
        (void)size;
        (void)date;
        return nullptr;
    }
    virtual std::vector<notification> get_user_notifications() = 0;
    virtual storage_info get_storage_info() = 0;
    virtual std::vector<pro_setting> get_pro_settings() = 0;
    virtual void set_pro_setting(const std::wstring& name, float value) = 0;
    virtual void set_pro_setting(const std::wstring& name, int value) = 0;
    virtual void set_pro_setting(const std::wstring& name, const std::wstring& value) = 0;

    virtual ~client() = default;
};

typedef boost::shared_ptr<client> client_ptr;

}  // namespace vfs

// Anything in the remote tree. Items are always created as shared pointers
// of their concrete class and handed out as vfs::item_ptr; a directory or a
// file is reached through a dynamic pointer cast.
#pragma once

#include <boost/shared_ptr.hpp>
#include <cstdint>
#include <string>
#include <vector>

namespace vfs {

class item;
typedef boost::shared_ptr<item> item_ptr;
typedef std::vector<item_ptr> item_list;
typedef std::vector<unsigned char> byte_buffer;

// Results of item::get_type.
inline constexpr int item_type_directory = 1;
inline constexpr int item_type_file = 2;

// Access values of items and listing records.
inline constexpr int access_private = 0;
inline constexpr int access_public = 1;
inline constexpr int access_hidden = 2;

// Dates are seconds since 1970-01-01 UTC; this one means "not known".
inline constexpr std::int64_t no_date = -1;

// The operations are declared in a fixed order that every implementation
// follows. The destructor is virtual, so releasing an item through any
// pointer is safe.
class item {
public:
    virtual std::wstring get_name() = 0;
    virtual std::wstring get_id() = 0;
    virtual std::wstring get_path() = 0;
    virtual std::wstring get_description() = 0;
    virtual void set_description(const std::wstring& description) = 0;
    virtual int get_type() = 0;
    virtual byte_buffer get_thumbnail() = 0;
    virtual void set_access(int access) = 0;
    virtual int get_access() = 0;
    virtual std::wstring get_link() = 0;
    virtual std::int64_t get_creation_date() = 0;
    virtual std::int64_t get_delete_date() = 0;
    virtual void restore() = 0;

    virtual ~item() = default;
};

}  // namespace vfs

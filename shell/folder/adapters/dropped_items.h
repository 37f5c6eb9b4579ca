// Room folder/adapters, above folder/workers and below folder/drop (the
// order of the rooms: shell/CMakeLists.txt): what is dropped or pasted on
// the virtual folder, seen as a read-only tree that the upload of a dropped
// tree walks, whatever its kind: local files and folders (hdrop_items.h) or
// virtual files of a data object (fd_items.h).
//
// A dropped tree offers only what a copy source has: names, kinds, sizes,
// dates, the bytes of its files and the children of its folders. Remote
// items keep the vfs interfaces; nothing here is one.
#pragma once

#include <boost/shared_ptr.hpp>
#include <cstdint>
#include <string>
#include <vector>

#include "vfs/item.h"

class dropped_item {
public:
    virtual ~dropped_item() = default;

    virtual std::wstring get_name() = 0;
    // vfs::item_type_directory for a folder, vfs::item_type_file for a file.
    virtual int get_type() = 0;
};

typedef boost::shared_ptr<dropped_item> dropped_item_ptr;
typedef std::vector<dropped_item_ptr> dropped_item_list;

class dropped_folder : public dropped_item {
public:
    // The items one level below; failures throw vfs::exception.
    virtual dropped_item_list list_items() = 0;

    // Whether any item below is a folder.
    bool has_subdirectories();
    // The first item below whose name matches (exactly, unless the kind of
    // tree compares otherwise); throws vfs::item_not_found_exception.
    dropped_item_ptr get_item(const std::wstring& name);

protected:
    // The name the not-found failure gives for this folder.
    virtual std::wstring where() = 0;
    virtual bool same_name(const std::wstring& a, const std::wstring& b) { return a == b; }
};

typedef boost::shared_ptr<dropped_folder> dropped_folder_ptr;

class dropped_file : public dropped_item {
public:
    // In bytes, open or closed.
    virtual std::int64_t get_size() = 0;
    // Seconds since 1970, vfs::no_date when the data tells none.
    virtual std::int64_t get_modification_date() = 0;

    // open, any number of reads, close; open on an open file and read or
    // close on a closed one throw vfs::exception.
    virtual void open() = 0;
    // Up to length bytes; 0 at the end.
    virtual int read(void* buffer, int length) = 0;
    virtual void close() = 0;
    virtual bool is_open() = 0;
};

// A dropped file that stands for a file of the virtual folder itself (an
// item of the extension's own data object): the service copies or moves the
// remote file, no bytes are read.
class dropped_remote_file {
public:
    virtual ~dropped_remote_file() = default;
    virtual void copy(const vfs::item_ptr& destination, bool move) = 0;
};

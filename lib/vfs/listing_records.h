// The records of the service's listings, read into values: "Directory" (a
// folder), "File" (a file) and "ShareWithUser" (a user a folder is shared
// with). Every folder kind reads them alike. A missing element reads as an
// empty text, which gives 0 for numbers and false for flags.
#pragma once

#include <cstdint>
#include <string>

#include "vfs/directory.h"
#include "vfs/response_node.h"

namespace vfs_calvimora {

// A "Directory" record. Dates are seconds since 1970-01-01 UTC; 0 means no
// date (date_deleted 0: not in the trash).
struct directory_record {
    std::wstring id;  // the server id, without the "dir_" prefix
    std::wstring name;
    std::wstring description;
    std::wstring link;
    int access = 0;
    bool is_gallery = false;
    bool is_mp3 = false;
    bool is_home_folder = false;
    bool is_renameable = false;
    bool is_deleteable = false;
    bool has_subfolders = false;
    bool shared = false;
    std::int64_t date_created = 0;
    std::int64_t date_deleted = 0;

    bool operator==(const directory_record&) const = default;
};

// A "File" record, its twelve fields in the order the service defines them.
// Sizes in bytes, dates as in directory_record.
struct file_record {
    std::wstring id;  // the server id, also the file's get_id
    std::wstring name;
    std::wstring link;
    std::wstring direct_link;
    std::wstring location;  // where the contents lie on the transfer server
    std::wstring description;
    int access = 0;
    double price = 0;
    std::int64_t size = 0;
    std::int64_t date_accessed = 0;
    std::int64_t date_modified = 0;
    std::int64_t date_deleted = 0;

    bool operator==(const file_record&) const = default;
};

// A flag of a record is set only by the exact text "True".
bool read_flag(const std::wstring& text);

// A price: a decimal number read as far as it goes, whatever the process's
// locale; 0 for a text that does not start with one.
double read_price(const std::wstring& text);

directory_record read_directory_record(const response_node& record);
file_record read_file_record(const response_node& record);
vfs::directory::sharewith_item read_sharewith_record(const response_node& record);

}  // namespace vfs_calvimora

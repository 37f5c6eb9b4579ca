// A folder listing ("list_dir") read into its records. A listing of
// thousands of items is read straight from the reply's bytes: no reply tree,
// no decoding of the whole reply, only the record fields' texts made wide.
// Any reply that is not a plain listing (an error record, a damaged reply,
// escaped tag names, texts the quick reading would have to guess at) goes
// the generic way, parsed into a reply tree and checked as every reply is;
// either way gives the same records, or throws the same exception.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "vfs/listing_records.h"
#include "vfs/response_node.h"

namespace vfs_calvimora {

template <typename file_entry>
struct basic_listing {
    std::vector<directory_record> folders;
    std::vector<file_entry> files;

    bool operator==(const basic_listing&) const = default;
};

using listing = basic_listing<file_record>;

// What a scan of the tree reads of a file: the id as UTF-8, the date with
// 0 for none, as in file_record.
struct scanned_file {
    std::wstring name;
    std::string id;
    std::int64_t size = 0;
    std::int64_t date_modified = 0;

    bool operator==(const scanned_file&) const = default;
};

using scan_listing = basic_listing<scanned_file>;

scanned_file scanned(const file_record& record);

// The records of a checked reply tree: its "Directory" and "File" children
// that hold fields, each kind in document order.
listing read_listing(const response_node& reply);

// The records of a plain listing reply read from its bytes; nothing where
// the reply must be judged by the generic way.
std::optional<listing> read_plain_listing(std::string_view reply);

// The records of a listing reply: read_plain_listing, or else the reply
// decoded, parsed and checked (parse_operation_reply) and read_listing.
listing parse_listing_reply(std::string_view reply);

// The same for a scan: the files' other fields are not read.
std::optional<scan_listing> read_plain_scan_listing(std::string_view reply);
scan_listing parse_scan_listing_reply(std::string_view reply);

}  // namespace vfs_calvimora

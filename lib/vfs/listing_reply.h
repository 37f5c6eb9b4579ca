// A folder listing ("list_dir") read into its records. A listing of
// thousands of items is read straight from the reply's bytes: no reply tree,
// no decoding of the whole reply, only the record fields' texts made wide.
// Any reply that is not a plain listing (an error record, a damaged reply,
// escaped tag names, texts the quick reading would have to guess at) goes
// the generic way, parsed into a reply tree and checked as every reply is;
// either way gives the same records, or throws the same exception.
#pragma once

#include <optional>
#include <string_view>
#include <vector>

#include "vfs/listing_records.h"
#include "vfs/response_node.h"

namespace vfs_calvimora {

struct listing {
    std::vector<directory_record> folders;
    std::vector<file_record> files;

    bool operator==(const listing&) const = default;
};

// The records of a checked reply tree: its "Directory" and "File" children
// that hold fields, each kind in document order.
listing read_listing(const response_node& reply);

// The records of a plain listing reply read from its bytes; nothing where
// the reply must be judged by the generic way.
std::optional<listing> read_plain_listing(std::string_view reply);

// The records of a listing reply: read_plain_listing, or else the reply
// decoded, parsed and checked (parse_operation_reply) and read_listing.
listing parse_listing_reply(std::string_view reply);

}  // namespace vfs_calvimora

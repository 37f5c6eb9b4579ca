// A fingerprint of what an item table stores: 128 bits over every record
// that is written, in order. Two tables with the same fingerprint write the
// same file, so a table that is unchanged since it was read is not written
// again without keeping a second copy of it to compare with.
#pragma once

#include <cstdint>
#include <set>

#include "syncer/tables/sync_item.h"

namespace syncer {

struct table_fingerprint {
    std::uint64_t first = 0;
    std::uint64_t second = 0;

    bool operator==(const table_fingerprint&) const = default;
};

// Over the records with a time on either side (the others are not stored).
table_fingerprint fingerprint_of(const std::set<sync_item, sync_item::less>& records);

}  // namespace syncer

// What the engine may do on its own for a binding or one item: eight
// permissions, each not set (inherit, then ask the user), no or yes.
#pragma once

#include <array>
#include <cstdint>

#include "serializer/node.h"

namespace syncer {

// A byte each: every record of an item table holds eight.
enum class sync_permission : std::uint8_t { not_set = 0, no = 1, yes = 2 };

// Values outside the three above (a damaged or hand-edited file) read as
// not_set, so the engine asks rather than guesses.
sync_permission permission_from_int(int value);

struct sync_rule {
    static constexpr int size = 8;

    sync_permission can_upload = sync_permission::not_set;
    sync_permission can_download = sync_permission::not_set;
    sync_permission can_overwrite_upload = sync_permission::not_set;
    sync_permission can_overwrite_download = sync_permission::not_set;
    sync_permission can_remove_remote = sync_permission::not_set;
    sync_permission can_remove_remote_dir = sync_permission::not_set;
    sync_permission can_remove_local = sync_permission::not_set;
    sync_permission can_remove_local_dir = sync_permission::not_set;

    sync_rule() = default;
    // The eight permissions in field order.
    explicit sync_rule(const std::array<sync_permission, size>& permissions);

    // The permission at an index in field order (0 can_upload ...
    // 7 can_remove_local_dir); the index must lie in 0..7.
    sync_permission& operator[](int index);
    sync_permission operator[](int index) const;

    // Every entry still not set takes the source's entry.
    void merge_from(const sync_rule& source);

    bool operator==(const sync_rule&) const = default;
};

// Sets the eight permissions as decimal children named after the fields.
void rule_to_node(const sync_rule& rule, serializer::node& target);
// Reads them back; a missing or unreadable child is not_set.
sync_rule rule_from_node(const serializer::node& source);

}  // namespace syncer

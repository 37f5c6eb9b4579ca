// Which folder a local path names: its device, its inode and, where the file
// system keeps it, its creation time. An emptied folder keeps all three; a
// mount point without its drive, or a folder made anew in place of one,
// differs in at least one (a new folder may get the inode number of the one
// it replaces, never its creation time).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "serializer/node.h"

namespace syncer {

struct folder_identity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    // Nanoseconds since 1970; -1 where the file system keeps no such time.
    std::int64_t created_ns = -1;

    bool operator==(const folder_identity&) const = default;

    // The folder at the path (a path in the engine's form); nothing when no
    // folder is there.
    static std::optional<folder_identity> of(const std::wstring& path);

    void to_node(serializer::node& target) const;
    // Nothing when a field is missing or not a number.
    static std::optional<folder_identity> from_node(const serializer::node& source);
};

}  // namespace syncer

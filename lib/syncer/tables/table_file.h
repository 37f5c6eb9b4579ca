// Reading the sync engine's settings tables so that neither a crash nor a
// damaged file loses what was saved. A save replaces the file through its
// ".tmp" companion and may keep the previous file as ".bak"; a crash before
// the first file was in place leaves only the companions.
#pragma once

#include <boost/filesystem/path.hpp>
#include <functional>

#include "serializer/node.h"

namespace syncer::table_file {

// Where the tree that was read came from.
enum class origin {
    none,       // no table anywhere: start empty
    file,       // the file itself, or its complete ".tmp" companion put in its place
    backup,     // the ".bak" companion, put in place of a missing or damaged file
    set_aside,  // the file was damaged and had no usable backup: start empty
};

// Reads the file at the path into the caller's form; a file that does not
// parse raises serializer::serializer_exception.
using reader = std::function<void(const boost::filesystem::path&)>;

// Suffix under which a damaged table is kept for the user to inspect.
inline constexpr const char* damaged_suffix = ".bad";

// Reads the table. A missing file is first replaced by a companion that
// parses (".tmp", then ".bak"). Errors of a present file, or of a ".bak"
// that does not parse in place of a missing one, pass on. read is called
// once, and only when there is a table.
origin load(const boost::filesystem::path& path, const reader& read);

// As load, and a present file that cannot be read or parsed is renamed aside
// (damaged_suffix) and replaced by its backup when that parses; a ".bak"
// that does not parse is renamed aside itself (beside a damaged file as
// ".bak" + damaged_suffix). Errors of the
// renames pass on, leaving the file where it was. What read took in before
// it failed is for the caller to drop: read is then called again for the
// backup.
origin load_repairing(const boost::filesystem::path& path, const reader& read);

}  // namespace syncer::table_file

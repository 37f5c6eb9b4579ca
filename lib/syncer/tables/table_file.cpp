#include "syncer/tables/table_file.h"

#include <boost/filesystem/operations.hpp>
#include <fstream>

#include "serializer/file_serializer.h"

namespace syncer::table_file {

namespace fs = boost::filesystem;

namespace {

fs::path companion(const fs::path& path, const char* suffix) {
    return fs::path(path.native() + suffix);
}

// Whether the file holds one whole node; a file cut short by a crash does not.
bool parses(const fs::path& path) {
    std::ifstream in(path.native(), std::ios::binary);
    if (!in) return false;
    try {
        serializer::node tree(in);
        return !in.bad();
    } catch (const serializer::serializer_exception&) {
        return false;
    }
}

// Puts a complete companion in place of a missing file; tells which, or none.
// A backup that does not parse is all that is left of the table: it is a
// damaged table, not an empty one.
origin recover_missing(const fs::path& path) {
    const fs::path temporary = companion(path, ".tmp");
    if (fs::exists(temporary) && parses(temporary)) {
        fs::rename(temporary, path);
        return origin::file;
    }
    const fs::path backup = companion(path, ".bak");
    if (!fs::exists(backup)) return origin::none;
    if (parses(backup) && serializer::file_serializer::restore_backup(path)) return origin::backup;
    throw serializer::serializer_exception(__PRETTY_FUNCTION__, "The backup \"" + backup.string() +
                                                                    "\" of a missing "
                                                                    "table cannot be read");
}

}  // namespace

origin load(const fs::path& path, const reader& read) {
    const origin from = fs::exists(path) ? origin::file : recover_missing(path);
    if (from != origin::none) read(path);
    return from;
}

origin load_repairing(const fs::path& path, const reader& read) {
    try {
        return load(path, read);
    } catch (const serializer::serializer_exception&) {
        // Not readable or not parsable: handled below, outside the handler.
    }
    const fs::path backup = companion(path, ".bak");
    if (!fs::exists(path)) {
        // Only the damaged backup was left.
        fs::rename(backup, companion(path, damaged_suffix));
        return origin::set_aside;
    }
    fs::rename(path, companion(path, damaged_suffix));
    if (!fs::exists(backup)) return origin::set_aside;
    if (parses(backup) && serializer::file_serializer::restore_backup(path)) {
        read(path);
        return origin::backup;
    }
    // Kept beside the damaged table: left in place, it would be all that
    // is left of a table missing now.
    fs::rename(backup, companion(backup, damaged_suffix));
    return origin::set_aside;
}

}  // namespace syncer::table_file

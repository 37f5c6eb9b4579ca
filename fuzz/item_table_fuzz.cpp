// The item table of a binding as its file holds it, which any program of
// the user can write: any bytes as the file, read a record at a time as the
// sync engine reads it. Reading fails only with the serializer's failure;
// every record read, written again, reads back as the same record; and the
// records written as a table of their own read back the same.
#include <unistd.h>

#include <boost/filesystem.hpp>
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "serializer/exceptions.h"
#include "serializer/file_serializer.h"
#include "syncer/tables/sync_item.h"

using calvimora_fuzz::require;
using serializer::file_serializer;
using serializer::node;

namespace {

const boost::filesystem::path& folder() {
    static const boost::filesystem::path made = [] {
        auto path = boost::filesystem::temp_directory_path() /
                    ("item_table_fuzz-" + std::to_string(getpid()));
        boost::filesystem::create_directories(path);
        return path;
    }();
    return made;
}

node record_node(const syncer::sync_item& item) {
    node written(L"item", L"");
    item.to_node(written);
    return written;
}

// The records of a table file, as the engine reads them; nothing when the
// file does not read.
bool read_table(const boost::filesystem::path& path, std::vector<node>& records) {
    node root;
    try {
        file_serializer::load_children(path, root, [&](node&& child) {
            if (child.name == L"item")
                records.push_back(record_node(syncer::sync_item::from_node(child)));
        });
        return true;
    } catch (const serializer::serializer_exception&) {
        return false;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto table = folder() / "sync_rules_1.xml";
    {
        std::ofstream out(table.string(), std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    std::vector<node> records;
    if (!read_table(table, records)) return 0;
    for (const node& record : records)
        require(record_node(syncer::sync_item::from_node(record)) == record,
                "a record written again reads back as another record");

    const auto copy = folder() / "sync_rules_2.xml";
    file_serializer::save_children(
        copy, node(L"sync_items", L""),
        [&](const node::child_emitter& emit) {
            for (const node& record : records) emit(record);
        },
        true);
    std::vector<node> again;
    require(read_table(copy, again), "a table written from read records does not read");
    require(again == records, "a written table reads back as other records");
    return 0;
}

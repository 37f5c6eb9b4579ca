// The open worker's records of local copies as their file holds them,
// which any program of the user can write: any bytes read as the tagged
// text of the settings files, then as records. Reading takes only whole
// records and never fails; the records taken, written again, read back as
// the same records.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "folder/workers/opened_copies.h"
#include "fuzz_support.h"
#include "serializer/exceptions.h"
#include "serializer/node.h"

using calvimora_fuzz::require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    serializer::node stored;
    try {
        stored.deserialize(in);
    } catch (const serializer::serializer_exception&) {
        return 0;
    }
    const auto records = opened_copies::from_node(stored);
    for (const auto& [path, copy] : records) require(!path.empty(), "a record without a path");

    std::ostringstream out;
    opened_copies::to_node(records).serialize(out);
    std::istringstream again(out.str());
    serializer::node reread;
    reread.deserialize(again);
    require(opened_copies::from_node(reread) == records, "written records read back otherwise");
    return 0;
}

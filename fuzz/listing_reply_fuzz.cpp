// A folder listing's reply read quickly from its bytes, whole or as a scan
// reads it, and the generic way (decoded, parsed into the reply tree,
// checked): the same records or the same failure, whatever the bytes.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "fuzz_support.h"
#include "listing_outcome.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view reply(reinterpret_cast<const char*>(data), size);
    const vfs_calvimora::listing_outcome generic = vfs_calvimora::generic_outcome(reply);
    calvimora_fuzz::require(vfs_calvimora::listing_reply_outcome(reply) == generic,
                            "the quick reading of a listing differs from the generic one");
    calvimora_fuzz::require(vfs_calvimora::scan_reply_outcome(reply) == scanned(generic),
                            "a scan's reading of a listing differs from the generic one");
    return 0;
}

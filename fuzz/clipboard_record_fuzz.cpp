// The session clipboard's record file, which any process of the session may
// have written. A record that decodes is encoded into bytes that decode and
// encode again to the same bytes (texts are made valid on the first round).
#include <cstddef>
#include <cstdint>
#include <vector>

#include "fuzz_support.h"
#include "transfer/ole_clipboard_store.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto record = win_ole::decode_clipboard(data, size);
    if (!record) return 0;
    const std::vector<std::uint8_t> written = win_ole::encode_clipboard(*record);
    const auto again = win_ole::decode_clipboard(written.data(), written.size());
    calvimora_fuzz::require(again.has_value(), "an encoded record does not decode");
    calvimora_fuzz::require(win_ole::encode_clipboard(*again) == written,
                            "a record read back is encoded differently");
    return 0;
}

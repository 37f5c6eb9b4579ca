#include "vfs/reply_text.h"

#include <utf8.h>

#include <iterator>

namespace vfs_calvimora {

std::wstring decode_reply_text(const char* bytes, std::size_t length) {
    // Replies are mostly ASCII, taken a byte at a time; the runs of other
    // bytes go through the UTF-8 library. An ASCII byte never belongs to a
    // sequence, so each run is repaired as it would be within the whole.
    std::wstring text;
    text.reserve(length);
    std::string valid;
    for (std::size_t at = 0; at < length;) {
        std::size_t end = at;
        while (end < length && static_cast<unsigned char>(bytes[end]) < 0x80) ++end;
        text.append(bytes + at, bytes + end);
        at = end;
        while (end < length && static_cast<unsigned char>(bytes[end]) >= 0x80) ++end;
        if (end == at) continue;
        valid.clear();
        utf8::replace_invalid(bytes + at, bytes + end, std::back_inserter(valid), 0xFFFD);
        utf8::utf8to32(valid.begin(), valid.end(), std::back_inserter(text));
        at = end;
    }
    return text;
}

}  // namespace vfs_calvimora

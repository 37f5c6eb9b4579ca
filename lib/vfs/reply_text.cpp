#include "vfs/reply_text.h"

#include <utf8.h>

#include <iterator>

namespace vfs_calvimora {

std::wstring decode_reply_text(const char* bytes, std::size_t length) {
    std::string valid;
    valid.reserve(length);
    utf8::replace_invalid(bytes, bytes + length, std::back_inserter(valid), 0xFFFD);
    std::wstring text;
    text.reserve(valid.size());
    utf8::utf8to32(valid.begin(), valid.end(), std::back_inserter(text));
    return text;
}

}  // namespace vfs_calvimora

#include "syncer/core/local_error.h"

#include <utf8.h>

#include <iterator>

namespace syncer {

std::wstring decode_utf8(const std::string& text) {
    std::string valid;
    utf8::replace_invalid(text.begin(), text.end(), std::back_inserter(valid), 0xFFFD);
    std::wstring wide;
    utf8::utf8to32(valid.begin(), valid.end(), std::back_inserter(wide));
    return wide;
}

}  // namespace syncer

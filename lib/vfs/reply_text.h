// The service's replies are UTF-8 text.
#pragma once

#include <cstddef>
#include <string>

namespace vfs_calvimora {

// Decodes UTF-8 bytes into whole code points. A byte that does not begin a
// valid sequence (a stray continuation byte, a cut or overlong sequence, an
// encoded surrogate, a value beyond U+10FFFF) becomes U+FFFD, so a damaged
// reply still shows where it was damaged and never yields an invalid
// character.
std::wstring decode_reply_text(const char* bytes, std::size_t length);

}  // namespace vfs_calvimora

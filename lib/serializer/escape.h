// Encoding of names and values in the tagged-text format: UTF-8 with "\",
// "<" and ">" escaped by a backslash.
#pragma once

#include <istream>
#include <string>

namespace serializer {

// Wide text to escaped UTF-8 bytes. A character that is not a Unicode code
// point (a surrogate, or beyond U+10FFFF) raises serializer_exception.
std::string escape(const std::wstring& text);

// Escaped UTF-8 bytes back to wide text. Bytes that are not valid UTF-8 raise
// wrong_format_exception.
std::wstring unescape(const std::string& bytes);

// Reads bytes up to the next unescaped "<" or ">", the byte 0xFF or the end
// of the stream; the delimiter stays in the stream, escaping backslashes stay
// in the token.
std::string read_token(std::istream& in);

}  // namespace serializer

// Conversions between the programs' wide text (UTF-32 wchar_t here), UTF-8
// for native paths and files, and UTF-16LE for the fixed byte layouts the
// system stores. Input is never trusted: a code point that cannot be encoded
// and a malformed sequence both become U+FFFD instead of failing.
#pragma once

#include <string>
#include <string_view>

#include "win/base.h"

namespace win_detail {

std::string to_utf8(std::wstring_view text);
std::wstring from_utf8(std::string_view text);

// A null pointer reads as the empty text.
std::wstring wide_or_empty(LPCWSTR text);

// UTF-16LE bytes (two per unit, no terminator added) and back; a trailing
// odd byte is ignored.
std::string to_utf16le(std::wstring_view text);
std::wstring from_utf16le(const BYTE* data, size_t size);

}  // namespace win_detail

// Text in the fixed-width UTF-16 fields of the persisted layouts: written
// cut to the field without splitting a character, read up to the first
// zero or the field's end, whichever comes first.
#pragma once

#include <cstddef>
#include <string>

namespace shell_text {

// The text's UTF-16 units, at most max_units of them, never ending inside a
// surrogate pair. A value that is no character becomes U+FFFD.
std::u16string to_utf16(const std::wstring& text, size_t max_units);

// Units up to the first zero within the first max_units; a surrogate
// without its partner becomes U+FFFD.
std::wstring from_utf16(const char16_t* units, size_t max_units);

// Writes the text into a field of width units: at most width - 1 units of
// text, then zeros to the end of the field.
void write_field(char16_t* field, size_t width, const std::wstring& text);

}  // namespace shell_text

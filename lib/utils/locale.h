// Paths built from wide strings are converted to the native form through the
// locale imbued in boost::filesystem. Every program calls this once at start,
// so that names beyond ASCII convert as UTF-8.
#pragma once

namespace utils {

// Idempotent and thread-safe.
void imbue_utf8_locale();

}  // namespace utils

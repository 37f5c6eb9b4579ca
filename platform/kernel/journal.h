// The journal files of the user-facing calls that have nothing to show here
// (shell notifications, message boxes): one text line per call, appended
// under the machine root so that a test can read what any process did, and a
// person can read it too. Fields are separated by tabs; each field is
// percent-encoded so that no tab, line break or control byte appears raw.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace win_detail {

// The journal's file under the machine root ("<root>/journal/<name>").
std::string journal_file(const char* name);

// Appends one record in a single write under an exclusive lock, so records
// of several processes never interleave. Failures are ignored: a journal
// never makes the call it records fail.
void append_journal_record(const std::string& file, const std::vector<std::string>& fields);

// The complete records, oldest first; a line that does not decode (a record
// cut short) is skipped.
std::vector<std::vector<std::string>> read_journal_records(const std::string& file);

void clear_journal(const std::string& file);

// Numbers in records: eight lower-case hexadecimal digits, and back (nullopt
// for anything else).
std::string hex_field(uint32_t value);
std::optional<uint32_t> parse_hex_field(const std::string& text);

}  // namespace win_detail

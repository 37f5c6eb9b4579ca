// The texts the sync window makes for the engine: messages by kind (the
// questions 1 to 9 and the task failures 10 to 28, from the string table),
// and sizes as the rows show them.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>

#include "ui/fitted_text.h"

// Each "%s" of the pattern replaced by the next argument, in order (a "%s"
// without an argument left out); the arguments are copied as they are.
std::wstring FillPlaceholders(const std::wstring& pattern,
                              std::initializer_list<std::wstring> arguments);

// The text of a message kind with its folders and file name, then the
// detail (after one blank when there is text before it); the detail alone
// for a kind without text of its own; "Unknown message" when all is empty.
std::wstring FormatSyncMessage(int kind, const std::wstring& dir_remote,
                               const std::wstring& dir_local, const std::wstring& filename,
                               const std::wstring& detail);

// The question of a kind (1 to 9) with an empty detail, as
// FormatSyncMessage gives it, in parts: its file and folder names and its
// paths may be shortened, the rest may not.
text_parts FormatSyncQuestion(int kind, const std::wstring& dir_remote,
                              const std::wstring& dir_local, const std::wstring& filename);

// A size as a number and a unit: the first of bytes, KB, MB, GB and TB
// (factors of 1024) in which it is below 1000 (else TB), rounded up, its
// digits in groups of three with a blank between: 1023999 -> "1 000 KB".
std::wstring FormatSyncSize(std::int64_t size);

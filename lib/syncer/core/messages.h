// The texts a user_interface implementation shows for the engine's message
// kinds, result kinds and information kinds. Placeholders are filled from the
// paths the engine passes; the remote path of a file is its remote folder and
// name joined with "/".
#pragma once

#include <string>

namespace syncer {

inline constexpr const wchar_t* product_name = L"Calvimora";

// The text of a message kind (questions 1..9, failure reasons 10..28); empty
// for a kind without a text of its own (0, 19, 29 and numbers outside 1..28).
std::wstring message_text(int kind, const std::wstring& dir_remote, const std::wstring& dir_local,
                          const std::wstring& filename);

// What a failed task shows: its kind's text, then one space and its message
// when that is not empty; the message alone for a kind without text;
// "Unknown message" when both are empty.
std::wstring failure_text(int kind, const std::wstring& message, const std::wstring& dir_remote,
                          const std::wstring& dir_local, const std::wstring& filename);

// The text of a result kind (0..5) for a file; empty for other numbers.
std::wstring result_text(int result_kind, const std::wstring& folder, const std::wstring& filename);

// The text of an information kind; empty for every kind but 6.
std::wstring information_text(int information_kind);

}  // namespace syncer

// The session's list of files that other programs save into the folder
// through their Save-As dialogs: a shared mapping that the session handler
// creates, holding UTF-16 tagged text, "<SaveAsFiles>" with one "NewFile"
// child per local file path, oldest first. The folder only adds entries;
// nothing here reads them back.
#pragma once

#include <cstddef>
#include <string>

namespace save_as_list {

inline constexpr const wchar_t* mapping_name = L"Local\\Calvimora_FileMapping_SaveAs";
inline constexpr std::size_t mapping_bytes = 0x80000;

// Rewrites the list held in units (count UTF-16 units, the whole view) with
// one more entry for path. The list is taken up to its first zero unit;
// every "NewFile" child of its root is kept in its order, whatever else it
// holds is dropped. The new text is written with zeros after it to the
// end. False, with the units untouched, when they hold no zero unit, do not
// parse as a list, or the new text and its terminating zero would not fit.
bool add_entry(char16_t* units, std::size_t count, const std::wstring& path);

// Adds the entry to the session's mapping. False when the mapping is
// missing or cannot be mapped, or add_entry refused; the list is then as it
// was.
bool record(const std::wstring& path);

}  // namespace save_as_list

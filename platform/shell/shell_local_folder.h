// Local files and folders in the shell's namespace, as far as programs
// hand local files to each other through it: the desktop parses a local
// path ("\dir\sub" or "/dir/sub") into an item-id list and binds a folder's
// list to a folder object; that folder parses its files' names and gives a
// data object carrying them as dropped files (CF_HDROP) and as the
// folder's and items' lists ("Shell IDList Array").
//
// Item ids are the stand-in's own: a 16-bit size, a kind byte (0x31 for a
// whole absolute path, 0x32 for a name inside a folder), a zero byte and
// the text as UTF-8 ending in a NUL; 0x33 for a whole network share name.
#pragma once

#include <optional>
#include <string>

#include "win/shell_folder.h"

namespace win_shell {

// Whether the desktop takes the text as a local path.
bool is_local_path(const std::wstring& text);
// The list of an existing local file or folder (attributes: folder and
// file system as they apply, of those asked for).
// HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) when there is nothing there.
HRESULT parse_local_path(const std::wstring& text, PIDLIST_RELATIVE* list, ULONG* attributes);
// Whether the list starts with a local path element.
bool is_local_list(LPCITEMIDLIST list);
// The whole path of a list that is one local path element and nothing
// after it.
std::optional<std::wstring> local_path_of(LPCITEMIDLIST list);
// Whether the text is a UNC name of a network share: "\\server\share",
// then any names (either separator); no empty, "." or ".." names.
bool is_network_share_path(const std::wstring& text);
// The list of a network share (no network is asked: the stand-in machine
// has none), and the UNC name back from such a list, written with "\".
HRESULT make_network_list(const std::wstring& text, PIDLIST_ABSOLUTE* list);
std::optional<std::wstring> network_path_of(LPCITEMIDLIST list);
// Binds the list of a local folder (nothing after it) to its folder object.
HRESULT bind_local_folder(LPCITEMIDLIST list, REFIID iid, void** object);

}  // namespace win_shell

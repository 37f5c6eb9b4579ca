// The last step of opening things from the virtual folder: remote folders
// become Explorer windows, local copies are handed to the chosen program
// (through its drop handler when it takes several files at once) or to the
// system's Open With dialog. Failures of the shell are dropped: a file
// whose program cannot start simply does not open.
#pragma once

#include <string>
#include <vector>

#include "folder/item_ids/item_id_list.h"
#include "win/com.h"
#include "win/registry.h"
#include "win/user_types.h"

// Opens each folder (absolute lists) in an Explorer window: "explore" when
// several, "open" otherwise. S_OK.
HRESULT shell_open_item(HWND hwnd, const std::vector<CItemIdList>& folders, bool several);
// Opens local files with the program of program_key (NULL: each file's
// default), through the program's drop handler when the files share one
// extension and there are several, or with the Open With dialog when one
// file is asked for with it.
void open_with_drop_target(const std::vector<std::wstring>& files, HKEY program_key,
                           bool open_with_dialog);
// One shell execution per path with the verb (empty: the default) and the
// class key (NULL: the file's own type).
void shell_execute_files(const std::vector<std::wstring>& files, const std::wstring& verb,
                         HKEY class_key);
// Drops all files, which lie in one local folder, on one instance of the
// handler class. S_OK, or E_FAIL when the folder, the files' data object or
// the handler cannot be had.
HRESULT drop_files_on_verb_handler(const std::vector<std::wstring>& files, const CLSID& handler);
// The system's Open With dialog on a local path or a link.
void open_as_dialog(const std::wstring& path_or_link);

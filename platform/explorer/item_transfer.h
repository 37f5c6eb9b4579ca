// What the shell host does with a selection of items of the browsed folder,
// as Explorer does it: copies them out to a local folder through their data
// object (the selection, the descriptor group, one "FileContents" stream
// per file), puts them on the clipboard with the item menu's Copy and Cut,
// pastes the clipboard into a local folder and reports the paste back, and
// runs the item context menu.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "shell_browser.h"
#include "win/shell_dragdrop.h"
#include "win/shell_menu.h"

namespace shell_host {

// The selection's data object from the folder (GetUIObjectOf).
HRESULT data_object_of(shell_browser& browser, const std::vector<size_t>& indices,
                       IDataObject** object);

// What a copy out made: the relative paths of the folders and files
// written, in descriptor order, those of the local files the user chose to
// keep, and the selection's item count.
struct copy_out_result {
    std::vector<std::wstring> folders;
    std::vector<std::wstring> files;
    std::vector<std::wstring> kept;
    UINT selected = 0;
};

// Writes the data object's virtual files below the local folder (a native
// path). Descriptor names are untrusted: an empty, absolute or ".." part
// fails the copy with E_INVALIDARG before anything is written for it. An
// object that lists files but gives no contents for the first fails with
// its answer before anything is written.
// Before a local file is replaced the user is asked (Yes, No, Cancel); each
// file is downloaded beside its target and takes the target's place only
// when whole, so a failed copy leaves the local file as it was. S_FALSE
// when the user kept some files, E_ABORT when the user cancelled.
// Failures: the data object's, or E_FAIL for a local write.
HRESULT copy_out(IDataObject* object, const std::string& local_folder, copy_out_result& result);

// Copy or Cut of the item menu: the selection's data object goes on the
// clipboard with its preferred effect.
HRESULT copy_to_clipboard(shell_browser& browser, const std::vector<size_t>& indices, bool cut);

// The effects a paste reports back to the data object.
struct paste_report {
    DWORD performed;
    DWORD paste_succeeded;
    std::optional<DWORD> logical_performed;
};

// Pastes the clipboard into the local folder, then reports the effects:
// by default the preferred effect (a cut reports a move in all three,
// unless the user kept a local file, when it reports a copy), else the
// ones given.
HRESULT paste_to_local(const std::string& local_folder, copy_out_result& result,
                       std::optional<paste_report> report = std::nullopt);

// One item of a queried menu.
struct menu_item {
    bool separator = false;
    UINT offset = 0;  // from the first id
    UINT state = 0;
    std::wstring text;
    bool picture = false;  // shown with a picture of its own
};

// The items of a menu whose ids start at 1, in menu order.
std::vector<menu_item> read_menu(HMENU menu);

// The selection's item menu queried with the flags (ids from 1).
HRESULT item_menu(shell_browser& browser, const std::vector<size_t>& indices, UINT flags,
                  std::vector<menu_item>& items);
// Queries the menu as above and invokes the command of that text (or, when
// no item has the text, the verb of that name).
HRESULT invoke_item_command(shell_browser& browser, const std::vector<size_t>& indices,
                            const std::wstring& command);

}  // namespace shell_host

// Local files and folders as Explorer hands them to the extensions
// registered for every file-system object: their context-menu handlers
// ("local menu") and their property sheet ("local props").
#pragma once

#include <string>
#include <vector>

#include "item_transfer.h"
#include "win/data_object.h"

namespace shell_host {

// The data object of a selection of existing local items of one folder, as
// the folder hands it out: dropped files and the items' lists. E_INVALIDARG
// when the paths are not all in one folder, the failure of parsing a path
// that is not there.
HRESULT local_items_data_object(const std::vector<std::wstring>& paths, IDataObject** data);

// The context-menu entries that the handlers under AllFileSystemObjects
// add for the items (each handler initialised with the selection), as one
// menu with ids from 1.
HRESULT local_item_menu(const std::vector<std::wstring>& paths, std::vector<menu_item>& items);
// Queries the menu as above and invokes the entry of that text;
// E_INVALIDARG when none has it.
HRESULT invoke_local_command(const std::vector<std::wstring>& paths, const std::wstring& text);

// The items' property sheet with the pages of the handlers under
// AllFileSystemObjects; runs until the sheet is closed. E_FAIL when it
// could not be shown.
HRESULT open_local_properties(const std::vector<std::wstring>& paths);

// The shell host's command "local" after its name: "menu PATHS", "props
// PATHS" or "do PATHS TEXT" (PATHS: paths joined by ","); what to print.
std::string local_items_command(const std::string& words);

}  // namespace shell_host

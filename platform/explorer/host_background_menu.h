// The menu of the empty background of the browsed folder's view, as
// Explorer builds it on a right-click there: the folder's own menu object
// (CreateViewObject with IID_IContextMenu) with the view as its site, found
// through the site's services, queried with the flag the view sets for its
// background, and Explorer's own Paste after the folder's items, which it
// carries out through the menu's "paste" verb.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "item_transfer.h"
#include "shell_browser.h"

namespace shell_host {

// The flag bit the view sets in the menus it builds for its own
// background: new folders are placed where the menu opened.
inline constexpr UINT view_background_menu_flag = 0x20000;

// The folder's items of the background menu (ids from 1), without
// Explorer's own.
HRESULT background_menu(shell_browser& browser, std::vector<menu_item>& items);

// Runs the background menu's command of that text; "Paste" is Explorer's
// own and sends the verb "paste"; any other text that no item has is sent as
// a verb. The extension's worker threads (a sheet it opens) are waited for.
// What the command answered.
HRESULT invoke_background_command(shell_browser& browser, const std::wstring& command);

// The terminal's "bg" (list the menu) and "bg do TEXT" (run a command and
// tell what the view was asked to select for renaming). changed is set when
// a command ran, so the folder is listed anew. Failures are returned for the
// caller to report.
HRESULT background_menu_command(shell_browser& browser, const std::string& words, std::ostream& out,
                                bool& changed);

}  // namespace shell_host

// The sheet the file manager shows for the folder's own icon under
// Computer: the property-sheet handlers registered for the folder's class.
#pragma once

#include "win/com.h"

namespace shell_host {

// Runs the sheet, titled with the folder's name as the file manager shows
// it, modally on this thread until it is closed; S_OK once it was shown,
// REGDB_E_CLASSNOTREG when the class is not registered, E_FAIL when no
// handler gave a page.
HRESULT open_drive_sheet(REFCLSID junction);

}  // namespace shell_host

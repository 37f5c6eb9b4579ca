// The shell's own classes that CoCreateInstance makes without the registry:
// the progress dialog (progress_dialog.cpp) asks here for the others.
#pragma once

#include "win/com.h"

namespace win_com {

// The drag images' helper (shell_thread.cpp): S_OK with the object, or
// REGDB_E_CLASSNOTREG when clsid is not its class.
HRESULT create_helper_object(REFCLSID clsid, REFIID iid, void** object);

}  // namespace win_com

// What the COM files share among themselves.
#pragma once

#include <string>

#include "win/com.h"

namespace win_com {

// Whether the calling thread has an initialisation not yet undone.
bool thread_initialized();
// Whether that initialisation is apartment-threaded.
bool thread_apartment_threaded();

// The text form of an identifier, without the terminator.
std::wstring guid_text(REFGUID guid);

}  // namespace win_com

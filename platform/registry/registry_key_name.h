// The full name of an open key, for journals and messages of the areas
// above: "HKEY_LOCAL_MACHINE\Software\Classes\txtfile" (the classes root is
// that key of the machine's hive). Empty for a handle that is not open.
#pragma once

#include <string>

#include "win/registry.h"

namespace win_detail {

std::wstring registry_key_name(HKEY key);

}  // namespace win_detail

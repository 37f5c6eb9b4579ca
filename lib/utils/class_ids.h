// Class ids of the system's own COM classes, shared by every deliverable
// that names them: the shell extension registers and serves them, the tray
// program opens the virtual folder by its id. They are fixed for the life
// of the product: Explorer and the registry keep them.
#pragma once

#include "win/guid.h"

namespace utils {

// {B7C2E4A9-5D13-4F86-A0E2-7C9D1B3F5E48}: the virtual folder under
// "Computer".
inline constexpr CLSID clsid_calvimora_folder{
    0xB7C2E4A9, 0x5D13, 0x4F86, {0xA0, 0xE2, 0x7C, 0x9D, 0x1B, 0x3F, 0x5E, 0x48}};

}  // namespace utils

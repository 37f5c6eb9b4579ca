// Text in the Windows code page 1252, the ANSI code page of Western European
// Windows systems, in which the service writes the login reply's credentials.
#pragma once

#include <string>

namespace vfs_calvimora {

// Every byte stands for one character. The five bytes the code page leaves
// undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) become the control characters of
// the same value, as Windows converts them.
std::wstring from_windows_1252(const std::string& bytes);

}  // namespace vfs_calvimora

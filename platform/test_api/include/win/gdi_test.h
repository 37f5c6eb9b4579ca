// Pictures of drawings for tests and for people: any DC's surface or any
// bitmap saved as a PNG file (straight alpha in the file, so transparent
// parts stay transparent in a viewer).
#pragma once

#include <string>

#include "win/gdi.h"

namespace win_test {

// False when the handle is not a DC or bitmap, or the file cannot be written.
bool save_png(HDC dc, const std::string& path);
bool save_png(HBITMAP bitmap, const std::string& path);

}  // namespace win_test

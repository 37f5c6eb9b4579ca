// The text of a failure for the person, whatever its bytes hold.
#pragma once

#include <exception>
#include <string>

// The failure's text as UTF-8 read into wide characters; bytes that are no
// UTF-8 become U+FFFD.
std::wstring ErrorTextOf(const std::exception& failure);

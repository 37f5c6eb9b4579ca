// The initial subkeys every cipher context starts from.
#pragma once

#include <cstdint>

namespace cm_crypt {

extern const std::uint32_t blowfish_initial_p[18];
extern const std::uint32_t blowfish_initial_s[4][256];

}  // namespace cm_crypt

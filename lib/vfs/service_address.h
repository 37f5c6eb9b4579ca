// Where the service is reached: scheme, "://" and host, without a trailing
// slash. The build sets a default; the environment variable
// CALVIMORA_SERVICE_URL overrides it (the demo and the tests point it at the
// local stand-in service).
#pragma once

#include <string>

namespace vfs_calvimora {

inline constexpr const char* service_url_variable = "CALVIMORA_SERVICE_URL";

std::string service_base_address();

}  // namespace vfs_calvimora

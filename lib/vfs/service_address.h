// Where the service is reached and how its servers are recognised. The
// build sets a default for each; an environment variable overrides it (the
// demo and the tests point both at the local stand-in service).
//
// The base address is scheme, "://" and host, without a trailing slash
// (CALVIMORA_SERVICE_URL). The certificate authority file names the
// certificates that the service's HTTPS and transfer servers must chain to
// (CALVIMORA_SERVICE_CA_FILE); empty means the system's certificate store.
#pragma once

#include <string>

namespace vfs_calvimora {

inline constexpr const char* service_url_variable = "CALVIMORA_SERVICE_URL";
inline constexpr const char* service_ca_file_variable = "CALVIMORA_SERVICE_CA_FILE";

std::string service_base_address();
std::string service_ca_file();

}  // namespace vfs_calvimora

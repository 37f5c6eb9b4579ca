#include "vfs/service_address.h"

#include <cstdlib>

namespace vfs_calvimora {

std::string service_base_address() {
    const char* configured = std::getenv(service_url_variable);
    std::string address =
        configured != nullptr && *configured != '\0' ? configured : CALVIMORA_DEFAULT_SERVICE_URL;
    while (!address.empty() && address.back() == '/') {
        address.pop_back();
    }
    return address;
}

}  // namespace vfs_calvimora

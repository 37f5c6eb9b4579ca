#include "vfs/service_address.h"

#include <cstdlib>

namespace vfs_calvimora {

namespace {

std::string configured(const char* variable, const char* built_in) {
    const char* value = std::getenv(variable);
    return value != nullptr && *value != '\0' ? value : built_in;
}

}  // namespace

std::string service_base_address() {
    std::string address = configured(service_url_variable, CALVIMORA_DEFAULT_SERVICE_URL);
    while (!address.empty() && address.back() == '/') {
        address.pop_back();
    }
    return address;
}

std::string service_ca_file() {
    return configured(service_ca_file_variable, CALVIMORA_DEFAULT_SERVICE_CA_FILE);
}

}  // namespace vfs_calvimora

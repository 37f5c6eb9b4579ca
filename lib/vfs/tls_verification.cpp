#include "vfs/tls_verification.h"

namespace vfs_calvimora {

void verify_server_certificate(CURL* handle, const std::string& ca_file) {
    curl_easy_setopt(handle, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(handle, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!ca_file.empty()) {
        curl_easy_setopt(handle, CURLOPT_CAINFO, ca_file.c_str());
    }
}

bool is_certificate_failure(CURLcode result) {
    return result == CURLE_PEER_FAILED_VERIFICATION || result == CURLE_SSL_CACERT_BADFILE;
}

}  // namespace vfs_calvimora

#include "vfs/tls_session_share.h"

#include "vfs/calvimora_exception.h"

namespace vfs_calvimora {

tls_session_share::tls_session_share() : share_(curl_share_init()) {
    if (share_ == nullptr ||
        curl_share_setopt(share_, CURLSHOPT_LOCKFUNC, &tls_session_share::lock) != CURLSHE_OK ||
        curl_share_setopt(share_, CURLSHOPT_UNLOCKFUNC, &tls_session_share::unlock) != CURLSHE_OK ||
        curl_share_setopt(share_, CURLSHOPT_USERDATA, this) != CURLSHE_OK ||
        curl_share_setopt(share_, CURLSHOPT_SHARE, CURL_LOCK_DATA_SSL_SESSION) != CURLSHE_OK) {
        curl_share_cleanup(share_);
        throw exception(L"CURL descriptor init failed", L"Please, contact software manufacturer");
    }
}

tls_session_share::~tls_session_share() {
    curl_share_cleanup(share_);
}

void tls_session_share::attach(CURL* handle) const {
    curl_easy_setopt(handle, CURLOPT_SHARE, share_);
}

void tls_session_share::lock(CURL*, curl_lock_data data, curl_lock_access, void* self) {
    static_cast<tls_session_share*>(self)->locks_[data].lock();
}

void tls_session_share::unlock(CURL*, curl_lock_data data, void* self) {
    static_cast<tls_session_share*>(self)->locks_[data].unlock();
}

}  // namespace vfs_calvimora

#include "crypt/md5.h"

#include <cstdio>
#include <stdexcept>

#include "win/crypt.h"

namespace cm_crypt {

namespace {

constexpr DWORD digest_length = 16;

// Releases the provider context on every path out of a scope.
class provider_context {
public:
    provider_context() {
        if (!CryptAcquireContextW(&handle_, nullptr, nullptr, PROV_RSA_FULL,
                                  CRYPT_VERIFYCONTEXT | CRYPT_MACHINE_KEYSET))
            throw std::runtime_error("Can't acquire context");
    }
    ~provider_context() { CryptReleaseContext(handle_, 0); }
    provider_context(const provider_context&) = delete;
    provider_context& operator=(const provider_context&) = delete;

    HCRYPTPROV get() const { return handle_; }

private:
    HCRYPTPROV handle_ = 0;
};

// Destroys the hash object on every path out of a scope.
class hash_object {
public:
    explicit hash_object(const provider_context& provider) {
        if (!CryptCreateHash(provider.get(), CALG_MD5, 0, 0, &handle_))
            throw std::runtime_error("Can't create hash");
    }
    ~hash_object() { CryptDestroyHash(handle_); }
    hash_object(const hash_object&) = delete;
    hash_object& operator=(const hash_object&) = delete;

    HCRYPTHASH get() const { return handle_; }

private:
    HCRYPTHASH handle_ = 0;
};

}  // namespace

md5::md5(const std::string& bytes) {
    compute(bytes);
}

void md5::compute(const std::string& bytes) {
    provider_context provider;
    hash_object hash(provider);
    if (!CryptHashData(hash.get(), reinterpret_cast<const BYTE*>(bytes.data()),
                       static_cast<DWORD>(bytes.size()), 0))
        throw std::runtime_error("Can't hash context");
    BYTE value[digest_length] = {};
    DWORD length = digest_length;
    if (!CryptGetHashParam(hash.get(), HP_HASHVAL, value, &length, 0))
        throw std::runtime_error("Can't get hash value");

    digest_.clear();
    for (DWORD i = 0; i < length; ++i) {
        char digits[3];
        std::snprintf(digits, sizeof digits, "%02x", value[i]);
        digest_ += digits;
    }
}

}  // namespace cm_crypt

// The MD5 digest of a byte string, as 32 lowercase hexadecimal characters,
// computed through the system's cryptographic provider.
#pragma once

#include <string>

namespace cm_crypt {

class md5 {
public:
    // Computes the digest of exactly these bytes. Raises std::exception
    // ("Can't acquire context", "Can't create hash", "Can't hash context",
    // "Can't get hash value") when the provider fails.
    explicit md5(const std::string& bytes);
    virtual ~md5() = default;

    const std::string& digest() const { return digest_; }

private:
    void compute(const std::string& bytes);

    std::string digest_;
};

}  // namespace cm_crypt

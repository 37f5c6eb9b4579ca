// MD5 hashing behind the CryptoAPI calls, computed by libcrypto.
#include "win/crypt.h"

#include <openssl/evp.h>

#include <array>
#include <cstring>
#include <memory>
#include <mutex>
#include <unordered_map>

namespace {

constexpr DWORD md5_size = 16;

struct hash_object {
    std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context{EVP_MD_CTX_new(),
                                                                    &EVP_MD_CTX_free};
    bool finished = false;
    std::array<BYTE, md5_size> value{};
};

// Providers and hashes by handle. Each hash is used by one thread at a time,
// as the system requires; the table itself is shared.
struct crypt_state {
    std::mutex lock;
    std::unordered_map<ULONG_PTR, bool> providers;
    std::unordered_map<ULONG_PTR, std::shared_ptr<hash_object>> hashes;
    ULONG_PTR next = 1;
};

crypt_state& state() {
    static auto* s = new crypt_state;  // used until the process ends
    return *s;
}

BOOL fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

std::shared_ptr<hash_object> find_hash(HCRYPTHASH hash) {
    crypt_state& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    auto it = s.hashes.find(hash);
    return it == s.hashes.end() ? nullptr : it->second;
}

// Writes a DWORD parameter with the size protocol of CryptGetHashParam.
BOOL put_parameter(const void* value, DWORD size, BYTE* data, DWORD* length) {
    if (!data) {
        *length = size;
        return TRUE;
    }
    if (*length < size) {
        *length = size;
        return fail(ERROR_MORE_DATA);
    }
    std::memcpy(data, value, size);
    *length = size;
    return TRUE;
}

}  // namespace

BOOL CryptAcquireContextW(HCRYPTPROV* provider, LPCWSTR container, LPCWSTR, DWORD provider_type,
                          DWORD flags) {
    if (!provider) return fail(ERROR_INVALID_PARAMETER);
    *provider = 0;
    if (provider_type != PROV_RSA_FULL) return fail(NTE_BAD_PROV_TYPE);
    const DWORD known = CRYPT_VERIFYCONTEXT | CRYPT_MACHINE_KEYSET | CRYPT_SILENT |
                        CRYPT_NEWKEYSET | CRYPT_DELETEKEYSET;
    if (flags & ~known) return fail(NTE_BAD_FLAGS);
    // There are no key containers: only verify-only contexts can be had.
    if ((flags & CRYPT_VERIFYCONTEXT) != CRYPT_VERIFYCONTEXT || (container && *container))
        return fail(NTE_BAD_KEYSET);
    crypt_state& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    const ULONG_PTR handle = s.next++;
    s.providers.emplace(handle, true);
    *provider = handle;
    return TRUE;
}

BOOL CryptReleaseContext(HCRYPTPROV provider, DWORD flags) {
    if (flags != 0) return fail(NTE_BAD_FLAGS);
    crypt_state& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    if (s.providers.erase(provider) == 0) return fail(NTE_BAD_UID);
    return TRUE;
}

BOOL CryptCreateHash(HCRYPTPROV provider, ALG_ID algorithm, HCRYPTKEY key, DWORD flags,
                     HCRYPTHASH* hash) {
    if (!hash) return fail(ERROR_INVALID_PARAMETER);
    *hash = 0;
    if (flags != 0) return fail(NTE_BAD_FLAGS);
    if (key != 0) return fail(NTE_BAD_KEY);
    if (algorithm != CALG_MD5) return fail(NTE_BAD_ALGID);
    auto object = std::make_shared<hash_object>();
    if (!object->context || EVP_DigestInit_ex(object->context.get(), EVP_md5(), nullptr) != 1)
        return fail(NTE_FAIL);
    crypt_state& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    if (!s.providers.count(provider)) return fail(NTE_BAD_UID);
    const ULONG_PTR handle = s.next++;
    s.hashes.emplace(handle, std::move(object));
    *hash = handle;
    return TRUE;
}

BOOL CryptHashData(HCRYPTHASH hash, const BYTE* data, DWORD length, DWORD flags) {
    if (flags != 0) return fail(NTE_BAD_FLAGS);
    if (!data && length != 0) return fail(ERROR_INVALID_PARAMETER);
    auto object = find_hash(hash);
    if (!object) return fail(NTE_BAD_HASH);
    if (object->finished) return fail(NTE_BAD_HASH_STATE);
    if (length != 0 && EVP_DigestUpdate(object->context.get(), data, length) != 1)
        return fail(NTE_FAIL);
    return TRUE;
}

BOOL CryptGetHashParam(HCRYPTHASH hash, DWORD parameter, BYTE* data, DWORD* length, DWORD flags) {
    if (!length) return fail(ERROR_INVALID_PARAMETER);
    if (flags != 0) return fail(NTE_BAD_FLAGS);
    auto object = find_hash(hash);
    if (!object) return fail(NTE_BAD_HASH);
    switch (parameter) {
        case HP_ALGID: {
            const DWORD algorithm = CALG_MD5;
            return put_parameter(&algorithm, sizeof algorithm, data, length);
        }
        case HP_HASHSIZE: {
            const DWORD size = md5_size;
            return put_parameter(&size, sizeof size, data, length);
        }
        case HP_HASHVAL:
            if (data && *length >= md5_size && !object->finished) {
                unsigned int size = 0;
                if (EVP_DigestFinal_ex(object->context.get(), object->value.data(), &size) != 1)
                    return fail(NTE_FAIL);
                object->finished = true;
            }
            return put_parameter(object->value.data(), md5_size, data, length);
        default:
            return fail(NTE_BAD_TYPE);
    }
}

BOOL CryptDestroyHash(HCRYPTHASH hash) {
    crypt_state& s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    if (s.hashes.erase(hash) == 0) return fail(NTE_BAD_HASH);
    return TRUE;
}

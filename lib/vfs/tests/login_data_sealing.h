// The service's side of the login reply's Data, for tests: the plaintext
// padded with NUL bytes to whole blocks (at least one NUL), enciphered with
// Blowfish-CBC under the key text and a zero IV, then written as Base64.
#pragma once

#include <cstdint>
#include <string>

#include "crypt/blowfish.h"
#include "crypt/md5.h"

namespace vfs_calvimora::testing_support {

inline std::string base64_encode(const std::string& bytes) {
    static const char alphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text;
    for (std::size_t at = 0; at < bytes.size(); at += 3) {
        std::uint32_t group = static_cast<unsigned char>(bytes[at]) << 16;
        if (at + 1 < bytes.size()) group |= static_cast<unsigned char>(bytes[at + 1]) << 8;
        if (at + 2 < bytes.size()) group |= static_cast<unsigned char>(bytes[at + 2]);
        text += alphabet[(group >> 18) & 63];
        text += alphabet[(group >> 12) & 63];
        text += at + 1 < bytes.size() ? alphabet[(group >> 6) & 63] : '=';
        text += at + 2 < bytes.size() ? alphabet[group & 63] : '=';
    }
    return text;
}

// The key text of user id + user name + password, given as their UTF-8 bytes.
inline std::string login_key_text(const std::string& seed) {
    return cm_crypt::md5(seed).digest().substr(0, 24);
}

inline std::wstring seal_login_data(const std::string& key, std::string plain) {
    plain.resize((plain.size() + 8) / 8 * 8, '\0');
    const unsigned char iv[8] = {};
    const cm_crypt::blowfish context(reinterpret_cast<const unsigned char*>(key.data()), key.size(),
                                     iv);
    std::uint32_t chain[2] = {0, 0};
    std::string cipher(plain.size(), '\0');
    for (std::size_t at = 0; at < plain.size(); at += 8) {
        std::uint32_t left, right;
        cm_crypt::load_block(reinterpret_cast<const unsigned char*>(plain.data()) + at, left,
                             right);
        left ^= chain[0];
        right ^= chain[1];
        context.encrypt_block(left, right);
        chain[0] = left;
        chain[1] = right;
        cm_crypt::store_block(left, right, reinterpret_cast<unsigned char*>(cipher.data()) + at);
    }
    const std::string text = base64_encode(cipher);
    return std::wstring(text.begin(), text.end());
}

}  // namespace vfs_calvimora::testing_support

#include "crypt/blowfish.h"

#include <algorithm>
#include <stdexcept>

#include "crypt/blowfish_tables.h"

namespace cm_crypt {

namespace {

constexpr std::size_t max_key_length = 56;
constexpr std::size_t block_size = 8;

}  // namespace

void load_block(const unsigned char* bytes, std::uint32_t& left, std::uint32_t& right) {
    left = (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) |
           (std::uint32_t{bytes[2]} << 8) | std::uint32_t{bytes[3]};
    right = (std::uint32_t{bytes[4]} << 24) | (std::uint32_t{bytes[5]} << 16) |
            (std::uint32_t{bytes[6]} << 8) | std::uint32_t{bytes[7]};
}

void store_block(std::uint32_t left, std::uint32_t right, unsigned char* bytes) {
    for (int i = 0; i < 4; ++i) {
        bytes[i] = static_cast<unsigned char>(left >> (24 - 8 * i));
        bytes[4 + i] = static_cast<unsigned char>(right >> (24 - 8 * i));
    }
}

blowfish::blowfish(const unsigned char* key, std::size_t key_length,
                   const unsigned char* iv_block) {
    if (key_length == 0) throw std::runtime_error("Incorrect key length");
    key_length = std::min(key_length, max_key_length);

    load_block(iv_block, iv[0], iv[1]);
    chain_start[0] = iv[0];
    chain_start[1] = iv[1];
    std::copy(std::begin(blowfish_initial_p), std::end(blowfish_initial_p), p);
    for (int box = 0; box < 4; ++box)
        std::copy(std::begin(blowfish_initial_s[box]), std::end(blowfish_initial_s[box]), s[box]);

    std::size_t at = 0;
    for (auto& word : p) {
        std::uint32_t key_word = 0;
        for (int i = 0; i < 4; ++i) {
            key_word = (key_word << 8) | key[at];
            at = (at + 1) % key_length;
        }
        word ^= key_word;
    }

    std::uint32_t left = 0, right = 0;
    for (int i = 0; i < 18; i += 2) {
        encrypt_block(left, right);
        p[i] = left;
        p[i + 1] = right;
    }
    for (auto& box : s) {
        for (int i = 0; i < 256; i += 2) {
            encrypt_block(left, right);
            box[i] = left;
            box[i + 1] = right;
        }
    }
}

std::uint32_t blowfish::round_function(std::uint32_t x) const {
    return ((s[0][x >> 24] + s[1][(x >> 16) & 0xFF]) ^ s[2][(x >> 8) & 0xFF]) + s[3][x & 0xFF];
}

void blowfish::encrypt_block(std::uint32_t& left, std::uint32_t& right) const {
    for (int i = 0; i < 16; ++i) {
        left ^= p[i];
        right ^= round_function(left);
        std::swap(left, right);
    }
    std::swap(left, right);
    right ^= p[16];
    left ^= p[17];
}

void blowfish::decrypt_block(std::uint32_t& left, std::uint32_t& right) const {
    for (int i = 17; i > 1; --i) {
        left ^= p[i];
        right ^= round_function(left);
        std::swap(left, right);
    }
    std::swap(left, right);
    right ^= p[1];
    left ^= p[0];
}

void blowfish::crypt_buffer(int mode, unsigned char* output, const unsigned char* input,
                            const blowfish& context, std::size_t length) {
    if (length == 0 || length % block_size != 0)
        throw std::runtime_error("Incorrect buffer length");

    std::uint32_t chain_left = context.chain_start[0], chain_right = context.chain_start[1];
    for (std::size_t offset = 0; offset < length; offset += block_size) {
        std::uint32_t cipher_left, cipher_right;
        load_block(input + offset, cipher_left, cipher_right);
        std::uint32_t left = cipher_left, right = cipher_right;
        if (mode == cbc) {
            context.decrypt_block(left, right);
            left ^= chain_left;
            right ^= chain_right;
        } else if (mode == cfb) {
            left = chain_left;
            right = chain_right;
            context.encrypt_block(left, right);
            left ^= cipher_left;
            right ^= cipher_right;
        } else {
            context.decrypt_block(left, right);
        }
        chain_left = cipher_left;
        chain_right = cipher_right;
        store_block(left, right, output + offset);
    }
}

}  // namespace cm_crypt

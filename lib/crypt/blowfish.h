// The Blowfish block cipher (16 rounds, 64-bit blocks) and the buffer routine
// that deciphers the service's login reply in ECB, CBC or CFB mode. Blocks are
// two 32-bit words loaded big-endian: the first byte of a block is the most
// significant byte of its left word.
#pragma once

#include <cstddef>
#include <cstdint>

namespace cm_crypt {

// The left and right words of an 8-byte block.
void load_block(const unsigned char* bytes, std::uint32_t& left, std::uint32_t& right);
void store_block(std::uint32_t left, std::uint32_t right, unsigned char* bytes);

// A cipher context: the IV, the chaining start (a copy of the IV that every
// buffer starts from) and the subkeys.
struct blowfish {
    enum mode { ecb = 0, cbc = 1, cfb = 2 };

    // Key setup. A key of 0 bytes raises std::exception "Incorrect key
    // length"; only the first 56 bytes of a longer key count. iv is one
    // 8-byte block.
    blowfish(const unsigned char* key, std::size_t key_length, const unsigned char* iv);

    void encrypt_block(std::uint32_t& left, std::uint32_t& right) const;
    void decrypt_block(std::uint32_t& left, std::uint32_t& right) const;

    // Deciphers length bytes of input into output (which may be the same
    // buffer), starting from the chaining start on every call: mode 1 CBC,
    // mode 2 CFB with 64-bit feedback, any other mode ECB. A length of 0 or
    // not a multiple of 8 raises std::exception "Incorrect buffer length".
    static void crypt_buffer(int mode, unsigned char* output, const unsigned char* input,
                             const blowfish& context, std::size_t length);

    std::uint32_t iv[2];
    std::uint32_t chain_start[2];
    std::uint32_t p[18];
    std::uint32_t s[4][256];

private:
    std::uint32_t round_function(std::uint32_t x) const;
};

}  // namespace cm_crypt

#include "crypt/blowfish.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace cm_crypt {
namespace {

std::vector<unsigned char> from_hex(const std::string& hex) {
    std::vector<unsigned char> bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes.push_back(static_cast<unsigned char>(std::stoul(hex.substr(i, 2), nullptr, 16)));
    return bytes;
}

const std::vector<unsigned char> zero_iv(8, 0);

blowfish context_for(const std::string& key_hex, const std::vector<unsigned char>& iv = zero_iv) {
    const auto key = from_hex(key_hex);
    return blowfish(key.data(), key.size(), iv.data());
}

std::vector<unsigned char> decipher(int mode, const blowfish& context,
                                    const std::vector<unsigned char>& input) {
    std::vector<unsigned char> output(input.size());
    blowfish::crypt_buffer(mode, output.data(), input.data(), context, input.size());
    return output;
}

struct block_vector {
    const char* key;
    const char* plain;
    const char* cipher;
};

// From the published test set of the cipher's reference implementation.
const block_vector published[] = {
    {"0000000000000000", "0000000000000000", "4EF997456198DD78"},
    {"FFFFFFFFFFFFFFFF", "FFFFFFFFFFFFFFFF", "51866FD5B85ECB8A"},
    {"3000000000000000", "1000000000000001", "7D856F9A613063F2"},
    {"1111111111111111", "1111111111111111", "2466DD878B963C9D"},
    {"0123456789ABCDEF", "1111111111111111", "61F9C3802281B096"},
    {"1111111111111111", "0123456789ABCDEF", "7D0CC630AFDA1EC7"},
    {"FEDCBA9876543210", "0123456789ABCDEF", "0ACEAB0FC6A0A28D"},
    {"7CA110454A1A6E57", "01A1D6D039776742", "59C68245EB05282B"},
    {"0131D9619DC1376E", "5CD54CA83DEF57DA", "B1B8CC0B250F09A0"},
};

TEST(Blowfish, EnciphersAndDeciphersThePublishedBlocks) {
    for (const auto& vector : published) {
        const blowfish context = context_for(vector.key);
        std::uint32_t left, right, expected_left, expected_right;
        load_block(from_hex(vector.plain).data(), left, right);
        load_block(from_hex(vector.cipher).data(), expected_left, expected_right);
        context.encrypt_block(left, right);
        EXPECT_EQ(left, expected_left) << vector.key;
        EXPECT_EQ(right, expected_right) << vector.key;

        EXPECT_EQ(decipher(blowfish::ecb, context, from_hex(vector.cipher)), from_hex(vector.plain))
            << vector.key;
    }
}

TEST(Blowfish, UsesTheKeyBytesUpToFiftySix) {
    // Published variable-length key results for the plaintext below.
    const std::string long_key = "F0E1D2C3B4A5968778695A4B3C2D1E0F0011223344556677";
    const auto plain = from_hex("FEDCBA9876543210");
    const std::pair<std::size_t, const char*> lengths[] = {
        {1, "F9AD597C49DB005E"}, {8, "E87A244E2CC85E82"}, {24, "05044B62FA52D080"}};
    for (const auto& [length, cipher] : lengths) {
        const blowfish context = context_for(long_key.substr(0, 2 * length));
        EXPECT_EQ(decipher(blowfish::ecb, context, from_hex(cipher)), plain) << length;
    }

    std::vector<unsigned char> key(57);
    for (std::size_t i = 0; i < key.size(); ++i) key[i] = static_cast<unsigned char>(i * 7 + 1);
    const blowfish cut(key.data(), 56, zero_iv.data());
    key[56] = 0xEE;
    const blowfish full(key.data(), 57, zero_iv.data());
    const auto block = from_hex("0123456789ABCDEF");
    EXPECT_EQ(decipher(blowfish::ecb, full, block), decipher(blowfish::ecb, cut, block));
    EXPECT_NE(decipher(blowfish::ecb, full, block), block);
}

const std::string chain_key = "0123456789ABCDEFF0E1D2C3B4A59687";
const std::string chain_iv = "FEDCBA9876543210";
// "7654321 Now is the time for " and zero bytes.
const std::string chain_plain = "37363534333231204E6F77206973207468652074696D6520666F722000000000";

TEST(Blowfish, DeciphersThePublishedChainedBuffers) {
    const blowfish context = context_for(chain_key, from_hex(chain_iv));
    EXPECT_EQ(decipher(blowfish::cbc, context,
                       from_hex("6B77B4D63006DEE605B156E27403979358DEB9E7154616D959F1652BD5FF"
                                "92CC")),
              from_hex(chain_plain));
    // The published CFB result is 29 bytes; whole blocks of it are compared.
    EXPECT_EQ(decipher(blowfish::cfb, context,
                       from_hex("E73214A2822139CAF26ECF6D2EB9E76E3DA3DE04D1517200")),
              from_hex(chain_plain.substr(0, 48)));
}

TEST(Blowfish, EveryBufferStartsAgainFromTheIv) {
    const blowfish context = context_for(chain_key, from_hex(chain_iv));
    const auto cipher = from_hex("6B77B4D63006DEE605B156E27403979358DEB9E7154616D9");
    for (int mode : {blowfish::cbc, blowfish::cfb}) {
        const auto whole = decipher(mode, context, cipher);
        const auto second_half =
            decipher(mode, context, std::vector<unsigned char>(cipher.begin() + 8, cipher.end()));
        EXPECT_NE(std::vector<unsigned char>(whole.begin() + 8, whole.end()), second_half);
        EXPECT_EQ(decipher(mode, context, cipher), whole);
    }

    std::vector<unsigned char> in_place = cipher;
    blowfish::crypt_buffer(blowfish::cbc, in_place.data(), in_place.data(), context,
                           in_place.size());
    EXPECT_EQ(in_place, decipher(blowfish::cbc, context, cipher));
}

TEST(Blowfish, RefusesEmptyKeysAndPartialBlocks) {
    const unsigned char key[1] = {0};
    try {
        blowfish context(key, 0, zero_iv.data());
        FAIL();
    } catch (const std::exception& e) {
        EXPECT_STREQ(e.what(), "Incorrect key length");
    }

    const blowfish context = context_for("00");
    std::vector<unsigned char> buffer(16);
    for (std::size_t length : {0, 12}) {
        try {
            blowfish::crypt_buffer(blowfish::ecb, buffer.data(), buffer.data(), context, length);
            FAIL() << length;
        } catch (const std::exception& e) {
            EXPECT_STREQ(e.what(), "Incorrect buffer length");
        }
    }
}

}  // namespace
}  // namespace cm_crypt

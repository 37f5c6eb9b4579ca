// Base64 and the login reply's Data. Any input, taken as a Data text, is
// deciphered or refused with the client's own failures. Taken as bytes, it
// comes back whole through Base64. Taken as a plaintext, sealed as the
// service seals it, it deciphers to the same text in the Windows code page
// whenever it is printable credentials text.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "crypt/base64.h"
#include "fuzz_support.h"
#include "login_data_sealing.h"
#include "vfs/calvimora_exception.h"
#include "vfs/login_data.h"
#include "vfs/windows_1252.h"

namespace {

using calvimora_fuzz::require;
namespace sealing = vfs_calvimora::testing_support;

const std::string& key() {
    static const std::string text = sealing::login_key_text("7alicepw");
    return text;
}

std::string decoded(const std::string& text) {
    const std::size_t limit = cm_crypt::base64_decoded_size_limit(text.size());
    std::vector<unsigned char> buffer(limit + 8);
    const std::size_t length = cm_crypt::base64_decode(text, buffer.data(), buffer.size());
    require(length <= limit, "Base64 decodes to more than its size limit");
    return std::string(buffer.begin(), buffer.begin() + static_cast<long>(length));
}

void check_data_text(const std::string& input) {
    const std::string bytes = decoded(input);
    if (cm_crypt::base64_decodes_whole(input)) {
        require(sealing::base64_encode(bytes).size() == input.size(),
                "a whole Base64 text decodes to fewer bytes than it holds");
    }
    const std::wstring data(input.begin(), input.end());
    try {
        const std::wstring text = vfs_calvimora::decipher_login_data(data, L"7", L"alice", L"pw");
        require(!text.empty() && text.front() == L'<', "deciphered text that is not elements");
    } catch (const vfs_calvimora::exception&) {
    }
}

void check_base64_round_trip(const std::string& bytes) {
    const std::string text = sealing::base64_encode(bytes);
    require(cm_crypt::base64_decodes_whole(text), "encoded bytes do not decode whole");
    require(decoded(text) == bytes, "encoded bytes decode to other bytes");
}

bool is_printable_ascii(const std::string& text) {
    for (const char c : text) {
        if (c < 0x20 || c > 0x7E) return false;
    }
    return true;
}

void check_sealed_plaintext(const std::string& plain) {
    const std::string text = plain.substr(0, plain.find('\0'));
    const bool fits = plain.size() / 8 * 8 + 8 <= vfs_calvimora::max_login_data_bytes;
    try {
        const std::wstring deciphered = vfs_calvimora::decipher_login_data(
            sealing::seal_login_data(key(), plain), L"7", L"alice", L"pw");
        require(fits, "a ciphertext beyond the limit was deciphered");
        require(deciphered == vfs_calvimora::from_windows_1252(text),
                "a sealed plaintext deciphers to another text");
    } catch (const vfs_calvimora::exception&) {
        require(!(fits && text.starts_with('<') && is_printable_ascii(text)),
                "printable credentials text was refused");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    check_data_text(input);
    check_base64_round_trip(input);
    check_sealed_plaintext(input);
    return 0;
}

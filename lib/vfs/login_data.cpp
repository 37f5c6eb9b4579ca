#include "vfs/login_data.h"

#include <utf8.h>

#include <algorithm>
#include <exception>
#include <iterator>
#include <vector>

#include "crypt/base64.h"
#include "crypt/blowfish.h"
#include "crypt/md5.h"
#include "vfs/calvimora_exception.h"
#include "vfs/windows_1252.h"

namespace vfs_calvimora {

namespace {

constexpr std::size_t key_text_length = 24;

[[noreturn]] void invalid_parameter() {
    throw exception(L"Login failed", L"Invalid parameter");
}

std::string key_text(const std::wstring& seed) {
    std::string bytes;
    utf8::utf32to8(seed.begin(), seed.end(), std::back_inserter(bytes));
    return cm_crypt::md5(bytes).digest().substr(0, key_text_length);
}

// The Data text as the bytes of its Base64 text; a text that does not
// decode whole, or holds a character beyond ASCII, was damaged.
std::string base64_text(const std::wstring& data) {
    std::string narrow;
    narrow.reserve(data.size());
    for (const wchar_t character : data) {
        if (character < 0 || character > 0x7F) {
            throw damaged_login_data();
        }
        narrow += static_cast<char>(character);
    }
    if (!cm_crypt::base64_decodes_whole(narrow)) {
        throw damaged_login_data();
    }
    return narrow;
}

// Deciphered under a wrong key the bytes are noise. The credentials are
// elements of printable text: they start with "<" and hold no control
// characters (the transfer server's command lines could not carry them).
bool looks_like_credentials(const std::wstring& text) {
    if (text.empty() || text.front() != L'<') {
        return false;
    }
    return std::none_of(text.begin(), text.end(), [](wchar_t character) {
        return character < 0x20 || (character >= 0x7F && character <= 0x9F);
    });
}

std::wstring decipher(const std::wstring& data, const std::string& key) {
    if (key.empty()) {
        invalid_parameter();
    }
    const std::string encoded = base64_text(data);
    std::vector<unsigned char> ciphertext(cm_crypt::base64_decoded_size_limit(encoded.size()));
    const std::size_t length =
        cm_crypt::base64_decode(encoded, ciphertext.data(), ciphertext.size());
    if (length == 0 || length > max_login_data_bytes) {
        invalid_parameter();
    }
    const unsigned char iv[8] = {};
    const cm_crypt::blowfish context(reinterpret_cast<const unsigned char*>(key.data()), key.size(),
                                     iv);
    std::vector<unsigned char> plain(length);
    cm_crypt::blowfish::crypt_buffer(cm_crypt::blowfish::cbc, plain.data(), ciphertext.data(),
                                     context, length);
    // The text ends at its first NUL, or with the deciphered bytes.
    const auto end = std::find(plain.begin(), plain.end(), 0);
    const std::wstring text = from_windows_1252(std::string(plain.begin(), end));
    if (!looks_like_credentials(text)) {
        invalid_parameter();
    }
    return text;
}

}  // namespace

std::wstring decipher_login_data(const std::wstring& data, const std::wstring& user_id,
                                 const std::wstring& user_name, const std::wstring& password) {
    try {
        return decipher(data, key_text(user_id + user_name + password));
    } catch (const std::exception&) {
        // The digest, the UTF-8 conversion and the cipher report their
        // failures as standard exceptions.
        invalid_parameter();
    }
}

}  // namespace vfs_calvimora

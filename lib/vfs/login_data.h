// The "Data" field of the login and "restore_session" replies: the transfer
// server's address and credentials, enciphered by the service.
//
// The scheme: the key text is the first 24 characters of the lower-case hex
// MD5 of the UTF-8 bytes of user id + user name + password, where the user
// id is the reply's UserID and name and password are exactly those the login
// sent ("R" and "S" for "restore_session"). "Data" is the Base64 text of the
// Blowfish-CBC ciphertext (the 24 key-text bytes as key, an IV of 8 zero
// bytes). The plaintext is text in the Windows code page 1252 of the elements
// Host, User and Pass, followed by NUL bytes up to a multiple of 8.
#pragma once

#include <cstddef>
#include <string>

#include "vfs/calvimora_exception.h"

namespace vfs_calvimora {

// The user name and password that stand in for the real ones in the key of
// a "restore_session" reply.
inline constexpr const wchar_t* restore_key_name = L"R";
inline constexpr const wchar_t* restore_key_password = L"S";

// A Data text that does not decode whole: the reply was damaged on its way,
// and what is left of it would hold only part of the credentials.
class damaged_login_data : public exception {
public:
    damaged_login_data()
        : exception(L"Login failed",
                    L"The transfer credentials in the server's reply are damaged") {}
};

// Ciphertexts longer than this are refused.
inline constexpr std::size_t max_login_data_bytes = 1024;

// The plaintext of a Data text. A text that does not decode whole throws
// damaged_login_data. Every other failure (no valid key, a text that decodes
// to nothing or too much, a length that is not a whole number of blocks, a
// plaintext that is not the text of elements) throws
// vfs_calvimora::exception ("Login failed", "Invalid parameter").
std::wstring decipher_login_data(const std::wstring& data, const std::wstring& user_id,
                                 const std::wstring& user_name, const std::wstring& password);

}  // namespace vfs_calvimora

// The login that the login dialog saves for the tray program's automatic
// log-in: the binary value "Data1" under a key of HKEY_CURRENT_USER "CLSID"
// named by a fixed class id of the system's own (no class lives there).
//
// The value holds the user name, a zero unit, the password and a zero unit,
// as UTF-16 units; every non-zero unit is XOR-ed with the low 16 bits of its
// index in the whole value minus a fixed constant, zero units stay zero.
#pragma once

#include <string>
#include <vector>

namespace vfs_calvimora {

struct saved_login {
    std::wstring user_name;
    std::wstring password;
};

// The scrambled units of a login. A character beyond the Basic Multilingual
// Plane takes two units, as UTF-16 writes it; a zero character would end its
// field early and is left out; a value that is no character is written as
// U+FFFD. Such a login does not read back as it was (see
// reads_back_identically).
std::vector<char16_t> scramble_login(const saved_login& login);

// The login in scrambled units: the first field up to its zero unit, the
// second up to its own; a field the units do not end takes them to the end,
// and a missing field is empty. A unit that pairs into no character, and one
// that reads as U+0000, becomes U+FFFD: a field never holds U+0000 or half
// a pair.
saved_login unscramble_login(const std::vector<char16_t>& units);

// Whether the login reads back exactly as it is once scrambled: false for a
// zero character or a value that is no character, and for a character that
// its place scrambles to the zero unit that ends a field.
bool reads_back_identically(const saved_login& login);

// Writes the value; false when the key cannot be created or the value not
// written, and false, writing nothing, for a login that would not read back
// identically.
bool store_saved_login(const saved_login& login);

// Reads the value; false (and nothing read) when the key or the value is
// missing or unreadable. An odd byte at the end is not read.
bool load_saved_login(saved_login& login);

}  // namespace vfs_calvimora

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
// U+FFFD.
std::vector<char16_t> scramble_login(const saved_login& login);

// The login in scrambled units: the first field up to its zero unit, the
// second up to its own; a field the units do not end takes them to the end,
// and a missing field is empty. Units that pair into no character become
// U+FFFD.
saved_login unscramble_login(const std::vector<char16_t>& units);

// Writes the value; false when the key cannot be created or the value not
// written.
bool store_saved_login(const saved_login& login);

// Reads the value; false (and nothing read) when the key or the value is
// missing or unreadable. An odd byte at the end is not read.
bool load_saved_login(saved_login& login);

}  // namespace vfs_calvimora

// The computer's identifier, sent with every login: the REG_SZ value "PCID"
// under HKEY_LOCAL_MACHINE "Software\Calvimora". The shell extension creates
// it; the client only reads it.
#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "win/registry.h"

namespace vfs_calvimora {

// An open registry key, closed when the object goes.
class registry_key {
public:
    explicit registry_key(HKEY key) : key_(key) {}
    ~registry_key() { RegCloseKey(key_); }
    registry_key(const registry_key&) = delete;
    registry_key& operator=(const registry_key&) = delete;

    HKEY get() const { return key_; }

private:
    HKEY key_;
};

// Opens HKEY_LOCAL_MACHINE "Software\Calvimora", creating it when missing.
// The client reads with the default access; creating the identifier needs
// KEY_SET_VALUE. Failure throws ("open_registry_key failed",
// "RegCreateKeyEx() returned error").
std::unique_ptr<registry_key> open_registry_key(REGSAM access = KEY_READ);

// Reads the identifier. A missing, empty or unreadable value, or one longer
// than 39 characters, throws ("load_pc_id failed", "RegQueryValueEx()
// returned error").
std::wstring load_pc_id();

// The process-wide lock under which the identifier is read for a login and
// created by the shell extension.
std::mutex& pc_id_mutex();

// load_pc_id under pc_id_mutex.
std::wstring get_pc_id();

// A new identifier: the text of a new UUID, 36 lower-case hexadecimal
// digits in groups of 8-4-4-4-12. Throws ("generate_pc_id failed") when
// the runtime cannot make or write one.
std::wstring generate_pc_id();

// Writes the identifier as "PCID" (REG_SZ with its terminating zero),
// creating the key when missing. Throws ("open_registry_key failed" or
// "store_pc_id failed", "RegSetValueEx() returned error").
void store_pc_id(const std::wstring& id);

// Under pc_id_mutex: keeps an identifier that can be read, else makes one
// and stores it. An existing identifier is never replaced. Failures of
// making or storing pass to the caller.
void get_or_create_pc_id();

}  // namespace vfs_calvimora

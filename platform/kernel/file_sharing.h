// Sharing modes among the open files of this process. Every file handle
// holds a claim on its file (found by device and inode, so every name of a
// file is the same file): what the handle does with the file's data and
// what it lets other handles do. A new open, a delete and a rename are held
// against the claims there are, as the system holds them.
#pragma once

#include <sys/types.h>

#include <compare>
#include <map>
#include <mutex>

#include "win/base.h"

namespace win_file {

struct file_identity {
    dev_t device = 0;
    ino_t inode = 0;
    auto operator<=>(const file_identity&) const = default;
};

struct share_claim {
    bool reads = false;    // reads the data
    bool writes = false;   // writes, appends to or truncates the data
    bool deletes = false;  // deletes or renames the file
    DWORD share = 0;       // FILE_SHARE_* of what others may do meanwhile
};

// What a delete or a rename claims: it lets others do anything.
share_claim removal_claim();

// The lock of the process's claims. Whoever checks a claim and then opens,
// deletes or renames holds it across both, so no other thread's open comes
// between.
std::unique_lock<std::mutex> lock_claims();

// Whether the claim may stand beside every claim on the file now; the
// caller holds the lock.
bool claim_allowed(const file_identity& file, const share_claim& wanted);

// A claim on a file, held for the life of the object. Made with the lock
// held; its end takes the lock itself, so it must not end under the lock.
class held_claim {
public:
    held_claim(const file_identity& file, const share_claim& claim);
    ~held_claim();
    held_claim(const held_claim&) = delete;
    held_claim& operator=(const held_claim&) = delete;

private:
    std::multimap<file_identity, share_claim>::iterator entry_;
};

}  // namespace win_file

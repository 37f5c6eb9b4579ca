// What the shell host does with the item menu's Delete and Restore, and how
// it asks the overlay identifiers about a local path, as Explorer does.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "shell_browser.h"
#include "win/shell_thread.h"

namespace shell_host {

// The host's process reference while the object lives (the one set before
// is put back after): worker threads the extension starts meanwhile hold it
// until they end, and wait lets them finish, the calling thread's messages
// pumped meanwhile.
class extension_workers {
public:
    extension_workers();
    ~extension_workers();
    extension_workers(const extension_workers&) = delete;
    extension_workers& operator=(const extension_workers&) = delete;

    // False when a worker still runs at the limit.
    bool wait(std::chrono::milliseconds limit = std::chrono::hours(24));

private:
    IUnknown* outer_ = nullptr;
    win_test::process_reference reference_;
};

// The item menu's Delete on the selection. The extension deletes on worker
// threads: they are waited for until the limit.
// What the command answered, or
// HRESULT_FROM_WIN32(ERROR_TIMEOUT) when a worker was still running at the
// limit.
HRESULT delete_items(shell_browser& browser, const std::vector<size_t>& indices,
                     std::chrono::milliseconds limit = std::chrono::hours(24));

// The item menu's Restore on the selection (items of the trash).
HRESULT restore_items(shell_browser& browser, const std::vector<size_t>& indices);

// One registered overlay identifier's answer about a path: its key name
// under ShellIconOverlayIdentifiers and IsMemberOf's result (or the failure
// to create the class).
struct overlay_answer {
    std::wstring name;
    HRESULT result = E_FAIL;
};

// Asks every identifier registered in HKLM, in key order, about the path.
std::vector<overlay_answer> ask_overlay_identifiers(const std::wstring& path);

}  // namespace shell_host

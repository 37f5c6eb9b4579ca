// Small files uploaded and downloaded by the engine (a sync manager at the
// real clock) against the curl tool moving the same files to and from the
// same FTPS server with as many transfers at once, its requests to the
// service timed with it; with the tray, the real tray program's first sync
// of the same upload work.
#pragma once

#include <cstddef>

namespace sync_bench {

struct transfer_options {
    std::size_t count = 1000;
    int rounds = 3;
    bool downloads_only = false;
    bool tray = false;
};

// False when the tray program missed one of its targets against the engine
// and curl of the same run.
bool bench_transfers(const transfer_options& options);

}  // namespace sync_bench

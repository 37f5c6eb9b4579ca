// The real tray program's first sync of a folder pair: the program started
// as a person's log-on starts it (a saved login with automatic log-in), on a
// pair of files the remote side lacks, until the service holds them all.
#pragma once

#include <cstddef>
#include <string>

#include "sync_bench_support.h"

namespace sync_bench {

struct tray_run {
    double wall = 0;  // from the program's start until the service held every file
    double cpu = 0;   // of every process of the product (the tray program, the session handler)
};

// Uploads count files of size bytes from a new local folder to the new remote
// folder of that name through the tray program.
tray_run run_tray_round(bench_world& world, const std::string& folder, std::size_t count,
                        std::int64_t size);

}  // namespace sync_bench

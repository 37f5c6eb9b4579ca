// The scan pass with nothing to do over a tree of N files, against find and
// (with the peer) unison's local-to-local pass.
#pragma once

#include <cstddef>

namespace sync_bench {

struct pass_summary {
    std::size_t tracked = 0;
    // The whole process's peak resident size over the run, in KiB.
    long whole_peak_kib = 0;
};

pass_summary bench_pass(std::size_t files, int passes, bool peer);

}  // namespace sync_bench

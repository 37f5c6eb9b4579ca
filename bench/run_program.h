// Starting a peer program (curl, find) from a benchmark.
#pragma once

#include <string>
#include <vector>

namespace bench_support {

// Runs the program (looked up on PATH) with these arguments, its output
// discarded, and waits for it; throws std::runtime_error when it cannot be
// started or does not exit with status 0.
void run_program(const std::vector<std::string>& arguments);

}  // namespace bench_support

// The sync engine's speed against peers in the same run, on the stand-in
// service:
//
// 1. A scan pass with nothing to do over N local files in a few hundred
//    folders, bound to a remote tree that matches (seeded through the
//    service's control endpoint): wall time and the CPU of the engine and of
//    the service per pass and their medians, the local walk against `find`
//    over the same tree, peak memory per tracked file and what stays between
//    passes, and the bytes the pass wrote to the item tables. Each size runs
//    in a process of its own, so the growth of the whole process's peak
//    resident size from one size to the next is what each added file costs.
//    With --peer, and unison on the PATH, unison's local-to-local pass over
//    the same tree against a copy of it, with the ratios of CPU and wall time.
// 2. Small files uploaded and downloaded by the engine (a sync manager at the
//    real clock, its end read from its own task list) against the curl tool
//    moving the same files to and from the same FTPS server with as many
//    transfers at once, the service's requests around curl's transfers timed
//    with them; medians of several rounds. With --tray, the real tray program
//    uploads the same files in each round too, from its start, with the CPU
//    of every process of the product.
//
//   bench_sync [--files N[,N...]] [--passes N] [--peer] [--transfers N[,N...]]
//              [--rounds N] [--transfers-only] [--downloads-only] [--tray]
//              (default: 10000,100000 files, 3 passes with nothing to do;
//              3 rounds of 1000 transfers of 1 KiB each way; 1000000 files or
//              10000 transfers on request)
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "sync_bench_support.h"
#include "sync_pass_bench.h"
#include "sync_transfer_bench.h"
#include "syncer/core/exceptions.h"
#include "vfs/calvimora_exception.h"

namespace {

using namespace sync_bench;

std::vector<std::size_t> counts_of(const std::string& text) {
    std::vector<std::size_t> counts;
    std::stringstream in(text);
    for (std::string item; std::getline(in, item, ',');) counts.push_back(std::stoul(item));
    return counts;
}

// Runs the work and reports its failure; the exit status.
int guarded(const std::function<void()>& work) {
    try {
        work();
        return 0;
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "bench_sync: %s\n", failure.what());
    } catch (const vfs_calvimora::exception& failure) {
        std::fprintf(stderr, "bench_sync: %s: %s\n", syncer::to_utf8(failure.get_title()).c_str(),
                     syncer::to_utf8(failure.get_text()).c_str());
    }
    return 1;
}

// The pass benchmark of one size in a child process of its own; its summary,
// none when it failed.
std::optional<pass_summary> pass_in_child(std::size_t files, int passes, bool peer) {
    int channel[2];
    if (pipe(channel) != 0) return std::nullopt;
    std::fflush(nullptr);
    const pid_t child = fork();
    if (child == 0) {
        close(channel[0]);
        pass_summary summary;
        const int status = guarded([&] { summary = bench_pass(files, passes, peer); });
        if (status == 0 && write(channel[1], &summary, sizeof summary) != sizeof summary)
            std::fprintf(stderr, "bench_sync: the pass's summary was not passed on\n");
        std::fflush(nullptr);
        _exit(status);
    }
    close(channel[1]);
    pass_summary summary;
    const bool read_whole = child > 0 && read(channel[0], &summary, sizeof summary) ==
                                             static_cast<ssize_t>(sizeof summary);
    close(channel[0]);
    int status = 1;
    if (child > 0) waitpid(child, &status, 0);
    if (!read_whole || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return std::nullopt;
    return summary;
}

// Runs every size; prints what each file added to the whole process's peak
// from one size to the next. False when a size failed.
bool bench_passes(const std::vector<std::size_t>& files, int passes, bool peer) {
    std::vector<pass_summary> summaries;
    for (const std::size_t count : files) {
        const std::optional<pass_summary> summary = pass_in_child(count, passes, peer);
        if (!summary) return false;
        summaries.push_back(*summary);
    }
    for (std::size_t index = 1; index < summaries.size(); ++index) {
        const pass_summary& smaller = summaries[index - 1];
        const pass_summary& larger = summaries[index];
        if (larger.tracked <= smaller.tracked) continue;
        std::printf(
            "whole process's peak resident size from %zu to %zu tracked files: %.1f to %.1f MiB, "
            "%.0f bytes per added file\n",
            smaller.tracked, larger.tracked, static_cast<double>(smaller.whole_peak_kib) / 1024,
            static_cast<double>(larger.whole_peak_kib) / 1024,
            static_cast<double>(larger.whole_peak_kib - smaller.whole_peak_kib) * 1024.0 /
                static_cast<double>(larger.tracked - smaller.tracked));
    }
    std::fflush(stdout);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::size_t> files{10000, 100000};
    std::vector<std::size_t> transfers{1000};
    int passes = 3;
    transfer_options transfer;
    bool peer = false;
    bool transfers_only = false;
    for (int index = 1; index < argc; ++index) {
        const std::string option = argv[index];
        const std::string value = index + 1 < argc ? argv[index + 1] : "";
        if (option == "--files") {
            files = counts_of(value);
            ++index;
        } else if (option == "--transfers") {
            transfers = counts_of(value);
            ++index;
        } else if (option == "--passes") {
            passes = std::stoi(value);
            ++index;
        } else if (option == "--rounds") {
            transfer.rounds = std::stoi(value);
            ++index;
        } else if (option == "--peer") {
            peer = true;
        } else if (option == "--tray") {
            transfer.tray = true;
        } else if (option == "--transfers-only") {
            transfers_only = true;
        } else if (option == "--downloads-only") {
            transfers_only = true;
            transfer.downloads_only = true;
        } else {
            std::fprintf(stderr,
                         "usage: bench_sync [--files N[,N...]] [--passes N] [--peer] "
                         "[--transfers N[,N...]] [--rounds N] [--transfers-only] "
                         "[--downloads-only] [--tray]\n");
            return 2;
        }
    }
    if (!transfers_only && !bench_passes(files, passes, peer)) return 1;
    bool met = true;
    const int status = guarded([&] {
        for (const std::size_t count : transfers) {
            if (count == 0) continue;
            transfer.count = count;
            met = bench_transfers(transfer) && met;
        }
    });
    return status != 0 || !met ? 1 : 0;
}

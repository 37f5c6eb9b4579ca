// The scan pass with nothing to do: wall time and the CPU of the engine and
// of the service per pass, the local walk against find over the same tree,
// memory per tracked file, the bytes the pass wrote to the item tables and,
// with the peer, unison's local-to-local pass over the same tree.
#include "sync_pass_bench.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <boost/filesystem/operations.hpp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "run_program.h"
#include "sync_bench_support.h"
#include "syncer/scan/scan_pass.h"
#include "syncer/scan/scan_walk.h"
#include "syncer/tables/binding_manager.h"
#include "vfs/curl_descriptor.h"

namespace sync_bench {

namespace {

using calvimora::testing::json_object;

// Wall time and CPU of the engine (this process) and of the service.
struct pass_cost {
    double wall = 0;
    double engine_cpu = 0;
    double service_cpu = 0;
};

pass_cost cost_of(pid_t service, const std::function<void()>& run) {
    const double engine_before = own_cpu_seconds();
    const double service_before = process_cpu_seconds(service);
    pass_cost cost;
    cost.wall = seconds_of(run);
    cost.engine_cpu = own_cpu_seconds() - engine_before;
    cost.service_cpu = process_cpu_seconds(service) - service_before;
    return cost;
}

long status_kib(const char* field) {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind(field, 0) == 0) return std::stol(line.substr(std::strlen(field)));
    }
    return 0;
}

// The whole process's peak resident size so far: the largest of the peaks
// read before each reset and the current one.
long whole_peak_kib = 0;

long whole_process_peak_kib() {
    return std::max(whole_peak_kib, status_kib("VmHWM:"));
}

// The process's peak resident size starts again from the current size.
void reset_peak_memory() {
    whole_peak_kib = whole_process_peak_kib();
    std::ofstream("/proc/self/clear_refs") << "5";
}

// Identity of every file in a folder, to tell which ones a pass rewrote.
std::map<std::string, std::pair<std::uint64_t, std::int64_t>> file_identities(
    const fs::path& folder) {
    std::map<std::string, std::pair<std::uint64_t, std::int64_t>> result;
    for (const auto& entry : fs::directory_iterator(folder)) {
        struct stat info {};
        if (::stat(entry.path().c_str(), &info) != 0) continue;
        result[entry.path().filename().string()] = {
            info.st_ino, info.st_mtim.tv_sec * 1000000000LL + info.st_mtim.tv_nsec};
    }
    return result;
}

// The shortest of several runs.
double best_of(int runs, const std::function<void()>& run) {
    double best = 0;
    for (int index = 0; index < runs; ++index) {
        const double seconds = seconds_of(run);
        if (index == 0 || seconds < best) best = seconds;
    }
    return best;
}

// The peer's pass with nothing to do: a local-to-local pass of the same tree
// against a copy of it, its archives in a folder of their own; wall time
// and CPU of each of the given rounds after one that builds the archives.
std::vector<pass_cost> peer_passes(const fs::path& tree, const fs::path& work, int rounds) {
    const fs::path copy = work / "peer-copy";
    const fs::path archives = work / "peer-archives";
    bench_support::run_program({"cp", "-a", tree.string(), copy.string()});
    fs::create_directories(archives);
    setenv("UNISON", archives.c_str(), 1);
    const std::vector<std::string> command{"unison", "-batch", "-silent",     "-times",
                                           "-ui",    "text",   tree.string(), copy.string()};
    bench_support::run_program(command);
    std::vector<pass_cost> costs;
    for (int round = 0; round < rounds; ++round) {
        pass_cost cost;
        const double cpu_before = children_cpu_seconds();
        cost.wall = seconds_of([&] { bench_support::run_program(command); });
        cost.engine_cpu = children_cpu_seconds() - cpu_before;
        costs.push_back(cost);
    }
    unsetenv("UNISON");
    return costs;
}

bool on_path(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::stringstream folders(path ? path : "");
    for (std::string folder; std::getline(folders, folder, ':');) {
        if (::access((fs::path(folder) / program).c_str(), X_OK) == 0) return true;
    }
    return false;
}

}  // namespace

pass_summary bench_pass(std::size_t files, int passes, bool peer) {
    bench_world world;
    const fs::path local = fs::path(world.root.path()) / "tree";
    constexpr int top_folders = 20;
    constexpr int sub_folders = 20;
    const std::size_t per_folder = files / (top_folders * sub_folders);

    // The same tree on both sides: a byte per file, the same time.
    const std::string tree_id = world.service.add_folder(world.user_id, "0", "tree");
    std::vector<std::string> folder_ids(top_folders * sub_folders);
    std::vector<fs::path> folder_paths(folder_ids.size());
    const double seeding = seconds_of([&] {
        for (int top = 0; top < top_folders; ++top) {
            const std::string top_name = "d" + std::to_string(top);
            const std::string top_id = world.service.add_folder(world.user_id, tree_id, top_name);
            for (int sub = 0; sub < sub_folders; ++sub) {
                const std::string sub_name = "s" + std::to_string(sub);
                const std::size_t index = static_cast<std::size_t>(top * sub_folders + sub);
                folder_ids[index] = world.service.add_folder(world.user_id, top_id, sub_name);
                folder_paths[index] = local / top_name / sub_name;
                fs::create_directories(folder_paths[index]);
            }
        }
        std::vector<std::string> names(per_folder);
        for (std::size_t index = 0; index < per_folder; ++index)
            names[index] = "f" + std::to_string(index) + ".txt";
        world.in_parallel(folder_ids.size(), [&](std::size_t folder) {
            world.service.control("add_files", json_object()
                                                   .set("owner_id", world.user_id)
                                                   .set("dir_id", folder_ids[folder])
                                                   .set("names", names)
                                                   .set("content", "x")
                                                   .set("date_modified", file_time));
            for (const std::string& name : names) {
                const fs::path path = folder_paths[folder] / name;
                std::ofstream(path.native()) << "x";
                fs::last_write_time(path, file_time);
            }
        });
    });
    const std::size_t tracked = folder_ids.size() * per_folder;

    const syncer::binding pair = bind_folder(L"tree", local);
    silent_ui ui;
    std::mutex tasks_lock;
    syncer::task_list tasks;
    std::mutex stopped_lock;
    syncer::binding_set stopped;
    syncer::removal_guard guard;
    syncer::stop_signal stop;
    syncer::scan_memory memory;
    syncer::scan_shared shared{
        user, ui, world.environment, tasks_lock, tasks, stopped_lock, stopped, guard, {}, &memory};
    int first_changes = 0;
    const std::int64_t handshakes_at_start = world.service.connections().tls_handshakes;
    const long resident_before = status_kib("VmRSS:");
    reset_peak_memory();
    const pass_cost first = cost_of(world.service.pid(), [&] {
        first_changes = syncer::scan_bindings(shared, false, stop).changed;
    });
    const long first_peak = status_kib("VmHWM:");
    const std::int64_t handshakes_after_first = world.service.connections().tls_handshakes;

    const fs::path settings = syncer::binding_manager::get_settings_directory(user);
    const auto tables_before = file_identities(settings);
    world.service.requests(true);
    std::vector<pass_cost> quiet;
    long peak = 0;
    int changes = 0;
    for (int round = 0; round < passes; ++round) {
        reset_peak_memory();
        quiet.push_back(cost_of(world.service.pid(), [&] {
            changes += syncer::scan_bindings(shared, false, stop).changed;
        }));
        peak = std::max(peak, status_kib("VmHWM:"));
    }
    const long resident_after = status_kib("VmRSS:");
    const std::int64_t handshakes_after_passes = world.service.connections().tls_handshakes;
    std::size_t listings = 0;
    for (const auto& request : world.service.requests(true))
        listings += request.action == "list_dir";
    std::int64_t table_bytes = 0;
    for (const auto& [name, identity] : file_identities(settings)) {
        const auto before = tables_before.find(name);
        if (before == tables_before.end() || before->second != identity)
            table_bytes += static_cast<std::int64_t>(fs::file_size(settings / name));
    }

    // Both walks, then the local walk alone against find over the same tree.
    // They take the hidden marks the passes kept, as the pass's own walks do:
    // a file's mark is read again only when its change time moved.
    // What a walk found goes with it, as a pass's candidates do.
    syncer::binding walked = pair;
    const double walks = seconds_of([&] {
        syncer::collected_items both;
        syncer::walk_context both_context{walked, both, ui, user, stop, &memory.marks};
        memory.marks.begin_pass();
        syncer::collect_candidates(both_context, *world.session);
        memory.marks.end_pass();
    });
    const auto local_walk = [&] {
        syncer::collected_items found;
        syncer::walk_context context{walked, found, ui, user, stop, &memory.marks};
        memory.marks.begin_pass();
        syncer::walk_local(context, pair.dir_remote, pair.dir_local, true);
        memory.marks.end_pass();
        return found.candidates.size();
    };
    std::size_t candidates = 0;
    const double walk = best_of(3, [&] { candidates = local_walk(); });
    const double find_stats = best_of(3, [&] {
        bench_support::run_program({"find", local.string(), "-printf", "%T@ %s %p\n"});
    });

    const pass_summary summary{tracked, whole_process_peak_kib()};
    const auto per_file = [&](long kib) {
        return static_cast<double>(kib - resident_before) * 1024.0 / static_cast<double>(tracked);
    };
    std::printf(
        "pass with nothing to do, %zu files in %zu folders (seeded in %.1f s; load at the end: "
        "%s)\n",
        tracked, folder_ids.size(), seeding, load_averages().c_str());
    std::printf(
        "  first pass (records every file)  %8.3f s wall, engine CPU %.3f s, service CPU %.3f s "
        "(%d tasks, %d questions)\n",
        first.wall, first.engine_cpu, first.service_cpu, first_changes, ui.questions.load());
    std::vector<double> walls, engine_cpus, service_cpus;
    for (const pass_cost& cost : quiet) {
        walls.push_back(cost.wall);
        engine_cpus.push_back(cost.engine_cpu);
        service_cpus.push_back(cost.service_cpu);
    }
    std::printf(
        "  median of %d passes with nothing to do %6.3f s wall, engine CPU %.3f s, service CPU "
        "%.3f s\n",
        passes, median(walls), median(engine_cpus), median(service_cpus));
    if (peer && !on_path("unison")) {
        std::printf("  (no unison on the PATH: the peer's pass is left out)\n");
    } else if (peer) {
        const auto peer_costs = peer_passes(local, fs::path(world.root.path()), passes);
        std::vector<double> peer_walls, peer_cpus;
        for (const pass_cost& cost : peer_costs) {
            peer_walls.push_back(cost.wall);
            peer_cpus.push_back(cost.engine_cpu);
        }
        std::printf(
            "  unison local-to-local, median of %d %6.3f s wall, %.3f s CPU\n"
            "    engine CPU / unison CPU        %8.2f   (engine + service CPU / unison CPU %.2f)\n"
            "    engine wall (service included) / unison wall %.2f\n",
            passes, median(peer_walls), median(peer_cpus), median(engine_cpus) / median(peer_cpus),
            (median(engine_cpus) + median(service_cpus)) / median(peer_cpus),
            median(walls) / median(peer_walls));
    }
    for (const pass_cost& cost : quiet) {
        std::printf(
            "  pass with nothing to do          %8.3f s wall, engine CPU %.3f s (%.1f us per "
            "file), service CPU %.3f s\n",
            cost.wall, cost.engine_cpu, cost.engine_cpu * 1e6 / static_cast<double>(tracked),
            cost.service_cpu);
    }
    std::printf("    (%d tasks in all, %.0f folder listings per pass)\n", changes,
                static_cast<double>(listings) / passes);
    std::printf("    both walks                     %8.3f s\n", walks);
    std::printf("    local walk                     %8.3f s  (%zu candidates)\n", walk, candidates);
    std::printf("  find -printf '%%T@ %%s %%p'         %8.3f s  local walk / find %.2f\n",
                find_stats, walk / find_stats);
    std::printf(
        "  peak memory per tracked file     %8.0f bytes in the first pass, %.0f in a pass with "
        "nothing to do, %.0f kept between passes\n",
        per_file(first_peak), per_file(peak), per_file(resident_after));
    std::printf("  whole process's peak resident    %8.1f MiB\n",
                static_cast<double>(summary.whole_peak_kib) / 1024.0);
    std::printf("  bytes written to the tables      %8lld\n", static_cast<long long>(table_bytes));
    // TLS handshakes the service counted per pass (the control calls'
    // excluded), against the handles the request pool holds.
    std::printf(
        "  TLS handshakes per pass          %8lld in the first pass, %.1f in a pass with "
        "nothing to do (request pool: %zu handles)\n",
        static_cast<long long>(handshakes_after_first - handshakes_at_start),
        static_cast<double>(handshakes_after_passes - handshakes_after_first) / passes,
        vfs_calvimora::request_pool().size());
    std::fflush(stdout);
    return summary;
}

}  // namespace sync_bench

// The sync engine's speed against peers in the same run, on the stand-in
// service:
//
// 1. A scan pass with nothing to do over N local files in a few hundred
//    folders, bound to a remote tree that matches (seeded through the
//    service's control endpoint): wall time and the CPU of the engine and of
//    the service per pass and their medians, the local walk against `find`
//    over the same tree, peak memory per tracked file and what stays between
//    passes, and the bytes the pass wrote to the item tables. With --peer,
//    and unison on the PATH, unison's local-to-local pass over the same tree
//    against a copy of it, with the ratios of CPU and wall time.
// 2. Small files uploaded and downloaded by the engine (a sync manager at the
//    real clock) against the curl tool moving the same files to and from the
//    same FTPS server, plus the service's requests around curl's transfers;
//    medians of several rounds.
//
//   bench_sync [--files N[,N...]] [--passes N] [--peer] [--transfers N[,N...]]
//              [--rounds N] [--transfers-only] [--downloads-only]
//              (default: 10000,100000 files, 3 passes with nothing to do;
//              3 rounds of 1000 transfers of 1 KiB each way; 1000000 files or
//              10000 transfers on request)
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <boost/filesystem/operations.hpp>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "run_program.h"
#include "service_fixture.h"
#include "syncer/answer.h"
#include "syncer/binding_manager.h"
#include "syncer/exceptions.h"
#include "syncer/locked_operations.h"
#include "syncer/manager.h"
#include "syncer/scan_pass.h"
#include "syncer/scan_walk.h"
#include "utils/locale.h"
#include "utils/time_scale.h"
#include "vfs/calvimora_client.h"
#include "vfs/calvimora_exception.h"
#include "vfs/curl_descriptor.h"
#include "vfs/response_node.h"
#include "win/machine.h"

extern char** environ;

namespace {

namespace fs = boost::filesystem;
using clock_type = std::chrono::steady_clock;
using calvimora::testing::json_object;

constexpr std::int64_t file_time = 1650000000;
const std::wstring user = L"bench";
const std::string password = "secret";

double seconds_of(const std::function<void()>& run) {
    const auto start = clock_type::now();
    run();
    return std::chrono::duration<double>(clock_type::now() - start).count();
}

double seconds_of(const timeval& time) {
    return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6;
}

// CPU seconds (user and system) of the ended children waited for so far.
double children_cpu_seconds() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return seconds_of(usage.ru_utime) + seconds_of(usage.ru_stime);
}

// CPU seconds (user and system) of this process so far.
double own_cpu_seconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return seconds_of(usage.ru_utime) + seconds_of(usage.ru_stime);
}

// CPU seconds (user and system) of another process so far.
double process_cpu_seconds(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // The fields after the command name, which may hold blanks, in parentheses.
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    double ticks = 0;
    for (int index = 3; fields >> field; ++index) {
        if (index == 14 || index == 15) ticks += std::stod(field);
        if (index == 15) break;
    }
    return ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
}

double median(std::vector<double> values);

// The machine's load averages over 1, 5 and 15 minutes, as a text.
std::string load_averages() {
    std::ifstream in("/proc/loadavg");
    std::string one, five, fifteen;
    in >> one >> five >> fifteen;
    return one + " " + five + " " + fifteen;
}

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

std::string narrow(const std::wstring& text) {
    return fs::path(text).string();
}

long status_kib(const char* field) {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind(field, 0) == 0) return std::stol(line.substr(std::strlen(field)));
    }
    return 0;
}

// The process's peak resident size starts again from the current size.
void reset_peak_memory() {
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

// A session of its own, and waits scaled as the engine's are.
class bench_environment : public syncer::task_environment {
public:
    explicit bench_environment(vfs::client_ptr session) : session_(std::move(session)) {}
    std::int64_t now() override {
        return std::chrono::duration_cast<std::chrono::seconds>(
                   std::chrono::system_clock::now().time_since_epoch())
            .count();
    }
    void wait(std::chrono::milliseconds duration, const syncer::stop_signal& stop) override {
        stop.wait_for(utils::scaled(duration));
    }
    std::chrono::microseconds real_length(std::chrono::milliseconds duration) override {
        return utils::scaled(duration);
    }
    vfs::client_ptr get_client() override { return session_; }

private:
    vfs::client_ptr session_;
};

// Answers nothing: every binding of the benchmarks allows everything.
class silent_ui : public syncer::user_interface {
public:
    int ask_question(int, const syncer::binding&, const std::wstring&, const std::wstring&,
                     const std::wstring&, bool, bool) override {
        ++questions;
        return syncer::answer_code::no;
    }
    int report_error(int, const std::wstring&, const syncer::binding&, const std::wstring&,
                     const std::wstring&, const std::wstring&, bool) override {
        return 0;
    }
    int show_message(int) override { return syncer::message_shown; }
    int show_result(int, const syncer::binding&, const std::wstring&, const std::wstring&,
                    const std::wstring&) override {
        return syncer::message_shown;
    }
    void tasks_changed() override {}
    std::atomic<int> questions{0};
};

syncer::sync_rule allow_all() {
    using enum syncer::sync_permission;
    return syncer::sync_rule({yes, yes, yes, yes, yes, yes, yes, yes});
}

syncer::binding bind_folder(const std::wstring& dir_remote, const fs::path& local) {
    syncer::binding made(dir_remote, local.wstring(), L"", L"");
    made._type = syncer::binding::type_user_choice;
    made.rule = allow_all();
    syncer::locked_add_binding(user, made);
    return *syncer::locked_get_bindings(user).find(made);
}

// A service, a user logged in, a machine root.
struct bench_world {
    bench_world() {
        utils::imbue_utf8_locale();
        service.export_url();
        user_id = service.add_user(narrow(user), password);
        session = vfs_calvimora::client::log_in(user, fs::path(password).wstring(), L"bench-pc");
        environment = std::make_shared<bench_environment>(session);
    }

    // Runs calls on several threads at once.
    void in_parallel(std::size_t count, const std::function<void(std::size_t)>& call) {
        std::atomic<std::size_t> next{0};
        std::vector<std::thread> workers;
        for (int worker = 0; worker < 16; ++worker) {
            workers.emplace_back([&] {
                for (std::size_t index; (index = next++) < count;) call(index);
            });
        }
        for (auto& worker : workers) worker.join();
    }

    win_machine::scoped_root root;
    calvimora::testing::service service;
    std::string user_id;
    vfs_calvimora::client_ptr session;
    std::shared_ptr<syncer::task_environment> environment;
};

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

void bench_pass(std::size_t files, int passes, bool peer) {
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
    syncer::binding walked = pair;
    syncer::collected_items both;
    syncer::walk_context both_context{walked, both, ui, user, stop};
    const double walks =
        seconds_of([&] { syncer::collect_candidates(both_context, *world.session); });
    const auto local_walk = [&] {
        syncer::collected_items found;
        syncer::walk_context context{walked, found, ui, user, stop};
        syncer::walk_local(context, pair.dir_remote, pair.dir_local, true);
        return found.candidates.size();
    };
    std::size_t candidates = 0;
    const double walk = best_of(3, [&] { candidates = local_walk(); });
    const double find_stats = best_of(3, [&] {
        bench_support::run_program({"find", local.string(), "-printf", "%T@ %s %p\n"});
    });

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
}

// Live files of the user below "/<folder>/" with the given size.
// Live files of the benchmark's user in "/<folder>" with the given size; the
// service lists that folder alone, so polling it costs the service little.
std::size_t stored_files(calvimora::testing::service& service, const std::string& folder,
                         std::int64_t size) {
    const auto listed = service.control(
        "list_folder", json_object().set("user", narrow(user)).set("path", "/" + folder));
    std::size_t count = 0;
    for (const auto& [key, item] : listed.get_child("items")) {
        if (item.get<std::string>("is_folder") == "true") continue;
        count += std::stoll(item.get<std::string>("size")) == size;
    }
    return count;
}

// The paths of the benchmark user's items in the service's trash.
std::vector<std::string> trashed_paths(calvimora::testing::service& service) {
    const auto listed = service.control("list_trash", json_object().set("user", narrow(user)));
    std::vector<std::string> paths;
    for (const auto& [key, path] : listed.get_child("paths")) paths.push_back(path.data());
    return paths;
}

// A first sync that only brings files in never removes anything remote: the
// round fails loudly, naming what went to the trash, when anything did.
void check_nothing_trashed(calvimora::testing::service& service, const char* what, int round) {
    const std::vector<std::string> trashed = trashed_paths(service);
    std::fprintf(stderr, "%s round %d: %zu items in the service's trash\n", what, round,
                 trashed.size());
    if (trashed.empty()) return;
    std::string text = std::string(what) + " round " + std::to_string(round) + ": " +
                       std::to_string(trashed.size()) + " remote items moved to the trash:";
    for (std::size_t index = 0; index < trashed.size() && index < 20; ++index)
        text += " " + trashed[index];
    throw std::runtime_error(text);
}

// The median of some values (the mean of the middle two for an even count).
double median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 != 0 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// One round of small files moved by the engine and by curl.
struct transfer_round {
    double engine = 0;
    double engine_cpu = 0;
    double curl = 0;
    double curl_cpu = 0;
    double requests = 0;  // the service's open and close requests around curl's transfers
};

constexpr std::int64_t small_size = 1024;

// curl in one process that keeps its connection, on a config file of
// transfers; its wall time and CPU.
std::pair<double, double> run_curl(const fs::path& config) {
    const double cpu_before = children_cpu_seconds();
    const double wall = seconds_of([&] {
        bench_support::run_program({"curl", "--config", config.string()});
    });
    return {wall, children_cpu_seconds() - cpu_before};
}

std::string curl_config_head(bench_world& world) {
    return "ssl-reqd\ncacert = \"" + world.service.ca_file() + "\"\nsilent\nshow-error\nuser = \"" +
           world.session->get_transfer_user() + ":" + world.session->get_transfer_password() +
           "\"\n";
}

// Runs a sync manager until the condition holds for all of count files;
// wall time and this process's CPU. Checking lists the whole folder, so it
// is done less often for larger rounds (every 100 ms up to 1000 files, every
// second at 10,000): otherwise the checks themselves load the service the
// engine is waiting for.
std::pair<double, double> run_engine(bench_world& world, std::size_t count,
                                     const std::function<bool()>& finished) {
    const auto check_every = std::chrono::milliseconds(std::max<std::size_t>(100, count / 10));
    silent_ui ui;
    const double cpu_before = own_cpu_seconds();
    const auto start = clock_type::now();
    {
        syncer::manager manager(user, &ui, world.environment);
        while (!finished()) std::this_thread::sleep_for(check_every);
    }
    return {std::chrono::duration<double>(clock_type::now() - start).count(),
            own_cpu_seconds() - cpu_before};
}

transfer_round upload_round(bench_world& world, std::size_t count, int round) {
    const std::string folder = "up" + std::to_string(round);
    const fs::path local = fs::path(world.root.path()) / folder;
    fs::create_directories(local);
    for (std::size_t index = 0; index < count; ++index) {
        const fs::path path = local / ("u" + std::to_string(index) + ".bin");
        std::ofstream(path.native(), std::ios::binary) << std::string(small_size, 'u');
        fs::last_write_time(path, file_time);
    }
    world.service.add_folder(world.user_id, "0", folder);
    const syncer::binding pair = bind_folder(fs::path(folder).wstring(), local);

    transfer_round result;
    std::tie(result.engine, result.engine_cpu) = run_engine(
        world, count, [&] { return stored_files(world.service, folder, small_size) >= count; });
    std::fprintf(stderr, "uploads round %d: engine %.2f s wall, %.2f s CPU\n", round,
                 result.engine, result.engine_cpu);
    syncer::locked_remove_binding(user, pair);
    check_nothing_trashed(world.service, "uploads", round);

    // curl: the same files to upload locations the service handed out; the
    // service's requests around them through the client's session.
    const std::string curl_folder = "curl" + std::to_string(round);
    const std::string folder_id = world.service.add_folder(world.user_id, "0", curl_folder);
    std::vector<std::string> ids(count);
    world.in_parallel(count, [&](std::size_t index) {
        ids[index] = world.service.add_file(world.user_id, folder_id,
                                            "c" + std::to_string(index) + ".bin", "");
    });
    std::vector<std::wstring> locations(count);
    result.requests += seconds_of([&] {
        for (std::size_t index = 0; index < count; ++index) {
            const auto reply =
                world.session->call_cm_operations({{L"action", L"open_file_upload"},
                                                   {L"file_id", fs::path(ids[index]).wstring()},
                                                   {L"size", std::to_wstring(small_size)},
                                                   {L"is_pro", L"0"}});
            locations[index] = vfs_calvimora::find_child_text(reply, L"TempLocation");
        }
    });
    const fs::path config = fs::path(world.root.path()) / ("curl-up" + std::to_string(round));
    {
        std::ofstream out(config.native());
        out << curl_config_head(world);
        for (std::size_t index = 0; index < count; ++index) {
            out << "upload-file = \"" << (local / ("u" + std::to_string(index) + ".bin")).string()
                << "\"\nurl = \"" << world.session->get_transfer_host() << narrow(locations[index])
                << "\"\n";
        }
    }
    std::tie(result.curl, result.curl_cpu) = run_curl(config);
    result.requests += seconds_of([&] {
        for (std::size_t index = 0; index < count; ++index) {
            world.session->call_cm_operations({{L"action", L"close_file_upload"},
                                               {L"file_id", fs::path(ids[index]).wstring()},
                                               {L"temp_location", locations[index]},
                                               {L"file_time", std::to_wstring(file_time)},
                                               {L"file_size", std::to_wstring(small_size)},
                                               {L"is_pro", L"0"}});
        }
    });
    if (stored_files(world.service, curl_folder, small_size) != count)
        throw std::runtime_error("curl's uploads did not all arrive");
    return result;
}

std::size_t local_files_of_size(const fs::path& folder, std::int64_t size) {
    std::size_t count = 0;
    boost::system::error_code ignored;
    for (fs::directory_iterator entry(folder, ignored), end; entry != end;
         entry.increment(ignored)) {
        struct stat info {};
        if (::stat(entry->path().c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
            info.st_size == size)
            ++count;
    }
    return count;
}

transfer_round download_round(bench_world& world, std::size_t count, int round) {
    const std::string folder = "down" + std::to_string(round);
    const std::string folder_id = world.service.add_folder(world.user_id, "0", folder);
    std::vector<std::string> names(count);
    for (std::size_t index = 0; index < count; ++index)
        names[index] = "d" + std::to_string(index) + ".bin";
    const auto added =
        world.service.control("add_files", json_object()
                                               .set("owner_id", world.user_id)
                                               .set("dir_id", folder_id)
                                               .set("names", names)
                                               .set("content", std::string(small_size, 'd'))
                                               .set("date_modified", file_time));
    std::vector<std::string> ids;
    for (const auto& [key, id] : added.get_child("file_ids")) ids.push_back(id.data());
    const fs::path local = fs::path(world.root.path()) / folder;
    fs::create_directories(local);
    const syncer::binding pair = bind_folder(fs::path(folder).wstring(), local);

    transfer_round result;
    std::tie(result.engine, result.engine_cpu) =
        run_engine(world, count, [&] { return local_files_of_size(local, small_size) >= count; });
    syncer::locked_remove_binding(user, pair);
    std::fprintf(stderr, "downloads round %d: engine %.2f s wall, %.2f s CPU\n", round,
                 result.engine, result.engine_cpu);
    check_nothing_trashed(world.service, "downloads", round);
    if (stored_files(world.service, folder, small_size) != count)
        throw std::runtime_error("downloads round " + std::to_string(round) +
                                 ": remote files went missing");

    // curl: the same files fetched from where the service says they lie.
    const fs::path target = fs::path(world.root.path()) / ("curl-down" + std::to_string(round));
    fs::create_directories(target);
    std::vector<std::wstring> locations(count);
    result.requests += seconds_of([&] {
        for (std::size_t index = 0; index < count; ++index) {
            const auto reply = world.session->call_cm_operations(
                {{L"action", L"open_file_download"}, {L"file_id", fs::path(ids[index]).wstring()}});
            locations[index] = vfs_calvimora::find_child_text(reply, L"Location");
        }
    });
    const fs::path config = fs::path(world.root.path()) / ("curl-down" + std::to_string(round));
    {
        std::ofstream out((config.string() + ".config").c_str());
        out << curl_config_head(world);
        for (std::size_t index = 0; index < count; ++index) {
            out << "output = \"" << (target / names[index]).string() << "\"\nurl = \""
                << world.session->get_transfer_host() << narrow(locations[index]) << "\"\n";
        }
    }
    std::tie(result.curl, result.curl_cpu) = run_curl(config.string() + ".config");
    result.requests += seconds_of([&] {
        for (std::size_t index = 0; index < count; ++index) {
            world.session->call_cm_operations({{L"action", L"close_file_download"},
                                               {L"file_id", fs::path(ids[index]).wstring()}});
        }
    });
    if (local_files_of_size(target, small_size) != count)
        throw std::runtime_error("curl's downloads did not all arrive");
    return result;
}

void report_transfers(const char* what, std::size_t count,
                      const std::vector<transfer_round>& rounds) {
    std::vector<double> engine, engine_cpu, curl, curl_cpu, requests, ratio;
    for (const transfer_round& round : rounds) {
        engine.push_back(round.engine);
        engine_cpu.push_back(round.engine_cpu);
        curl.push_back(round.curl);
        curl_cpu.push_back(round.curl_cpu);
        requests.push_back(round.requests);
        ratio.push_back(round.engine / (round.curl + round.requests));
    }
    std::printf("%zu %s of %lld bytes at the real clock, medians of %zu rounds (load at the end: %s)\n",
                count, what, static_cast<long long>(small_size), rounds.size(),
                load_averages().c_str());
    std::printf("  engine (scan, runner, tasks)     %8.2f s wall, %.2f s CPU (%.1f ms a file)\n",
                median(engine), median(engine_cpu), 1000.0 * median(engine) / count);
    std::printf(
        "  curl, one process                %8.2f s wall, %.2f s CPU, + service requests %.2f s\n",
        median(curl), median(curl_cpu), median(requests));
    std::printf("  engine / (curl + requests)       %8.2f   (rounds:", median(ratio));
    for (const double value : ratio) std::printf(" %.2f", value);
    std::printf(")\n");
    std::fflush(stdout);
}

void bench_transfers(std::size_t count, int rounds, bool downloads_only) {
    bench_world world;
    std::vector<transfer_round> uploads;
    std::vector<transfer_round> downloads;
    for (int round = 0; round < rounds; ++round) {
        if (!downloads_only) uploads.push_back(upload_round(world, count, round));
        downloads.push_back(download_round(world, count, round));
    }
    if (!downloads_only) report_transfers("uploads", count, uploads);
    report_transfers("downloads", count, downloads);
}

std::vector<std::size_t> counts_of(const std::string& text) {
    std::vector<std::size_t> counts;
    std::stringstream in(text);
    for (std::string item; std::getline(in, item, ',');) counts.push_back(std::stoul(item));
    return counts;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::size_t> files{10000, 100000};
    std::vector<std::size_t> transfers{1000};
    int passes = 3;
    int rounds = 3;
    bool peer = false;
    bool transfers_only = false;
    bool downloads_only = false;
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
            rounds = std::stoi(value);
            ++index;
        } else if (option == "--peer") {
            peer = true;
        } else if (option == "--transfers-only") {
            transfers_only = true;
        } else if (option == "--downloads-only") {
            transfers_only = true;
            downloads_only = true;
        } else {
            std::fprintf(stderr,
                         "usage: bench_sync [--files N[,N...]] [--passes N] [--peer] "
                         "[--transfers N[,N...]] [--rounds N] [--transfers-only] "
                         "[--downloads-only]\n");
            return 2;
        }
    }
    try {
        if (!transfers_only) {
            for (const std::size_t count : files) bench_pass(count, passes, peer);
        }
        for (const std::size_t count : transfers) {
            if (count > 0) bench_transfers(count, rounds, downloads_only);
        }
        return 0;
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "bench_sync: %s\n", failure.what());
        return 1;
    } catch (const vfs_calvimora::exception& failure) {
        std::fprintf(stderr, "bench_sync: %s: %s\n", syncer::to_utf8(failure.get_title()).c_str(),
                     syncer::to_utf8(failure.get_text()).c_str());
        return 1;
    }
}

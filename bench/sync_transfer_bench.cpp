#include "sync_transfer_bench.h"

#include <sys/stat.h>

#include <algorithm>
#include <boost/filesystem/operations.hpp>
#include <cstdio>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <thread>
#include <tuple>

#include "run_program.h"
#include "sync_bench_support.h"
#include "sync_tray_bench.h"
#include "syncer/core/exceptions.h"
#include "syncer/manager/manager.h"
#include "syncer/tables/locked_operations.h"
#include "vfs/calvimora_exception.h"
#include "vfs/directory.h"
#include "vfs/response_node.h"

namespace sync_bench {

namespace {

using calvimora::testing::json_object;

constexpr std::int64_t small_size = 1024;
// The engine runs this many tasks at once; curl moves as many files at once.
constexpr int transfers_at_once = syncer::manager::most_running_tasks;
constexpr auto engine_deadline = std::chrono::seconds(900);

// One round of small files moved by the engine, by curl and by the tray.
struct transfer_round {
    double engine = 0;
    double engine_cpu = 0;
    double curl = 0;  // curl's transfers and the requests around them
    double curl_cpu = 0;
    double requests = 0;  // of curl's time, the service's requests around its transfers
    std::optional<tray_run> tray;
    // The service's CPU while each worked: with a single lock it is the
    // bottleneck of all three.
    double engine_service_cpu = 0;
    double curl_service_cpu = 0;
    double tray_service_cpu = 0;
};

double service_cpu(bench_world& world) {
    return process_cpu_seconds(world.service.pid());
}

// curl in one process with transfers_at_once transfers at once, on a config
// file of transfers; its wall time and CPU.
std::pair<double, double> run_curl(const fs::path& config) {
    const double cpu_before = children_cpu_seconds();
    const double wall = seconds_of([&] {
        bench_support::run_program({"curl", "--no-progress-meter", "--parallel", "--parallel-max",
                                    std::to_string(transfers_at_once), "--config",
                                    config.string()});
    });
    return {wall, children_cpu_seconds() - cpu_before};
}

std::string curl_config_head(bench_world& world) {
    return "ssl-reqd\ncacert = \"" + world.service.ca_file() + "\"\nsilent\nshow-error\nuser = \"" +
           world.session->get_transfer_user() + ":" + world.session->get_transfer_password() +
           "\"\n";
}

// Runs a sync manager until its own task list tells that the work it queued
// is done: the scan reported a change, and no task of the table is left
// that is not done. Wall time and this process's CPU up to then.
std::pair<double, double> run_engine(bench_world& world, std::size_t count) {
    // Each look copies every task not done, under the lock the runner takes
    // too: larger rounds are looked at less often (every 50 ms up to 2,500
    // files, every 200 ms at 10,000), no more than the tray's window does.
    const auto look_every = std::chrono::milliseconds(std::max<std::size_t>(50, count / 50));
    silent_ui ui;
    const double cpu_before = own_cpu_seconds();
    const auto start = clock_type::now();
    syncer::manager manager(user, &ui, world.environment);
    for (;;) {
        std::this_thread::sleep_for(look_every);
        if (clock_type::now() - start > engine_deadline)
            throw std::runtime_error("the engine did not finish in time");
        if (ui.changes == 0) continue;
        std::list<syncer::task> left;
        try {
            left = manager.get_tasks();
        } catch (const syncer::busy_exception&) {
            continue;
        }
        if (left.empty()) break;
        bool all_failed = true;
        for (const syncer::task& task : left) all_failed = all_failed && task.is_failed();
        if (all_failed)
            throw std::runtime_error("the engine's tasks failed: " +
                                     narrow(left.front().get_message()));
    }
    return {std::chrono::duration<double>(clock_type::now() - start).count(),
            own_cpu_seconds() - cpu_before};
}

std::string file_name(const char* prefix, std::size_t index) {
    return prefix + std::to_string(index) + ".bin";
}

transfer_round upload_round(bench_world& world, std::size_t count, int round, bool tray) {
    const std::string folder = "up" + std::to_string(round);
    const fs::path local = make_local_files(world, folder, count, small_size);
    world.service.add_folder(world.user_id, "0", folder);
    const syncer::binding pair = bind_folder(fs::path(folder).wstring(), local);

    transfer_round result;
    double service_before = service_cpu(world);
    std::tie(result.engine, result.engine_cpu) = run_engine(world, count);
    result.engine_service_cpu = service_cpu(world) - service_before;
    std::fprintf(stderr, "uploads round %d: engine %.2f s wall, %.2f s CPU\n", round, result.engine,
                 result.engine_cpu);
    syncer::locked_remove_binding(user, pair);
    check_nothing_trashed(world.service, "uploads", round);
    if (stored_files(world.service, folder, small_size) != count)
        throw std::runtime_error("the engine's uploads did not all arrive");

    // curl: the same files to upload locations the service handed out for
    // files made through the API, as the engine makes them; the requests on
    // as many threads as curl has transfers.
    const std::string curl_folder = "curl" + std::to_string(round);
    world.service.add_folder(world.user_id, "0", curl_folder);
    const vfs::directory_ptr remote =
        world.session->get_item_by_path(fs::path(curl_folder).wstring(), false);
    service_before = service_cpu(world);
    std::vector<std::wstring> ids(count);
    std::vector<std::wstring> locations(count);
    result.requests += seconds_of([&] {
        world.in_parallel(
            count,
            [&](std::size_t index) {
                const std::wstring name = fs::path(file_name("u", index)).wstring();
                ids[index] = remote->create_file_alloc(name, small_size)->get_id();
                const auto reply =
                    world.session->call_cm_operations({{L"action", L"open_file_upload"},
                                                       {L"file_id", ids[index]},
                                                       {L"size", std::to_wstring(small_size)},
                                                       {L"is_pro", L"0"}});
                locations[index] = vfs_calvimora::find_child_text(reply, L"TempLocation");
            },
            transfers_at_once);
    });
    const fs::path config = fs::path(world.root.path()) / ("curl-up" + std::to_string(round));
    {
        std::ofstream out(config.native());
        out << curl_config_head(world);
        for (std::size_t index = 0; index < count; ++index) {
            out << "upload-file = \"" << (local / file_name("u", index)).string() << "\"\nurl = \""
                << world.session->get_transfer_host() << narrow(locations[index]) << "\"\n";
        }
    }
    std::tie(result.curl, result.curl_cpu) = run_curl(config);
    result.requests += seconds_of([&] {
        world.in_parallel(
            count,
            [&](std::size_t index) {
                world.session->call_cm_operations({{L"action", L"close_file_upload"},
                                                   {L"file_id", ids[index]},
                                                   {L"temp_location", locations[index]},
                                                   {L"file_time", std::to_wstring(file_time)},
                                                   {L"file_size", std::to_wstring(small_size)},
                                                   {L"is_pro", L"0"}});
            },
            transfers_at_once);
    });
    result.curl += result.requests;
    result.curl_service_cpu = service_cpu(world) - service_before;
    if (stored_files(world.service, curl_folder, small_size) != count)
        throw std::runtime_error("curl's uploads did not all arrive");

    if (tray) {
        service_before = service_cpu(world);
        result.tray = run_tray_round(world, "tray" + std::to_string(round), count, small_size);
        result.tray_service_cpu = service_cpu(world) - service_before;
        std::fprintf(stderr, "uploads round %d: tray program %.2f s wall, %.2f s CPU\n", round,
                     result.tray->wall, result.tray->cpu);
        check_nothing_trashed(world.service, "uploads", round);
    }
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
    for (std::size_t index = 0; index < count; ++index) names[index] = file_name("d", index);
    const auto added =
        world.service.control("add_files", json_object()
                                               .set("owner_id", world.user_id)
                                               .set("dir_id", folder_id)
                                               .set("names", names)
                                               .set("content", std::string(small_size, 'd'))
                                               .set("date_modified", file_time));
    std::vector<std::wstring> ids;
    for (const auto& [key, id] : added.get_child("file_ids"))
        ids.push_back(fs::path(id.data()).wstring());
    const fs::path local = fs::path(world.root.path()) / folder;
    fs::create_directories(local);
    const syncer::binding pair = bind_folder(fs::path(folder).wstring(), local);

    transfer_round result;
    double service_before = service_cpu(world);
    std::tie(result.engine, result.engine_cpu) = run_engine(world, count);
    result.engine_service_cpu = service_cpu(world) - service_before;
    syncer::locked_remove_binding(user, pair);
    std::fprintf(stderr, "downloads round %d: engine %.2f s wall, %.2f s CPU\n", round,
                 result.engine, result.engine_cpu);
    check_nothing_trashed(world.service, "downloads", round);
    if (local_files_of_size(local, small_size) != count)
        throw std::runtime_error("the engine's downloads did not all arrive");
    if (stored_files(world.service, folder, small_size) != count)
        throw std::runtime_error("downloads round " + std::to_string(round) +
                                 ": remote files went missing");

    // curl: the same files fetched from where the service says they lie.
    const fs::path target = fs::path(world.root.path()) / ("curl-down" + std::to_string(round));
    fs::create_directories(target);
    std::vector<std::wstring> locations(count);
    service_before = service_cpu(world);
    result.requests += seconds_of([&] {
        world.in_parallel(
            count,
            [&](std::size_t index) {
                const auto reply = world.session->call_cm_operations(
                    {{L"action", L"open_file_download"}, {L"file_id", ids[index]}});
                locations[index] = vfs_calvimora::find_child_text(reply, L"Location");
            },
            transfers_at_once);
    });
    const fs::path config = target.string() + ".config";
    {
        std::ofstream out(config.native());
        out << curl_config_head(world);
        for (std::size_t index = 0; index < count; ++index) {
            out << "output = \"" << (target / names[index]).string() << "\"\nurl = \""
                << world.session->get_transfer_host() << narrow(locations[index]) << "\"\n";
        }
    }
    std::tie(result.curl, result.curl_cpu) = run_curl(config);
    result.requests += seconds_of([&] {
        world.in_parallel(
            count,
            [&](std::size_t index) {
                world.session->call_cm_operations(
                    {{L"action", L"close_file_download"}, {L"file_id", ids[index]}});
            },
            transfers_at_once);
    });
    result.curl += result.requests;
    result.curl_service_cpu = service_cpu(world) - service_before;
    if (local_files_of_size(target, small_size) != count)
        throw std::runtime_error("curl's downloads did not all arrive");
    return result;
}

void print_rounds(const std::vector<double>& values) {
    std::printf("   (rounds:");
    for (const double value : values) std::printf(" %.2f", value);
    std::printf(")\n");
}

// The tray program's targets against the engine and curl of the same run.
constexpr double tray_cpu_target = 1.2;
constexpr double tray_time_target = 1.3;

// Prints the medians; false when the tray program missed a target.
bool report_transfers(const char* what, std::size_t count,
                      const std::vector<transfer_round>& rounds) {
    std::vector<double> engine, engine_cpu, engine_service, curl, curl_cpu, curl_service, requests,
        ratio;
    std::vector<double> tray, tray_cpu, tray_service, tray_to_curl, tray_to_engine_cpu;
    for (const transfer_round& round : rounds) {
        engine.push_back(round.engine);
        engine_cpu.push_back(round.engine_cpu);
        engine_service.push_back(round.engine_service_cpu);
        curl.push_back(round.curl);
        curl_cpu.push_back(round.curl_cpu);
        curl_service.push_back(round.curl_service_cpu);
        requests.push_back(round.requests);
        ratio.push_back(round.engine / round.curl);
        if (round.tray) {
            tray.push_back(round.tray->wall);
            tray_cpu.push_back(round.tray->cpu);
            tray_service.push_back(round.tray_service_cpu);
            tray_to_curl.push_back(round.tray->wall / round.curl);
            tray_to_engine_cpu.push_back(round.tray->cpu / round.engine_cpu);
        }
    }
    std::printf(
        "%zu %s of %lld bytes at the real clock, %d at once, medians of %zu rounds (load at the "
        "end: %s)\n",
        count, what, static_cast<long long>(small_size), transfers_at_once, rounds.size(),
        load_averages().c_str());
    std::printf(
        "  engine (scan, runner, tasks)     %8.2f s wall, %.2f s CPU (%.1f ms a file), service "
        "CPU %.2f s\n",
        median(engine), median(engine_cpu), 1000.0 * median(engine) / count,
        median(engine_service));
    std::printf(
        "  curl, its requests included      %8.2f s wall (requests %.2f s), curl's CPU %.2f s, "
        "service CPU %.2f s\n",
        median(curl), median(requests), median(curl_cpu), median(curl_service));
    std::printf("  engine / curl                    %8.2f", median(ratio));
    print_rounds(ratio);
    bool met = true;
    if (!tray.empty()) {
        std::printf(
            "  tray program, all its processes  %8.2f s wall from its start, %.2f s CPU, service "
            "CPU %.2f s\n",
            median(tray), median(tray_cpu), median(tray_service));
        const bool cpu_met = median(tray_to_engine_cpu) <= tray_cpu_target;
        const bool time_met = median(tray_to_curl) <= tray_time_target;
        std::printf("  tray CPU / engine CPU            %8.2f (target %.2f: %s)",
                    median(tray_to_engine_cpu), tray_cpu_target, cpu_met ? "met" : "MISSED");
        print_rounds(tray_to_engine_cpu);
        std::printf("  tray / curl                      %8.2f (target %.2f: %s)",
                    median(tray_to_curl), tray_time_target, time_met ? "met" : "MISSED");
        print_rounds(tray_to_curl);
        met = cpu_met && time_met;
    }
    std::fflush(stdout);
    return met;
}

}  // namespace

bool bench_transfers(const transfer_options& options) {
    bench_world world;
    std::vector<transfer_round> uploads;
    std::vector<transfer_round> downloads;
    for (int round = 0; round < options.rounds; ++round) {
        if (!options.downloads_only)
            uploads.push_back(upload_round(world, options.count, round, options.tray));
        downloads.push_back(download_round(world, options.count, round));
    }
    const bool met = options.downloads_only || report_transfers("uploads", options.count, uploads);
    report_transfers("downloads", options.count, downloads);
    return met;
}

}  // namespace sync_bench

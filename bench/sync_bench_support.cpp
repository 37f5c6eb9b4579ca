#include "sync_bench_support.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <boost/filesystem/operations.hpp>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "syncer/core/answer.h"
#include "syncer/tables/locked_operations.h"
#include "utils/locale.h"
#include "utils/time_scale.h"

namespace sync_bench {

using calvimora::testing::json_object;

double seconds_of(const std::function<void()>& run) {
    const auto start = clock_type::now();
    run();
    return std::chrono::duration<double>(clock_type::now() - start).count();
}

double seconds_of(const timeval& time) {
    return static_cast<double>(time.tv_sec) + static_cast<double>(time.tv_usec) / 1e6;
}

double children_cpu_seconds() {
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return seconds_of(usage.ru_utime) + seconds_of(usage.ru_stime);
}

double own_cpu_seconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return seconds_of(usage.ru_utime) + seconds_of(usage.ru_stime);
}

double process_cpu_seconds(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (text.empty()) return 0;
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

double median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const std::size_t middle = values.size() / 2;
    return values.size() % 2 != 0 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

std::string load_averages() {
    std::ifstream in("/proc/loadavg");
    std::string one, five, fifteen;
    in >> one >> five >> fifteen;
    return one + " " + five + " " + fifteen;
}

std::string narrow(const std::wstring& text) {
    return fs::path(text).string();
}

std::int64_t bench_environment::now() {
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

void bench_environment::wait(std::chrono::milliseconds duration, const syncer::stop_signal& stop) {
    stop.wait_for(utils::scaled(duration));
}

std::chrono::microseconds bench_environment::real_length(std::chrono::milliseconds duration) {
    return utils::scaled(duration);
}

int silent_ui::ask_question(int, const syncer::binding&, const std::wstring&, const std::wstring&,
                            const std::wstring&, bool, bool) {
    ++questions;
    return syncer::answer_code::no;
}

int silent_ui::report_error(int, const std::wstring&, const syncer::binding&, const std::wstring&,
                            const std::wstring&, const std::wstring&, bool) {
    return 0;
}

int silent_ui::show_message(int) {
    return syncer::message_shown;
}

int silent_ui::show_result(int, const syncer::binding&, const std::wstring&, const std::wstring&,
                           const std::wstring&) {
    return syncer::message_shown;
}

syncer::binding bind_folder(const std::wstring& dir_remote, const fs::path& local) {
    using enum syncer::sync_permission;
    syncer::binding made(dir_remote, local.wstring(), L"", L"");
    made._type = syncer::binding::type_user_choice;
    made.rule = syncer::sync_rule({yes, yes, yes, yes, yes, yes, yes, yes});
    syncer::locked_add_binding(user, made);
    return *syncer::locked_get_bindings(user).find(made);
}

bench_world::bench_world() {
    utils::imbue_utf8_locale();
    service.export_url();
    user_id = service.add_user(narrow(user), password);
    session = vfs_calvimora::client::log_in(user, fs::path(password).wstring(), L"bench-pc");
    environment = std::make_shared<bench_environment>(session);
}

void bench_world::in_parallel(std::size_t count, const std::function<void(std::size_t)>& call,
                              int threads) {
    std::atomic<std::size_t> next{0};
    std::vector<std::thread> workers;
    for (int worker = 0; worker < threads; ++worker) {
        workers.emplace_back([&] {
            for (std::size_t index; (index = next++) < count;) call(index);
        });
    }
    for (auto& worker : workers) worker.join();
}

fs::path make_local_files(bench_world& world, const std::string& folder, std::size_t count,
                          std::int64_t size) {
    const fs::path local = fs::path(world.root.path()) / folder;
    fs::create_directories(local);
    const std::string content(static_cast<std::size_t>(size), 'u');
    for (std::size_t index = 0; index < count; ++index) {
        const fs::path path = local / ("u" + std::to_string(index) + ".bin");
        std::ofstream(path.native(), std::ios::binary) << content;
        fs::last_write_time(path, file_time);
    }
    return local;
}

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

namespace {

// The paths of the benchmark user's items in the service's trash.
std::vector<std::string> trashed_paths(calvimora::testing::service& service) {
    const auto listed = service.control("list_trash", json_object().set("user", narrow(user)));
    std::vector<std::string> paths;
    for (const auto& [key, path] : listed.get_child("paths")) paths.push_back(path.data());
    return paths;
}

}  // namespace

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

}  // namespace sync_bench

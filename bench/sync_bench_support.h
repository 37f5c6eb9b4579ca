// What the parts of bench_sync share: clocks and CPU readings, the world of
// one run (a machine root, a stand-in service, the benchmark's user logged
// in), a user interface that answers nothing, and looks at the service's
// store.
#pragma once

#include <sys/time.h>
#include <sys/types.h>

#include <atomic>
#include <boost/filesystem/path.hpp>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "service_fixture.h"
#include "syncer/core/binding.h"
#include "syncer/core/user_interface.h"
#include "syncer/tasks/task_environment.h"
#include "vfs/calvimora_client.h"
#include "win/machine.h"

namespace sync_bench {

namespace fs = boost::filesystem;
using clock_type = std::chrono::steady_clock;

inline constexpr std::int64_t file_time = 1650000000;
inline const std::wstring user = L"bench";
inline const std::string password = "secret";

double seconds_of(const std::function<void()>& run);
double seconds_of(const timeval& time);
// CPU seconds (user and system) of the ended children waited for so far.
double children_cpu_seconds();
// CPU seconds (user and system) of this process so far.
double own_cpu_seconds();
// CPU seconds (user and system) of another process so far; 0 when it is gone.
double process_cpu_seconds(pid_t pid);
// The median of some values (the mean of the middle two for an even count).
double median(std::vector<double> values);
// The machine's load averages over 1, 5 and 15 minutes, as a text.
std::string load_averages();
std::string narrow(const std::wstring& text);

// A session of its own, and waits scaled as the engine's are.
class bench_environment : public syncer::task_environment {
public:
    explicit bench_environment(vfs::client_ptr session) : session_(std::move(session)) {}
    std::int64_t now() override;
    void wait(std::chrono::milliseconds duration, const syncer::stop_signal& stop) override;
    std::chrono::microseconds real_length(std::chrono::milliseconds duration) override;
    vfs::client_ptr get_client() override { return session_; }

private:
    vfs::client_ptr session_;
};

// Answers nothing: every binding of the benchmarks allows everything. Counts
// the engine's reports that its task list changed.
class silent_ui : public syncer::user_interface {
public:
    int ask_question(int, const syncer::binding&, const std::wstring&, const std::wstring&,
                     const std::wstring&, bool, bool) override;
    int report_error(int, const std::wstring&, const syncer::binding&, const std::wstring&,
                     const std::wstring&, const std::wstring&, bool) override;
    int show_message(int) override;
    int show_result(int, const syncer::binding&, const std::wstring&, const std::wstring&,
                    const std::wstring&) override;
    void tasks_changed() override { ++changes; }
    std::atomic<int> questions{0};
    std::atomic<int> changes{0};
};

// Binds the remote folder to the local one for the benchmark's user, every
// decision allowed; the binding as the table holds it.
syncer::binding bind_folder(const std::wstring& dir_remote, const fs::path& local);

// A service, a user logged in, a machine root.
struct bench_world {
    bench_world();
    // Runs calls on the given number of threads at once.
    void in_parallel(std::size_t count, const std::function<void(std::size_t)>& call,
                     int threads = 16);

    win_machine::scoped_root root;
    calvimora::testing::service service;
    std::string user_id;
    vfs_calvimora::client_ptr session;
    std::shared_ptr<syncer::task_environment> environment;
};

// A new folder of that name under the machine root with count files of size
// bytes, all of the same time; its path.
fs::path make_local_files(bench_world& world, const std::string& folder, std::size_t count,
                          std::int64_t size);

// Live files of the benchmark's user in "/<folder>" with the given size; the
// service lists that folder alone.
std::size_t stored_files(calvimora::testing::service& service, const std::string& folder,
                         std::int64_t size);
// A first sync that only brings files in never removes anything remote: the
// round fails loudly, naming what went to the trash, when anything did.
void check_nothing_trashed(calvimora::testing::service& service, const char* what, int round);

}  // namespace sync_bench

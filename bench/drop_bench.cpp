// Files dropped on the virtual folder through the shell host, against the
// remote storage engine uploading the same files itself and against the
// curl tool sending them to the same FTPS server, in the same run.
//
//   bench_drop [MiB] [files]     (default: one file of 256 MiB; 1000 files of 1 KiB)
//
// Prints the seconds of each way for the folder of small files and for the
// large file, and the ratios of the drop's time to the engine's and to
// curl's. curl's figure counts the service's open and commit requests of
// each file besides its one process sending every file.
#include <boost/make_shared.hpp>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "run_program.h"
#include "shell_browser.h"
#include "shell_drop.h"
#include "shell_host.h"
#include "utils/class_ids.h"
#include "vfs/calvimora_client.h"
#include "vfs/calvimora_exception.h"
#include "vfs/directory.h"
#include "vfs/file.h"
#include "vfs/session.h"
#include "vfs_session_support.h"
#include "win/shell_thread.h"

namespace {

namespace fs = std::filesystem;
using namespace vfs_session_testing;
using clock_type = std::chrono::steady_clock;

const std::wstring module_path(CALVIMORA_MODULE, CALVIMORA_MODULE + sizeof CALVIMORA_MODULE - 1);
constexpr int chunk = 1 << 20;

double seconds_of(const std::function<void()>& run) {
    const auto start = clock_type::now();
    run();
    return std::chrono::duration<double>(clock_type::now() - start).count();
}

std::wstring widen(const std::string& text) {
    return std::wstring(text.begin(), text.end());
}
std::string narrow(const std::wstring& text) {
    return std::string(text.begin(), text.end());
}

void write_random(const fs::path& path, std::int64_t size, unsigned seed) {
    std::mt19937_64 random(seed);
    std::vector<std::uint64_t> block(chunk / sizeof(std::uint64_t));
    std::ofstream out(path, std::ios::binary);
    for (std::int64_t at = 0; at < size; at += chunk) {
        for (auto& word : block) word = random();
        out.write(reinterpret_cast<const char*>(block.data()),
                  static_cast<std::streamsize>(std::min<std::int64_t>(chunk, size - at)));
    }
}

class bench {
public:
    bench(std::int64_t large_bytes, int small_files)
        : large_bytes_(large_bytes), small_files_(small_files) {
        if (shell_host::register_server(module_path) != S_OK)
            throw std::runtime_error("the extension could not be registered");
        user_id_ = env_.service().add_user("bench", "secret");
        vfs_calvimora::login(test_module(), L"bench", L"secret");
        session_ = vfs_calvimora::client::log_in(L"bench", L"secret", L"bench-pc");
        local_ = fs::path(win_machine::app_data_dir()) / "bench_drop";
        for (const char* way : {"shell", "engine", "curl"}) {
            fs::create_directories(local_ / way / "small");
            for (int i = 0; i < small_files_; ++i)
                write_random(local_ / way / "small" / ("f" + std::to_string(i)), 1024, i);
        }
        write_random(local_ / "large.bin", large_bytes_, 99);
        SHSetInstanceExplorer(&process_);
    }
    ~bench() { SHSetInstanceExplorer(nullptr); }

    void run() {
        std::printf("drop through the shell host, FTPS on loopback\n");
        std::printf("%-26s %10s %10s %10s %12s %12s\n", "", "shell s", "engine s", "curl s",
                    "shell/engine", "shell/curl");
        const double shell_small = shell_drop({local_ / "shell" / "small"});
        const double engine_small = engine_folder(local_ / "engine" / "small", L"engine_small");
        const double curl_small = curl_folder(local_ / "curl" / "small");
        report((std::to_string(small_files_) + " files of 1 KiB").c_str(), shell_small,
               engine_small, curl_small);
        const double shell_large = shell_drop({local_ / "large.bin"});
        expect_size(L"large.bin", large_bytes_);
        const double engine_large = engine_file(local_ / "large.bin", L"engine_large.bin");
        const double curl_large = curl_files({local_ / "large.bin"});
        report((std::to_string(large_bytes_ >> 20) + " MiB file").c_str(), shell_large,
               engine_large, curl_large);
    }

private:
    static void report(const char* what, double shell, double engine, double curl) {
        std::printf("%-26s %10.2f %10.2f %10.2f %12.2f %12.2f\n", what, shell, engine, curl,
                    shell / engine, shell / curl);
        std::fflush(stdout);
    }

    double shell_drop(const std::vector<fs::path>& paths) {
        shell_host::com_apartment apartment;
        shell_host::shell_browser browser;
        if (browser.open(utils::clsid_calvimora_folder) != S_OK || browser.list() != S_OK)
            throw std::runtime_error("the folder did not open");
        IDropTarget* target = shell_host::drop_target_of(browser.folder());
        if (!target) throw std::runtime_error("no drop target");
        std::vector<std::wstring> dropped;
        for (const auto& path : paths) dropped.push_back(widen(path.string()));
        shell_host::drop_outcome outcome;
        const double seconds = seconds_of(
            [&] { outcome = shell_host::drop_local_files(target, dropped, false, false); });
        target->Release();
        browser.close();
        if (outcome.effect != DROPEFFECT_COPY) throw std::runtime_error("the drop failed");
        return seconds;
    }

    static void upload(const vfs::directory_ptr& folder, const fs::path& source,
                       const std::wstring& name) {
        const std::int64_t size = static_cast<std::int64_t>(fs::file_size(source));
        auto file = boost::dynamic_pointer_cast<vfs::file>(
            folder->create_and_open_file(name, vfs::modeWrite | vfs::modeOverwrite, size));
        std::ifstream in(source, std::ios::binary);
        std::vector<char> buffer(16384);
        while (in.read(buffer.data(), static_cast<std::streamsize>(buffer.size())) ||
               in.gcount() > 0)
            file->write(buffer.data(), static_cast<int>(in.gcount()));
        file->close(-1);
    }

    vfs::directory_ptr root() const { return session_->get_root_directory(); }

    // Every byte of a drop must have arrived for its time to count.
    void expect_size(const std::wstring& name, std::int64_t size) const {
        const auto file = boost::dynamic_pointer_cast<vfs::file>(root()->get_item(name, true));
        if (!file || file->get_size() != size)
            throw std::runtime_error("the dropped file did not arrive whole");
    }

    double engine_folder(const fs::path& folder, const std::wstring& name) {
        return seconds_of([&] {
            auto remote =
                boost::dynamic_pointer_cast<vfs::directory>(root()->create_directory(name));
            for (const auto& entry : fs::directory_iterator(folder))
                upload(remote, entry.path(), widen(entry.path().filename().string()));
        });
    }

    double engine_file(const fs::path& source, const std::wstring& name) {
        return seconds_of([&] { upload(root(), source, name); });
    }

    double curl_folder(const fs::path& folder) {
        std::vector<fs::path> files;
        for (const auto& entry : fs::directory_iterator(folder)) files.push_back(entry.path());
        return curl_files(files);
    }

    // The files are made empty on the service first (not timed); then
    // their uploads are opened, sent by one curl process and committed.
    double curl_files(const std::vector<fs::path>& files) {
        std::vector<std::string> ids;
        for (std::size_t i = 0; i < files.size(); ++i)
            ids.push_back(env_.service().add_file(
                user_id_, "0", "curl_" + std::to_string(i) + "_" + files[i].filename().string(),
                ""));
        return seconds_of([&] {
            std::vector<std::string> locations;
            std::vector<std::string> arguments = {
                "curl",
                "--ssl-reqd",
                "--cacert",
                env_.service().ca_file(),
                "-s",
                "-S",
                "-u",
                session_->get_transfer_user() + ":" + session_->get_transfer_password()};
            for (std::size_t i = 0; i < files.size(); ++i) {
                const auto reply = session_->call_cm_operations(
                    {{L"action", L"open_file_upload"},
                     {L"file_id", widen(ids[i])},
                     {L"size", std::to_wstring(fs::file_size(files[i]))},
                     {L"is_pro", L"0"}});
                locations.push_back(narrow(vfs_calvimora::find_child_text(reply, L"TempLocation")));
                arguments.insert(arguments.end(), {"-T", files[i].string(),
                                                   session_->get_transfer_host() + locations[i]});
            }
            bench_support::run_program(arguments);
            for (std::size_t i = 0; i < files.size(); ++i)
                session_->call_cm_operations(
                    {{L"action", L"close_file_upload"},
                     {L"file_id", widen(ids[i])},
                     {L"temp_location", widen(locations[i])},
                     {L"file_time", L"1650000000"},
                     {L"file_size", std::to_wstring(fs::file_size(files[i]))},
                     {L"is_pro", L"0"}});
        });
    }

    const std::int64_t large_bytes_;
    const int small_files_;
    environment env_;
    tray_stand_in tray_;
    win_test::process_reference process_;
    std::string user_id_;
    vfs_calvimora::client_ptr session_;
    fs::path local_;
};

}  // namespace

int main(int argc, char** argv) {
    const std::int64_t mib = argc > 1 ? std::atoll(argv[1]) : 256;
    const int files = argc > 2 ? std::atoi(argv[2]) : 1000;
    if (mib <= 0 || files <= 0) {
        std::fprintf(stderr, "usage: bench_drop [MiB] [files]\n");
        return 2;
    }
    try {
        bench(mib << 20, files).run();
    } catch (const vfs::exception& failure) {
        std::fprintf(stderr, "bench_drop: %s: %s\n", narrow(failure.get_title()).c_str(),
                     narrow(failure.get_text()).c_str());
        return 1;
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "bench_drop: %s\n", failure.what());
        return 1;
    }
    return 0;
}

// Throughput of file contents through vfs::file against the stand-in
// service's FTPS server, side by side with the curl command-line tool doing
// the same transfers to the same server in the same run.
//
//   bench_transfer [MiB] [rounds]     (default: 256 MiB, best of 3 rounds)
//
// Prints, for downloads and for uploads, MiB/s of each and their ratio, and
// the processor time each spends per MiB (the benchmark's own process for
// vfs::file, curl's child process for curl) and their ratio. An upload is
// reported twice: the transfer alone, and with the service's commit of the
// file (close_file_upload, which replaces the stored content) that
// vfs::file::close waits for, curl's figures then counting the same request.
// Last, the cost of one buffer hand-over measured on its own.
#include <sys/resource.h>
#include <unistd.h>

#include <boost/make_shared.hpp>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "run_program.h"
#include "service_fixture.h"
#include "vfs/calvimora_client.h"
#include "vfs/calvimora_exception.h"
#include "vfs/calvimora_file.h"
#include "vfs/transfer_stream.h"

namespace {

using calvimora::testing::service;
using clock_type = std::chrono::steady_clock;

constexpr int chunk = 1 << 20;                    // the caller's buffer
constexpr std::size_t libcurl_buffer = 16 << 10;  // what libcurl offers from a local file

double seconds_of(const std::function<void()>& run) {
    const auto start = clock_type::now();
    run();
    return std::chrono::duration<double>(clock_type::now() - start).count();
}

// Processor time (user and system) of this process or of its waited-for
// children so far.
double cpu_seconds(int who) {
    rusage usage{};
    getrusage(who, &usage);
    const auto seconds = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// One timed run: its wall-clock time and the processor time it took.
struct cost {
    double seconds = 0;
    double cpu = 0;

    cost operator+(const cost& other) const { return {seconds + other.seconds, cpu + other.cpu}; }
};

// who: RUSAGE_SELF for work done in this process, RUSAGE_CHILDREN for a
// program it runs and waits for.
cost cost_of(int who, const std::function<void()>& run) {
    const double cpu_before = cpu_seconds(who);
    const double seconds = seconds_of(run);
    return {seconds, cpu_seconds(who) - cpu_before};
}

// The least of each over the rounds.
cost best(const cost& a, const cost& b) {
    return {std::min(a.seconds, b.seconds), std::min(a.cpu, b.cpu)};
}

constexpr cost no_round{1e300, 1e300};

std::wstring widen(const std::string& text) {
    return std::wstring(text.begin(), text.end());
}
std::string narrow(const std::wstring& text) {
    return std::string(text.begin(), text.end());
}

class bench {
public:
    bench(std::int64_t bytes, int rounds) : bytes_(bytes), rounds_(rounds) {
        service_.export_url();
        user_id_ = service_.add_user("bench", "secret");
        session_ = vfs_calvimora::client::log_in(L"bench", L"secret", L"bench-pc");
        target_id_ = service_.add_file(user_id_, "0", "target.bin", "");
        upload_source_ = std::filesystem::temp_directory_path() /
                         ("bench_transfer_" + std::to_string(getpid()) + ".bin");
        write_source();
    }
    ~bench() { std::filesystem::remove(upload_source_); }

    void run() {
        std::printf("transfer of %lld MiB over FTPS on loopback, best of %d rounds\n",
                    static_cast<long long>(bytes_ >> 20), rounds_);
        std::printf("%-22s %21s %21s %7s %9s\n", "", "vfs::file", "curl", "ratio", "CPU ratio");
        std::printf("%-22s %21s %21s %7s %9s\n", "", "MiB/s  CPU ms/MiB", "MiB/s  CPU ms/MiB",
                    "(speed)", "(vfs/curl)");
        // The uploads first: the file they leave is the one downloaded.
        compare_uploads();
        cost ours = no_round;
        cost curl = no_round;
        for (int n = 0; n < rounds_; ++n) {
            ours = best(ours, vfs_download());
            curl = best(curl, curl_download());
        }
        report("download", ours, curl);
        report_fixed_cost();
        report_hand_over();
    }

private:
    // Rounds of the two alternate, so that both meet the same conditions;
    // the least time and the least processor time of each count. A round
    // measures only its transfer (and the commit where it says so).
    void compare_uploads() {
        cost stream = no_round;
        cost whole_file = no_round;
        cost curl = no_round;
        cost curl_and_commit = no_round;
        double commit_seconds = 1e300;
        for (int n = 0; n < rounds_; ++n) {
            stream = best(stream, stream_upload());
            whole_file = best(whole_file, vfs_upload());
            const auto [transfer, commit] = curl_upload();
            curl = best(curl, transfer);
            curl_and_commit = best(curl_and_commit, transfer + commit);
            commit_seconds = std::min(commit_seconds, commit.seconds);
        }
        report("upload, transfer", stream, curl);
        report("upload, with commit", whole_file, curl_and_commit);
        std::printf("%-22s the service's commit of the upload took %.1f ms\n", "",
                    commit_seconds * 1e3);
        std::fflush(stdout);
    }

    void report(const char* what, const cost& ours, const cost& curl) const {
        const double mib = static_cast<double>(bytes_) / (1 << 20);
        std::printf("%-22s %8.1f %11.2f  %8.1f %11.2f  %6.2f %9.2f\n", what, mib / ours.seconds,
                    ours.cpu * 1e3 / mib, mib / curl.seconds, curl.cpu * 1e3 / mib,
                    curl.seconds / ours.seconds, ours.cpu / curl.cpu);
        std::fflush(stdout);
    }

    void write_source() const {
        std::mt19937_64 random(11);
        std::vector<std::uint64_t> block(chunk / sizeof(std::uint64_t));
        std::ofstream out(upload_source_, std::ios::binary);
        for (std::int64_t at = 0; at < bytes_; at += chunk) {
            for (auto& word : block) word = random();
            out.write(reinterpret_cast<const char*>(block.data()),
                      static_cast<std::streamsize>(std::min<std::int64_t>(chunk, bytes_ - at)));
        }
    }

    boost::shared_ptr<vfs_calvimora::file> file_object(const std::string& id) {
        vfs_calvimora::file_record record;
        record.id = widen(id);
        record.location = widen("/files/" + id);
        record.size = service_.file_info(id).size;
        return boost::make_shared<vfs_calvimora::file>(*session_, record, 0, L"");
    }

    // From open to close, the service's requests included.
    cost vfs_download() {
        auto file = file_object(target_id_);
        std::vector<char> buffer(chunk);
        std::int64_t total = 0;
        const cost spent = cost_of(RUSAGE_SELF, [&] {
            file->open(vfs::modeRead, 0);
            for (int got; (got = file->read(buffer.data(), chunk)) > 0;) total += got;
            file->close(-1);
        });
        if (total != bytes_) throw std::runtime_error("short download");
        return spent;
    }

    // From open to close, the service's requests and its commit included.
    cost vfs_upload() {
        auto file = file_object(target_id_);
        std::ifstream in(upload_source_, std::ios::binary);
        std::vector<char> buffer(chunk);
        const cost spent = cost_of(RUSAGE_SELF, [&] {
            file->open(vfs::modeWrite | vfs::modeOverwrite, bytes_);
            while (in.read(buffer.data(), chunk) || in.gcount() > 0) {
                file->write(buffer.data(), static_cast<int>(in.gcount()));
            }
            file->close(-1);
        });
        if (service_.file_info(target_id_).size != bytes_) throw std::runtime_error("short upload");
        return spent;
    }

    // The transfer vfs::file makes, without the service's requests around it:
    // the bytes of the file through its transfer stream, until the server
    // confirmed them.
    cost stream_upload() {
        const std::string location = open_upload();
        vfs_calvimora::transfer_stream stream(
            session_->get_transfer_host(), session_->get_transfer_user(),
            session_->get_transfer_password(), 0, 0, session_->get_ca_file());
        std::ifstream in(upload_source_, std::ios::binary);
        std::vector<char> buffer(chunk);
        bool complete = false;
        const cost spent = cost_of(RUSAGE_SELF, [&] {
            stream.transfer_open(location, vfs_calvimora::transfer_stream::upload);
            while (in.read(buffer.data(), chunk) || in.gcount() > 0) {
                stream.transfer_write(buffer.data(), static_cast<int>(in.gcount()));
            }
            complete = stream.transfer_close();
        });
        if (!complete) throw std::runtime_error("upload not confirmed");
        commit_upload(location);
        return spent;
    }

    std::string open_upload() const {
        const auto reply = session_->call_cm_operations({{L"action", L"open_file_upload"},
                                                         {L"file_id", widen(target_id_)},
                                                         {L"size", std::to_wstring(bytes_)},
                                                         {L"is_pro", L"0"}});
        return narrow(find_child_text(reply, L"TempLocation"));
    }

    void commit_upload(const std::string& location) const {
        session_->call_cm_operations({{L"action", L"close_file_upload"},
                                      {L"file_id", widen(target_id_)},
                                      {L"temp_location", widen(location)},
                                      {L"file_time", L"1650000000"},
                                      {L"file_size", std::to_wstring(bytes_)},
                                      {L"is_pro", L"0"}});
    }

    std::vector<std::string> curl_common(const std::string& path) const {
        return {"curl",
                "--ssl-reqd",
                "--cacert",
                service_.ca_file(),
                "-s",
                "-S",
                "-u",
                session_->get_transfer_user() + ":" + session_->get_transfer_password(),
                session_->get_transfer_host() + path};
    }

    cost curl_download() const {
        auto arguments = curl_common("/files/" + target_id_);
        arguments.insert(arguments.end(), {"-o", "/dev/null"});
        return cost_of(RUSAGE_CHILDREN, [&] { bench_support::run_program(arguments); });
    }

    // curl writes to an upload location the service handed out, as the
    // client's own upload does; the commit of what it sent follows, measured
    // on its own (the time of its request; its processor time is this
    // process's).
    std::pair<cost, cost> curl_upload() const {
        const std::string location = open_upload();
        auto arguments = curl_common(location);
        arguments.insert(arguments.end(), {"-T", upload_source_.string()});
        const cost transfer =
            cost_of(RUSAGE_CHILDREN, [&] { bench_support::run_program(arguments); });
        const cost commit = cost_of(RUSAGE_SELF, [&] { commit_upload(location); });
        return {transfer, commit};
    }

    // What a vfs::file transfer costs besides its bytes: the service's open
    // and close requests and the transfer server's connection, measured on
    // an empty upload.
    void report_fixed_cost() {
        const std::string empty_id = service_.add_file(user_id_, "0", "empty.bin", "");
        auto file = file_object(empty_id);
        double fastest = 1e300;
        for (int n = 0; n < rounds_; ++n) {
            fastest = std::min(fastest, seconds_of([&] {
                                   file->open(vfs::modeWrite | vfs::modeOverwrite, 0);
                                   file->close(-1);
                               }));
        }
        std::printf("fixed cost of one vfs::file transfer (requests, connection): %.1f ms\n",
                    fastest * 1e3);
    }

    // The cost of one buffer hand-over between the worker and the caller:
    // a local file read through the stream against the same file read by
    // libcurl straight into a callback, so that neither TLS nor the server
    // counts. libcurl offers 16 KiB buffers; the caller takes each whole.
    void report_hand_over() const {
        constexpr std::int64_t size = std::int64_t{256} << 20;
        const std::string path = upload_source_.string() + ".local";
        {
            std::ofstream out(path, std::ios::binary);
            const std::vector<char> zeros(chunk);
            for (std::int64_t at = 0; at < size; at += chunk) out.write(zeros.data(), chunk);
        }
        std::vector<char> out(libcurl_buffer);
        vfs_calvimora::transfer_stream stream("file://", "", "", 0, 0, "");
        const double stream_seconds = seconds_of([&] {
            stream.transfer_open(path, vfs_calvimora::transfer_stream::download, size);
            while (stream.transfer_read(out.data(), static_cast<int>(libcurl_buffer)) > 0) {
            }
            stream.transfer_close();
        });
        const double direct_seconds = seconds_of([&] {
            CURL* handle = curl_easy_init();
            const std::string url = "file://" + path;
            curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
            curl_easy_setopt(handle, CURLOPT_WRITEDATA, out.data());
            curl_easy_setopt(
                handle, CURLOPT_WRITEFUNCTION,
                +[](char* data, std::size_t size, std::size_t count, void* to) {
                    std::memcpy(to, data, std::min(size * count, libcurl_buffer));
                    return size * count;
                });
            curl_easy_perform(handle);
            curl_easy_cleanup(handle);
        });
        std::filesystem::remove(path);
        const double hand_overs = static_cast<double>(size) / libcurl_buffer;
        std::printf(
            "hand-over of one 16 KiB buffer: %.1f us (local file: stream %.0f MiB/s, "
            "libcurl alone %.0f MiB/s)\n",
            (stream_seconds - direct_seconds) / hand_overs * 1e6,
            static_cast<double>(size >> 20) / stream_seconds,
            static_cast<double>(size >> 20) / direct_seconds);
    }

    const std::int64_t bytes_;
    const int rounds_;
    service service_;
    std::string user_id_;
    vfs_calvimora::client_ptr session_;
    std::string target_id_;
    std::filesystem::path upload_source_;
};

}  // namespace

int main(int argc, char** argv) {
    const std::int64_t mib = argc > 1 ? std::atoll(argv[1]) : 256;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 3;
    if (mib <= 0 || rounds <= 0) {
        std::fprintf(stderr, "usage: bench_transfer [MiB] [rounds]\n");
        return 2;
    }
    try {
        bench(mib << 20, rounds).run();
    } catch (const vfs::exception& failure) {
        std::fprintf(stderr, "bench_transfer: %s: %s\n", narrow(failure.get_title()).c_str(),
                     narrow(failure.get_text()).c_str());
        return 1;
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "bench_transfer: %s\n", failure.what());
        return 1;
    }
    return 0;
}

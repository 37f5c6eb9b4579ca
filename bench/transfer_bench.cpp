// Throughput of file contents through vfs::file against the stand-in
// service's FTPS server, side by side with the curl command-line tool doing
// the same transfers to the same server in the same run.
//
//   bench_transfer [MiB] [rounds]     (default: 256 MiB, best of 3 rounds)
//
// Prints MiB/s of each and the ratio, for downloads and for uploads, and
// the cost of one buffer hand-over measured on its own.
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
        // The uploads first: the file they leave is the one downloaded.
        compare(
            "upload", [this] { return vfs_upload(); }, [this] { return curl_upload(); });
        compare(
            "download", [this] { return vfs_download(); }, [this] { return curl_download(); });
        report_fixed_cost();
        report_hand_over();
    }

private:
    // Rounds of the two alternate, so that both meet the same conditions;
    // the shortest round of each counts. A round measures only its transfer.
    void compare(const char* direction, const std::function<double()>& ours,
                 const std::function<double()>& curl) const {
        double vfs_seconds = 1e300;
        double curl_seconds = 1e300;
        for (int n = 0; n < rounds_; ++n) {
            vfs_seconds = std::min(vfs_seconds, ours());
            curl_seconds = std::min(curl_seconds, curl());
        }
        const double mib = static_cast<double>(bytes_) / (1 << 20);
        std::printf("%-8s  vfs::file %8.1f MiB/s   curl %8.1f MiB/s   ratio %.2f\n", direction,
                    mib / vfs_seconds, mib / curl_seconds, curl_seconds / vfs_seconds);
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
    double vfs_download() {
        auto file = file_object(target_id_);
        std::vector<char> buffer(chunk);
        std::int64_t total = 0;
        const double seconds = seconds_of([&] {
            file->open(vfs::modeRead, 0);
            for (int got; (got = file->read(buffer.data(), chunk)) > 0;) total += got;
            file->close(-1);
        });
        if (total != bytes_) throw std::runtime_error("short download");
        return seconds;
    }

    double vfs_upload() {
        auto file = file_object(target_id_);
        std::ifstream in(upload_source_, std::ios::binary);
        std::vector<char> buffer(chunk);
        const double seconds = seconds_of([&] {
            file->open(vfs::modeWrite | vfs::modeOverwrite, bytes_);
            while (in.read(buffer.data(), chunk) || in.gcount() > 0) {
                file->write(buffer.data(), static_cast<int>(in.gcount()));
            }
            file->close(-1);
        });
        if (service_.file_info(target_id_).size != bytes_) throw std::runtime_error("short upload");
        return seconds;
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

    double curl_download() const {
        auto arguments = curl_common("/files/" + target_id_);
        arguments.insert(arguments.end(), {"-o", "/dev/null"});
        return seconds_of([&] { bench_support::run_program(arguments); });
    }

    // curl writes to an upload location the service handed out, as the
    // client's own upload does.
    double curl_upload() const {
        const auto reply = session_->call_cm_operations({{L"action", L"open_file_upload"},
                                                         {L"file_id", widen(target_id_)},
                                                         {L"size", std::to_wstring(bytes_)},
                                                         {L"is_pro", L"0"}});
        auto arguments = curl_common(narrow(find_child_text(reply, L"TempLocation")));
        arguments.insert(arguments.end(), {"-T", upload_source_.string()});
        return seconds_of([&] { bench_support::run_program(arguments); });
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

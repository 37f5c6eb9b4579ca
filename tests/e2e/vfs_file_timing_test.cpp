// Stalled transfers and slow callers, on a scaled clock set before anything
// reads it: the stall time-out of 60 s becomes 3 s.
#include <chrono>
#include <cstdlib>
#include <thread>

#include "utils/time_scale.h"
#include "vfs_file_support.h"

namespace calvimora::testing {
namespace {

using clock_type = std::chrono::steady_clock;

const bool scale_set = setenv(utils::time_scale_variable, "0.05", 1) == 0;
constexpr auto stall_timeout = std::chrono::seconds(3);

class file_timing_test : public file_session_test {
protected:
    file_timing_test() { EXPECT_TRUE(scale_set && utils::time_scale() == 0.05); }

    void arm_stall(const std::string& direction, std::int64_t after, double seconds) {
        transfer_fault stall;
        stall.direction = direction;
        stall.kind = "stall";
        stall.after = after;
        stall.seconds = seconds;
        service_.arm(stall);
    }
};

TEST_F(file_timing_test, AStalledDownloadFailsAfterTheStallTimeOutAndThenResumes) {
    const std::string content = pattern(400000, 1);
    auto file = stored_file("a.bin", content);
    arm_stall("download", 50000, 20);
    file->open(vfs::modeRead, 0);
    std::string out;
    std::string buffer(10000, '\0');
    const auto start = clock_type::now();
    std::wstring failure;
    while (failure.empty()) {
        failure = failure_text([&] {
            out.append(buffer.data(), static_cast<std::size_t>(file->read(buffer.data(), 10000)));
        });
    }
    const auto waited = clock_type::now() - start;
    EXPECT_EQ(L"Read failed: Please, check your internet connection or firewall settings", failure);
    EXPECT_GE(waited, stall_timeout);
    EXPECT_LT(waited, std::chrono::seconds(15));

    out += read_all(*file, 10000);
    EXPECT_TRUE(same_bytes(content, out));
    file->close(-1);
}

TEST_F(file_timing_test, AStalledUploadFailsAfterTheStallTimeOut) {
    auto file = stored_file("a.bin", "old");
    arm_stall("upload", 100000, 20);
    file->open(vfs::modeWrite | vfs::modeOverwrite, 64 << 20);
    const std::string block = pattern(1 << 20, 2);
    const auto start = clock_type::now();
    std::wstring failure;
    for (int written = 0; failure.empty() && written < 64; ++written) {
        failure = failure_text([&] { file->write(block.data(), static_cast<int>(block.size())); });
    }
    EXPECT_EQ(L"Write failed: Please, check your internet connection or firewall settings",
              failure);
    EXPECT_LT(clock_type::now() - start, std::chrono::seconds(15));
}

TEST_F(file_timing_test, ACallerSlowerThanTheStallTimeOutIsNoStall) {
    const std::string content = pattern(300000, 3);
    auto file = stored_file("a.bin", content);
    file->open(vfs::modeRead, 0);
    std::string out(content.size(), '\0');
    ASSERT_EQ(20000, file->read(out.data(), 20000));
    // The caller keeps libcurl's buffer longer than the stall time-out.
    std::this_thread::sleep_for(stall_timeout + std::chrono::seconds(1));
    ASSERT_EQ(280000, file->read(out.data() + 20000, 280000));
    EXPECT_TRUE(same_bytes(content, out));
    file->close(-1);

    auto target = stored_file("b.bin", "");
    target->open(vfs::modeWrite | vfs::modeOverwrite, 300000);
    target->write(content.data(), 150000);
    std::this_thread::sleep_for(stall_timeout + std::chrono::seconds(1));
    target->write(content.data() + 150000, 150000);
    target->close(-1);
    EXPECT_EQ(md5(content), service_.file_info(narrow(target->get_id())).md5);
}

}  // namespace
}  // namespace calvimora::testing

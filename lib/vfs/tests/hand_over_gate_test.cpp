// The meeting point of a transfer's caller and worker, driven from two
// threads: a download's bytes reach the caller's request across libcurl's
// buffers and wait for the next request when they do not fit, the caller
// learns the end together with its last bytes, a give-back releases the
// worker, and a waiting thread sleeps.
#include <gtest/gtest.h>
#include <time.h>

#include <chrono>
#include <string>
#include <thread>

#include "vfs/transfer_stream.h"

namespace vfs_calvimora {
namespace {

std::string fetch(hand_over_gate& gate, std::size_t length, bool* ended = nullptr) {
    std::string bytes(length, '\0');
    const hand_over_gate::fetched got = gate.fetch(bytes.data(), length);
    if (ended != nullptr) *ended = got.ended;
    return bytes.substr(0, got.bytes);
}

double thread_cpu_seconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

TEST(HandOverGate, ADownloadFillsEachRequestFromSeveralBuffersAndKeepsWhatDidNotFit) {
    hand_over_gate gate;
    std::thread worker([&] {
        // libcurl's buffers as they come; each is taken whole in the end.
        for (const std::string buffer : {"abcd", "efgh", "ijkl", "mnop"}) {
            EXPECT_EQ(4u, gate.deliver(buffer.data(), buffer.size()));
        }
        gate.finish();
    });
    bool ended = true;
    EXPECT_EQ("abcdefghij", fetch(gate, 10, &ended));
    EXPECT_FALSE(ended);
    EXPECT_EQ("klm", fetch(gate, 3, &ended));
    EXPECT_FALSE(ended);
    // The rest and the end of the data come together.
    EXPECT_EQ("nop", fetch(gate, 10, &ended));
    EXPECT_TRUE(ended);
    EXPECT_EQ("", fetch(gate, 10, &ended));
    EXPECT_TRUE(ended);
    worker.join();
}

TEST(HandOverGate, ARequestFilledAtTheEndOfABufferWaitsForWhatComesNext) {
    hand_over_gate gate;
    std::thread worker([&] {
        const std::string last = "wxyz";
        gate.deliver(last.data(), last.size());
        gate.finish();
    });
    bool ended = false;
    // Exactly the last bytes: the caller is told that the data ended.
    EXPECT_EQ("wxyz", fetch(gate, 4, &ended));
    EXPECT_TRUE(ended);
    worker.join();

    gate.reset();
    std::thread next([&] {
        for (const std::string buffer : {"1234", "5678"}) gate.deliver(buffer.data(), 4);
        gate.finish();
    });
    EXPECT_EQ("1234", fetch(gate, 4, &ended));
    EXPECT_FALSE(ended);
    EXPECT_EQ("5678", fetch(gate, 4, &ended));
    EXPECT_TRUE(ended);
    next.join();
}

TEST(HandOverGate, TheFirstBytesAreOfferedAndAGiveBackReleasesTheWorkerHoldingThem) {
    hand_over_gate gate;
    std::size_t taken = 99;
    std::thread worker([&] {
        const std::string buffer = "held bytes";
        taken = gate.deliver(buffer.data(), buffer.size());
        gate.finish();
    });
    EXPECT_TRUE(gate.wait_for_offer());
    gate.give_back();
    EXPECT_FALSE(gate.wait_for_offer());  // the end, and it stays reported
    EXPECT_FALSE(gate.wait_for_offer());
    worker.join();
    EXPECT_EQ(0u, taken);
}

TEST(HandOverGate, ACallerWaitingForASlowTransferSleeps) {
    hand_over_gate gate;
    constexpr auto slow = std::chrono::milliseconds(300);
    // Taken before the worker starts its sleep, which may begin at once.
    const auto start = std::chrono::steady_clock::now();
    std::thread worker([&] {
        std::this_thread::sleep_for(slow);  // the network, taking its time
        const std::string buffer = "late";
        gate.deliver(buffer.data(), buffer.size());
        gate.finish();
    });
    const double cpu_before = thread_cpu_seconds();
    EXPECT_EQ("late", fetch(gate, 4));
    const double cpu = thread_cpu_seconds() - cpu_before;
    EXPECT_GE(std::chrono::steady_clock::now() - start, slow);
    EXPECT_LT(cpu, 0.03) << "the wait used the processor";
    worker.join();
}

}  // namespace
}  // namespace vfs_calvimora

// Faults during passes (failing requests, cut transfers, the service away
// for a while, the manager's process killed) are followed by passes that
// converge, with nothing lost.
#include <random>

#include "sync_manager_process.h"
#include "sync_support.h"

namespace sync_testing {
namespace {

using calvimora::testing::request_fault;
using calvimora::testing::transfer_fault;
using syncer::scan_testing::scripted_ui;

constexpr std::int64_t t0 = 1650000000;

std::string bytes(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string result(size, '\0');
    for (char& c : result) c = static_cast<char>(random());
    return result;
}

request_fault request(const std::string& target, const std::string& kind, int count, int skip = 0) {
    request_fault fault;
    fault.target = target;
    fault.kind = kind;
    fault.count = count;
    fault.skip = skip;
    return fault;
}

transfer_fault transfer(const std::string& direction, const std::string& kind, std::int64_t after,
                        int count, double seconds = 1) {
    transfer_fault fault;
    fault.direction = direction;
    fault.kind = kind;
    fault.after = after;
    fault.count = count;
    fault.seconds = seconds;
    return fault;
}

class SyncFaults : public testing::Test {
protected:
    void start() { engine = std::make_unique<syncer::manager>(sync_world::user, &ui); }

    std::int64_t upload_bytes_so_far() {
        std::int64_t most = 0;
        const auto state = world.service().control("state");
        for (const auto& [key, upload] : state.get_child("uploads")) {
            const std::string location = "/uploads/" + upload.get<std::string>("token");
            try {
                most = std::max(most, world.service().upload_info(location).size);
            } catch (const std::exception&) {
                // Committed or dropped meanwhile.
            }
        }
        return most;
    }

    bool transfer_command_seen(const std::string& command) {
        for (const auto& logged : world.service().transfer_commands())
            if (logged.command == command) return true;
        return false;
    }

    sync_world world;
    scripted_ui ui;
    std::unique_ptr<syncer::manager> engine;
};

TEST_F(SyncFaults, FailingRequestsAndCutTransfersAreOvercome) {
    world.put_local(L"up.bin", bytes(300000, 1), t0);
    world.put_local(L"up.txt", "small up", t0);
    world.put_remote(L"sync/down.bin", bytes(300000, 2), t0);
    world.put_remote(L"sync/down.txt", "small down", t0);
    calvimora::testing::service& service = world.service();
    service.arm(request("list_dir", "error", 2, 1));
    service.arm(request("close_file_upload", "drop", 1));
    service.arm(request("*", "garbage", 2, 6));
    service.arm(transfer("upload", "cut", 100000, 1));
    service.arm(transfer("download", "cut", 100000, 1));
    const syncer::binding pair = world.bind(L"sync", L"", allow_all());
    start();
    ASSERT_TRUE(converged(world, *engine, pair, L"sync", L"", std::chrono::seconds(120)));
    const side_files result = world.local_files();
    EXPECT_EQ(result.size(), 4u);
    EXPECT_EQ(result.at(L"up.bin").content, bytes(300000, 1));
    EXPECT_EQ(result.at(L"down.bin").content, bytes(300000, 2));
}

TEST_F(SyncFaults, TheServiceAwayForAWhileOnlyDelaysTheSync) {
    world.put_local(L"early.txt", "early", t0);
    calvimora::testing::service& service = world.service();
    const syncer::binding pair = world.bind(L"sync", L"", allow_all());
    service.arm(request("*", "refuse", 0));
    service.arm(transfer("*", "refuse", 0, 0));
    start();
    // Passes and tasks fail meanwhile; the user keeps working.
    ASSERT_TRUE(eventually([&] {
        for (const auto& logged : service.requests())
            if (logged.fault == "refuse") return true;
        return false;
    }));
    world.put_local(L"meanwhile.txt", "meanwhile", t0 + 10);
    world.force(pair);
    EXPECT_TRUE(eventually([&] { return world.remote_files(L"sync").empty(); }));

    service.disarm();
    ASSERT_TRUE(converged(world, *engine, pair, L"sync", L"", std::chrono::seconds(120)));
    EXPECT_EQ(world.remote_files(L"sync").size(), 2u);
}

TEST_F(SyncFaults, AManagerKilledMidTransferIsRestartedAndConverges) {
    world.put_local(L"send.bin", bytes(600000, 3), t0);
    world.put_remote(L"sync/fetch.bin", bytes(600000, 4), t0);
    const syncer::binding pair = world.bind(L"sync", L"", allow_all());
    start();
    ASSERT_TRUE(converged(world, *engine, pair, L"sync"));
    engine.reset();

    // Both files change; their transfers stall half-way and the process
    // doing them is killed.
    world.put_local(L"send.bin", bytes(600000, 5), t0 + 100);
    world.put_remote(L"sync/fetch.bin", bytes(600000, 6), t0 + 100);
    world.service().arm(transfer("upload", "stall", 200000, 1, 60));
    world.service().arm(transfer("download", "stall", 200000, 1, 60));
    {
        manager_process helper;
        ASSERT_TRUE(eventually(
            [&] { return upload_bytes_so_far() >= 100000 && transfer_command_seen("RETR"); }));
        helper.kill_now();
    }
    world.service().disarm();

    // Nothing was half-written on either side.
    const side_files local_now = world.local_files();
    EXPECT_EQ(local_now.at(L"send.bin").content, bytes(600000, 5));
    const std::string fetched = local_now.at(L"fetch.bin").content;
    EXPECT_TRUE(fetched == bytes(600000, 4) || fetched == bytes(600000, 6));
    const std::string sent = world.remote_files(L"sync").at(L"send.bin").content;
    EXPECT_TRUE(sent == bytes(600000, 3) || sent == bytes(600000, 5));

    start();
    ASSERT_TRUE(converged(world, *engine, pair, L"sync", L"", std::chrono::seconds(120)));
    const side_files result = world.local_files();
    EXPECT_EQ(result.at(L"send.bin").content, bytes(600000, 5));
    EXPECT_EQ(result.at(L"fetch.bin").content, bytes(600000, 6));
}

// An upload killed after it created its remote file leaves an empty file,
// newer than the local one, in its place. The next manager sends the content
// over it; a second folder bound to the same remote folder never takes the
// empty file for a newer version and gets the content once it is there.
TEST_F(SyncFaults, AnUploadKilledAfterCreatingItsFileIsCompletedByTheNextManager) {
    world.put_local(L"mine/new.bin", bytes(600000, 7), t0);
    const syncer::binding mine = world.bind(L"sync", L"mine", allow_all());
    world.service().arm(transfer("upload", "stall", 200000, 1, 60));
    {
        manager_process helper;
        ASSERT_TRUE(eventually([&] { return upload_bytes_so_far() >= 100000; }));
        helper.kill_now();
    }
    world.service().disarm();
    const side_files left = world.remote_files(L"sync");
    ASSERT_EQ(left.count(L"new.bin"), 1u);
    EXPECT_TRUE(left.at(L"new.bin").content.empty());
    EXPECT_GT(left.at(L"new.bin").time, t0);

    const syncer::binding theirs = world.bind(L"sync", L"theirs", allow_all());
    start();
    ASSERT_TRUE(converged(world, *engine, mine, L"sync", L"mine", std::chrono::seconds(120)));
    ASSERT_TRUE(converged(world, *engine, theirs, L"sync", L"theirs"));
    EXPECT_EQ(world.remote_files(L"sync").at(L"new.bin"), (side_file{bytes(600000, 7), t0}));
    EXPECT_EQ(world.local_files(L"theirs").at(L"new.bin").content, bytes(600000, 7));
}

}  // namespace
}  // namespace sync_testing

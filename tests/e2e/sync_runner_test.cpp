// The runner against the stand-in service: never more than five transfers
// at once, and stopping and resuming everything mid-way loses nothing.
#include <atomic>
#include <thread>

#include "sync_support.h"

namespace sync_testing {
namespace {

constexpr std::int64_t t0 = 1650000000;

int running(const std::list<syncer::task>& tasks) {
    int count = 0;
    for (const syncer::task& job : tasks) count += job.is_running();
    return count;
}

TEST(SyncRunner, FiveAtMostAndStopAllThenResumeAll) {
    sync_world world;
    syncer::scan_testing::scripted_ui ui;
    for (int index = 0; index < 8; ++index)
        world.put_local(L"file" + std::to_wstring(index) + L".bin", std::string(200000, 'x'), t0);
    calvimora::testing::transfer_fault slow;
    slow.direction = "upload";
    slow.kind = "stall";
    slow.after = 100000;
    slow.seconds = 1;
    slow.count = 0;
    world.service().arm(slow);
    const syncer::binding pair = world.bind(L"sync", L"", allow_all());
    syncer::manager engine(sync_world::user, &ui);

    std::atomic<int> most{0};
    std::atomic<bool> watching{true};
    std::thread watcher([&] {
        while (watching) {
            most = std::max(most.load(), running(tasks_of(engine)));
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    });
    EXPECT_TRUE(eventually([&] { return running(tasks_of(engine)) >= 3; }));

    engine.stop_all();
    const std::list<syncer::task> stopped = tasks_of(engine);
    EXPECT_EQ(running(stopped), 0);
    for (const syncer::task& job : stopped) EXPECT_TRUE(job.is_stopped() || job.is_done());

    world.service().disarm();
    engine.resume_all();
    EXPECT_TRUE(converged(world, engine, pair, L"sync"));
    watching = false;
    watcher.join();
    EXPECT_LE(most.load(), syncer::manager::most_running_tasks);
    EXPECT_EQ(world.remote_files(L"sync").size(), 8u);
}

}  // namespace
}  // namespace sync_testing

// The sync manager's process killed (SIGKILL) right after its transfers, in
// the middle of an upload, and at random moments while a person works: once
// a manager runs again, what the person removed stays removed, a rename is
// not doubled, and no empty remote file is left from an upload that never
// sent its bytes.
#include <boost/filesystem/operations.hpp>
#include <random>
#include <set>
#include <thread>

#include "sync_manager_process.h"
#include "sync_support.h"
#include "syncer/core/exceptions.h"

namespace sync_testing {
namespace {

using calvimora::testing::transfer_fault;
using syncer::scan_testing::scripted_ui;

constexpr std::int64_t t0 = 1650000000;

std::string bytes(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::string result(size, '\0');
    for (char& c : result) c = static_cast<char>(random());
    return result;
}

class SyncKills : public testing::Test {
protected:
    SyncKills() {
        for (int kind = syncer::message_kind::upload_new;
             kind <= syncer::message_kind::recurse_subfolders; ++kind)
            ui.answer(kind, syncer::answer_code::yes);
    }

    void start() { engine = std::make_unique<syncer::manager>(sync_world::user, &ui); }

    // Files known on both sides before the test's own, so that its removals
    // are never most of the pair's files.
    syncer::binding bind_with_files_that_stay() {
        for (const wchar_t* name : {L"stays-1.txt", L"stays-2.txt", L"stays-3.txt"})
            world.put_local(name, "stays", t0);
        const syncer::binding pair = world.bind(L"sync", L"", allow_all());
        start();
        EXPECT_TRUE(converged(world, *engine, pair, L"sync"));
        engine.reset();
        return pair;
    }

    std::string remote_content(const std::wstring& name) {
        const side_files remote = world.remote_files(L"sync");
        const auto file = remote.find(name);
        return file == remote.end() ? std::string("(none)") : file->second.content;
    }

    std::size_t stores_begun() {
        std::size_t count = 0;
        for (const auto& logged : world.service().transfer_commands())
            count += logged.command == "STOR";
        return count;
    }

    sync_world world;
    scripted_ui ui;
    std::unique_ptr<syncer::manager> engine;
};

TEST_F(SyncKills, ResultsOfTransfersSurviveAKillRightAfterThem) {
    const syncer::binding pair = bind_with_files_that_stay();
    world.put_local(L"up-removed.txt", "sent, then removed here", t0);
    world.put_local(L"up-renamed.txt", "sent, then renamed here", t0);
    world.put_remote(L"sync/down-removed-here.txt", "fetched, then removed here", t0);
    world.put_remote(L"sync/down-removed-there.txt", "fetched, then removed there", t0);
    {
        manager_process helper;
        ASSERT_TRUE(eventually([&] {
            const side_files local = world.local_files();
            return remote_content(L"up-removed.txt") == "sent, then removed here" &&
                   remote_content(L"up-renamed.txt") == "sent, then renamed here" &&
                   local.contains(L"down-removed-here.txt") &&
                   local.contains(L"down-removed-there.txt");
        }));
        helper.kill_now();
    }
    world.remove_local(L"up-removed.txt");
    fs::rename(world.local_path(L"up-renamed.txt"), world.local_path(L"renamed.txt"));
    world.remove_local(L"down-removed-here.txt");
    world.remove_remote(L"sync/down-removed-there.txt");

    start();
    ASSERT_TRUE(converged(world, *engine, pair, L"sync"));
    EXPECT_EQ(text_of(world.local_files()),
              "renamed.txt (23 bytes, 1650000000) stays-1.txt (5 bytes, 1650000000) "
              "stays-2.txt (5 bytes, 1650000000) stays-3.txt (5 bytes, 1650000000) ");
}

// Killed after creating the remote files and before sending their bytes;
// meanwhile the person removes one local file and renames another, and
// someone else writes into the third remote file. The empty files the
// engine made go to the service's trash; the one someone wrote stays.
TEST_F(SyncKills, AnUploadKilledBeforeItsBytesLeavesNoEmptyFileBehind) {
    const syncer::binding pair = bind_with_files_that_stay();
    world.put_local(L"removed.bin", bytes(600000, 1), t0);
    world.put_local(L"renamed.bin", bytes(600000, 2), t0);
    world.put_local(L"written.bin", bytes(600000, 3), t0);
    transfer_fault stall;
    stall.direction = "upload";
    stall.kind = "stall";
    stall.after = 0;
    stall.count = 3;
    stall.seconds = 60;
    world.service().arm(stall);
    world.service().transfer_commands(true);
    {
        manager_process helper;
        ASSERT_TRUE(eventually([&] { return stores_begun() == 3; }));
        helper.kill_now();
    }
    world.service().disarm();
    for (const wchar_t* name : {L"removed.bin", L"renamed.bin", L"written.bin"})
        ASSERT_EQ(remote_content(name), "") << syncer::to_utf8(name);
    world.remove_local(L"removed.bin");
    fs::rename(world.local_path(L"renamed.bin"), world.local_path(L"moved.bin"));
    world.remove_local(L"written.bin");
    world.put_remote(L"sync/written.bin", "theirs", t0 + 50);

    start();
    ASSERT_TRUE(converged(world, *engine, pair, L"sync"));
    const side_files remote = world.remote_files(L"sync");
    EXPECT_EQ(remote.count(L"removed.bin") + remote.count(L"renamed.bin"), 0u) << text_of(remote);
    EXPECT_EQ(remote_content(L"moved.bin"), bytes(600000, 2));
    EXPECT_EQ(remote_content(L"written.bin"), "theirs");
    std::set<std::string> trashed;
    const auto state = world.service().control("state");
    for (const auto& [key, item] : state.get_child("items")) {
        if (item.get<std::string>("live") != "true") trashed.insert(item.get<std::string>("path"));
    }
    EXPECT_EQ(trashed, (std::set<std::string>{"/sync/removed.bin", "/sync/renamed.bin"}));
}

// A person adds, edits, removes and renames files while the manager's
// process is killed fifteen times at random moments and started again.
// Afterwards both sides hold exactly what the person left.
TEST_F(SyncKills, KillsAtRandomMomentsUndoNoRemovalAndDoubleNoRename) {
    const syncer::binding pair = bind_with_files_that_stay();
    std::map<std::wstring, std::string> expected;
    for (const wchar_t* name : {L"stays-1.txt", L"stays-2.txt", L"stays-3.txt"})
        expected[name] = "stays";
    std::mt19937 random(42);
    int next_name = 0;
    const auto pick = [&]() -> std::wstring {
        std::vector<std::wstring> names;
        for (const auto& [name, content] : expected) {
            if (!name.starts_with(L"stays")) names.push_back(name);
        }
        if (names.empty()) return L"";
        return names[std::uniform_int_distribution<std::size_t>(0, names.size() - 1)(random)];
    };
    const auto work = [&] {
        const int action = std::uniform_int_distribution<int>(0, 3)(random);
        const std::wstring name = pick();
        if (action == 0 || name.empty()) {
            const std::wstring added = L"file-" + std::to_wstring(next_name++) + L".txt";
            expected[added] = "made " + syncer::to_utf8(added);
            world.put_local(added, expected[added], t0 + next_name);
        } else if (action == 1) {
            expected[name] += " edited";
            world.put_local(name, expected[name], t0 + 100 + next_name++);
        } else if (action == 2) {
            expected.erase(name);
            world.remove_local(name);
        } else {
            const std::wstring moved = L"file-" + std::to_wstring(next_name++) + L".txt";
            expected[moved] = expected[name];
            expected.erase(name);
            fs::rename(world.local_path(name), world.local_path(moved));
        }
    };
    for (int kill = 0; kill < 15; ++kill) {
        manager_process helper;
        for (int step = 0; step < 3; ++step) {
            work();
            std::this_thread::sleep_for(
                std::chrono::milliseconds(std::uniform_int_distribution<int>(50, 700)(random)));
        }
        helper.kill_now();
        work();
    }

    start();
    ASSERT_TRUE(converged(world, *engine, pair, L"sync", L"", std::chrono::seconds(120)));
    const auto listed = [](const std::map<std::wstring, std::string>& files) {
        std::string text;
        for (const auto& [name, content] : files)
            text += syncer::to_utf8(name) + ": " + content + "; ";
        return text;
    };
    std::map<std::wstring, std::string> found;
    for (const auto& [name, file] : world.local_files()) found[name] = file.content;
    EXPECT_EQ(listed(found), listed(expected));
}

}  // namespace
}  // namespace sync_testing

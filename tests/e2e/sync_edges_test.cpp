// Changes that look alike to a careless engine: a removal right after a
// transfer against a file that is new, an edit on one side against a clock
// that ran ahead, a rename by case against a removal and a new file, a file
// dated 1969 or earlier against a missing one, and the last file of a pair
// removed against a drive that is not mounted.
#include <boost/filesystem/operations.hpp>

#include "sync_support.h"

namespace sync_testing {
namespace {

using syncer::scan_testing::scripted_ui;

constexpr std::int64_t t0 = 1650000000;
// 2100-01-01: the synced time of a file stamped by a clock that ran ahead.
constexpr std::int64_t year_2100 = 4102444800;
// 1965-01-01.
constexpr std::int64_t year_1965 = -157766400;

class SyncEdges : public testing::Test {
protected:
    void start() { engine = std::make_unique<syncer::manager>(sync_world::user, &ui); }

    // Until a pass asked for now has ended.
    void run_pass(const syncer::binding& target) {
        world.force(target);
        ASSERT_TRUE(eventually([&] {
            return !syncer::locked_get_bindings(sync_world::user).find(target)->force_sync_once;
        }));
    }

    bool remote_has(const std::wstring& path) { return world.remote_files(L"sync").contains(path); }

    sync_world world;
    scripted_ui ui;
    std::unique_ptr<syncer::manager> engine;
};

// The pair's only file: its removal is asked about.
TEST_F(SyncEdges, AFileRemovedRightAfterItsUploadStaysRemovedOnBothSides) {
    ui.answer(syncer::message_kind::remove_remote_file, syncer::scan_testing::yes);
    world.put_local(L"a.txt", "uploaded", t0);
    const syncer::binding pair = world.bind(L"sync", L"", allow_all());
    start();
    // Removed as soon as the copy is there, before a pass records it.
    ASSERT_TRUE(eventually([&] { return remote_has(L"a.txt"); }));
    world.remove_local(L"a.txt");
    ASSERT_TRUE(converged(world, *engine, pair, L"sync"));
    EXPECT_TRUE(world.local_files().empty()) << text_of(world.local_files());
}

TEST_F(SyncEdges, AFileRemovedRightAfterItsDownloadStaysRemovedOnBothSides) {
    ui.answer(syncer::message_kind::remove_local_file, syncer::scan_testing::yes);
    world.put_remote(L"sync/b.txt", "downloaded", t0);
    const syncer::binding pair = world.bind(L"sync", L"", allow_all());
    start();
    ASSERT_TRUE(eventually([&] { return fs::exists(world.local_path(L"b.txt")); }));
    world.remove_remote(L"sync/b.txt");
    ASSERT_TRUE(converged(world, *engine, pair, L"sync"));
    EXPECT_TRUE(world.remote_files(L"sync").empty()) << text_of(world.remote_files(L"sync"));
}

TEST_F(SyncEdges, AFileRemovedRightAfterTheEngineStoppedIsNotFetchedBackAtTheNextStart) {
    world.put_local(L"stays.txt", "stays", t0);
    const syncer::binding pair = world.bind(L"sync", L"", allow_all());
    start();
    ASSERT_TRUE(converged(world, *engine, pair, L"sync"));
    world.put_local(L"c.txt", "uploaded", t0);
    world.force(pair);
    // The engine ends as soon as the copy is there, before a pass records it.
    ASSERT_TRUE(eventually([&] { return remote_has(L"c.txt"); }));
    engine.reset();
    world.remove_local(L"c.txt");
    start();
    ASSERT_TRUE(converged(world, *engine, pair, L"sync"));
    EXPECT_EQ(text_of(world.local_files()), "stays.txt (5 bytes, 1650000000) ");
}

// Both sides agreed on files stamped 2100; an edit made now on one side
// carries an earlier time, yet it is the change.
TEST_F(SyncEdges, AnEditOnOneSideWinsOverACopyStampedByAClockAhead) {
    world.put_local(L"local-edit.txt", "base", year_2100);
    world.put_local(L"remote-edit.txt", "base", year_2100);
    const syncer::binding pair = world.bind(L"sync", L"", allow_all());
    start();
    ASSERT_TRUE(converged(world, *engine, pair, L"sync"));

    world.put_local(L"local-edit.txt", "edited here", t0);
    world.put_remote(L"sync/remote-edit.txt", "edited there", t0);
    world.force(pair);
    ASSERT_TRUE(converged(world, *engine, pair, L"sync"));
    const side_files result = world.local_files();
    EXPECT_EQ(result.at(L"local-edit.txt").content, "edited here");
    EXPECT_EQ(result.at(L"remote-edit.txt").content, "edited there");
}

TEST_F(SyncEdges, ARenameByCaseOnlyOfAFileAndAFolderReachesTheService) {
    world.put_local(L"l4.txt", "four", t0);
    world.put_local(L"Dir/x.txt", "ex", t0);
    world.put_local(L"Dir/y.txt", "why", t0);
    const syncer::binding pair = world.bind(L"sync", L"", allow_all());
    start();
    ASSERT_TRUE(converged(world, *engine, pair, L"sync"));

    fs::rename(world.local_path(L"l4.txt"), world.local_path(L"L4.txt"));
    fs::rename(world.local_path(L"Dir"), world.local_path(L"dir"));
    world.force(pair);
    ASSERT_TRUE(converged(world, *engine, pair, L"sync"));
    const side_files remote = world.remote_files(L"sync");
    EXPECT_EQ(remote.size(), 3u) << text_of(remote);
    EXPECT_TRUE(remote.contains(L"L4.txt") && remote.contains(L"dir/x.txt") &&
                remote.contains(L"dir/y.txt"))
        << text_of(remote);
    // Nothing went to the trash on the way.
    const auto state = world.service().control("state");
    for (const auto& [key, item] : state.get_child("items"))
        EXPECT_EQ(item.get<std::string>("live"), "true") << item.get<std::string>("path");
}

TEST_F(SyncEdges, ARenameByCaseOnlyOnTheServiceArrivesLocally) {
    world.put_remote(L"sync/m5.txt", "five", t0);
    world.put_remote(L"sync/Other/z.txt", "zed", t0);
    const syncer::binding pair = world.bind(L"sync", L"", allow_all());
    start();
    ASSERT_TRUE(converged(world, *engine, pair, L"sync"));

    world.rename_remote(L"sync/m5.txt", L"M5.txt");
    world.rename_remote(L"sync/Other", L"other");
    world.force(pair);
    ASSERT_TRUE(converged(world, *engine, pair, L"sync"));
    const side_files local = world.local_files();
    EXPECT_EQ(local.size(), 2u) << text_of(local);
    EXPECT_TRUE(local.contains(L"M5.txt") && local.contains(L"other/z.txt")) << text_of(local);
}

TEST_F(SyncEdges, FilesDatedAtMinusOneAndBefore1970SyncAsAnyOther) {
    world.put_local(L"minus-one.txt", "a second before 1970", -1);
    world.put_local(L"sixties.txt", "1965", year_1965);
    world.put_remote(L"sync/remote-minus-one.txt", "from the service", -1);
    world.put_remote(L"sync/remote-sixties.txt", "from the service, 1965", year_1965);
    const syncer::binding pair = world.bind(L"sync", L"", allow_all());
    start();
    ASSERT_TRUE(converged(world, *engine, pair, L"sync"));
    const side_files remote = world.remote_files(L"sync");
    ASSERT_EQ(remote.size(), 4u) << text_of(remote);
    EXPECT_EQ(remote.at(L"minus-one.txt").time, -1);
    EXPECT_EQ(remote.at(L"sixties.txt").time, year_1965);
    EXPECT_EQ(world.local_files().at(L"remote-minus-one.txt").time, -1);

    // Known on both sides now: a removal goes across as a removal.
    world.remove_local(L"minus-one.txt");
    world.remove_remote(L"sync/remote-sixties.txt");
    world.force(pair);
    ASSERT_TRUE(converged(world, *engine, pair, L"sync"));
    EXPECT_EQ(world.remote_files(L"sync").size(), 2u) << text_of(world.remote_files(L"sync"));
}

// Removing every file of a pair is asked about, whatever its rule says.
TEST_F(SyncEdges, TheLastFileOfAPairRemovedLocallyGoesAcrossWhenTheUserSaysSo) {
    world.put_local(L"only.txt", "the one file", t0);
    const syncer::binding pair = world.bind(L"sync", L"", allow_all());
    start();
    ASSERT_TRUE(converged(world, *engine, pair, L"sync"));

    ui.answer(syncer::message_kind::remove_remote_file, syncer::scan_testing::yes);
    world.remove_local(L"only.txt");
    ASSERT_TRUE(converged(world, *engine, pair, L"sync"));
    EXPECT_TRUE(world.remote_files(L"sync").empty());
    EXPECT_TRUE(ui.notices().empty());
    const auto questions = ui.questions();
    ASSERT_EQ(questions.size(), 1u);
    EXPECT_EQ(questions[0].kind, syncer::message_kind::remove_remote_file);
    EXPECT_EQ(questions[0].filename, L"only.txt");
}

TEST_F(SyncEdges, EveryFileOfAPairRemovedRemotelyGoesAcrossWhenTheUserSaysSo) {
    world.put_remote(L"sync/one.txt", "1", t0);
    world.put_remote(L"sync/two.txt", "2", t0);
    const syncer::binding pair = world.bind(L"sync", L"", allow_all());
    start();
    ASSERT_TRUE(converged(world, *engine, pair, L"sync"));

    ui.answer(syncer::message_kind::remove_local_file,
              syncer::scan_testing::yes + syncer::answer_code::apply_to_all);
    world.remove_remote(L"sync/one.txt");
    world.remove_remote(L"sync/two.txt");
    ASSERT_TRUE(converged(world, *engine, pair, L"sync"));
    EXPECT_TRUE(world.local_files().empty());
    // One question answered for both, and both files in the trash.
    ASSERT_EQ(ui.kinds(), std::vector<int>{syncer::message_kind::remove_local_file});
    EXPECT_TRUE(ui.questions()[0].offer_apply_to_all);
    const fs::path trash = win_machine::trash_dir();
    EXPECT_TRUE(fs::exists(trash / "files" / "one.txt") && fs::exists(trash / "files" / "two.txt"));
}

// An unmounted drive leaves its mount point: an empty folder of the same path
// that is not the folder the files were in.
TEST_F(SyncEdges, AnEmptyFolderInPlaceOfTheBoundOneRemovesNothingAndIsToldOnce) {
    world.put_local(L"kept.txt", "kept", t0);
    const syncer::binding pair = world.bind(L"sync", L"", allow_all());
    start();
    ASSERT_TRUE(converged(world, *engine, pair, L"sync"));

    const fs::path mounted = world.local_path(L"").string() + "-drive";
    fs::rename(world.local_path(L""), mounted);
    fs::create_directories(world.local_path(L""));
    for (int pass = 0; pass < 4; ++pass) run_pass(pair);
    EXPECT_TRUE(remote_has(L"kept.txt"));
    ASSERT_EQ(ui.notices().size(), 1u);
    EXPECT_NE(ui.notices()[0].find(pair.dir_local), std::wstring::npos);

    // The drive is back: nothing was lost, nothing is to do.
    fs::remove(world.local_path(L""));
    fs::rename(mounted, world.local_path(L""));
    ASSERT_TRUE(converged(world, *engine, pair, L"sync"));
    EXPECT_TRUE(world.local_files().contains(L"kept.txt"));
}

}  // namespace
}  // namespace sync_testing

// Folders as the person changes them: a file replaced by a folder of the same
// name and a folder by a file, on either side, and folders removed or renamed.
// Each goes across within a few passes; what it replaces on the other side
// is removed as any removal there is (on the service, to its trash).
#include <boost/filesystem/operations.hpp>

#include "sync_support.h"

namespace sync_testing {
namespace {

using syncer::scan_testing::asked_question;
using syncer::scan_testing::scripted_ui;
using syncer::scan_testing::yes;
namespace kind = syncer::message_kind;

constexpr std::int64_t t0 = 1650000000;

class SyncFolders : public testing::Test {
protected:
    void start() { engine = std::make_unique<syncer::manager>(sync_world::user, &ui); }

    // Until both sides hold the same files and the same folders.
    ::testing::AssertionResult folders_converged(const syncer::binding& pair) {
        if (auto files = converged(world, *engine, pair, L"sync"); !files) return files;
        side_folders local;
        side_folders remote;
        const bool same = eventually([&] {
            local = world.local_folders();
            remote = world.remote_folders(L"sync");
            if (local == remote && tasks_of(*engine).empty()) return true;
            world.force(pair);
            return false;
        });
        if (same) return converged(world, *engine, pair, L"sync");
        return ::testing::AssertionFailure()
               << "local: " << text_of(local) << "; remote: " << text_of(remote);
    }

    std::vector<int> kinds_asked_about(const std::wstring& dir_remote,
                                       const std::wstring& filename) const {
        std::vector<int> kinds;
        for (const asked_question& question : ui.questions()) {
            if (question.dir_remote == dir_remote && question.filename == filename)
                kinds.push_back(question.kind);
        }
        return kinds;
    }

    sync_world world;
    scripted_ui ui;
    std::unique_ptr<syncer::manager> engine;
};

TEST_F(SyncFolders, AFileReplacedLocallyByAFolderOfItsNameGoesAcross) {
    world.put_local(L"report", "the old report", t0);
    world.put_local(L"other.txt", "other", t0);
    const syncer::binding pair = world.bind(L"sync", L"", allow_all());
    start();
    ASSERT_TRUE(converged(world, *engine, pair, L"sync"));

    world.remove_local(L"report");
    world.put_local(L"report/part1.txt", "part one", t0 + 10);
    world.put_local(L"report/deep/part2.txt", "part two", t0 + 10);
    world.force(pair);
    ASSERT_TRUE(folders_converged(pair));
    const side_files remote = world.remote_files(L"sync");
    EXPECT_EQ(remote.size(), 3u) << text_of(remote);
    EXPECT_EQ(remote.at(L"report/part1.txt").content, "part one");
    EXPECT_EQ(remote.at(L"report/deep/part2.txt").content, "part two");
    EXPECT_TRUE(world.in_remote_trash(L"sync/report", false));
}

TEST_F(SyncFolders, AFolderReplacedLocallyByAFileOfItsNameGoesAcross) {
    world.put_local(L"report/part1.txt", "part one", t0);
    world.put_local(L"report/deep/part2.txt", "part two", t0);
    world.put_local(L"other.txt", "other", t0);
    const syncer::binding pair = world.bind(L"sync", L"", allow_all());
    start();
    ASSERT_TRUE(folders_converged(pair));

    world.remove_local(L"report");
    world.put_local(L"report", "the report as one file", t0 + 10);
    world.force(pair);
    ASSERT_TRUE(folders_converged(pair));
    const side_files remote = world.remote_files(L"sync");
    EXPECT_EQ(remote.size(), 2u) << text_of(remote);
    EXPECT_EQ(remote.at(L"report").content, "the report as one file");
    EXPECT_TRUE(world.in_remote_trash(L"sync/report", true));
}

TEST_F(SyncFolders, AFileReplacedRemotelyByAFolderOfItsNameArrives) {
    world.put_remote(L"sync/report", "the old report", t0);
    world.put_remote(L"sync/other.txt", "other", t0);
    const syncer::binding pair = world.bind(L"sync", L"", allow_all());
    start();
    ASSERT_TRUE(converged(world, *engine, pair, L"sync"));

    world.remove_remote(L"sync/report");
    world.put_remote(L"sync/report/part1.txt", "part one", t0 + 10);
    world.put_remote(L"sync/report/deep/part2.txt", "part two", t0 + 10);
    world.force(pair);
    ASSERT_TRUE(folders_converged(pair));
    const side_files local = world.local_files();
    EXPECT_EQ(local.size(), 3u) << text_of(local);
    EXPECT_EQ(local.at(L"report/part1.txt").content, "part one");
    EXPECT_EQ(local.at(L"report/deep/part2.txt").content, "part two");
}

TEST_F(SyncFolders, AFolderReplacedRemotelyByAFileOfItsNameArrives) {
    world.put_remote(L"sync/report/part1.txt", "part one", t0);
    world.put_remote(L"sync/report/deep/part2.txt", "part two", t0);
    world.put_remote(L"sync/other.txt", "other", t0);
    const syncer::binding pair = world.bind(L"sync", L"", allow_all());
    start();
    ASSERT_TRUE(folders_converged(pair));

    world.remove_remote(L"sync/report");
    world.put_remote(L"sync/report", "the report as one file", t0 + 10);
    world.force(pair);
    ASSERT_TRUE(folders_converged(pair));
    const side_files local = world.local_files();
    EXPECT_EQ(local.size(), 2u) << text_of(local);
    EXPECT_EQ(local.at(L"report").content, "the report as one file");
}

// The person removes a folder as soon as its files are across, before a pass
// has seen the folder on both sides.
TEST_F(SyncFolders, AFolderRemovedLocallyRightAfterItsUploadIsAskedAboutAndGoesAcross) {
    world.put_local(L"kept.txt", "kept", t0);
    world.put_local(L"sub/inner.txt", "inner", t0);
    world.put_local(L"sub/deeper/leaf.txt", "leaf", t0);
    const syncer::binding pair = world.bind(L"sync", L"", syncer::sync_rule());
    for (int question = kind::upload_new; question <= kind::remove_local_folder; ++question)
        ui.answer(question, yes);
    start();
    ASSERT_TRUE(eventually([&] { return world.remote_files(L"sync").size() == 3; }));
    ui.forget_questions();

    world.remove_local(L"sub");
    world.force(pair);
    ASSERT_TRUE(folders_converged(pair));
    EXPECT_EQ(world.remote_folders(L"sync"), side_folders{});
    EXPECT_EQ(kinds_asked_about(L"sync/sub", L""), std::vector<int>{kind::remove_remote_folder});
    EXPECT_EQ(kinds_asked_about(L"sync/sub/deeper", L""),
              std::vector<int>{kind::remove_remote_folder});
    EXPECT_TRUE(world.in_remote_trash(L"sync/sub", true));
}

TEST_F(SyncFolders, AFolderRenamedLocallyRightAfterItsUploadLeavesNoOldFolder) {
    world.put_local(L"kept.txt", "kept", t0);
    world.put_local(L"old/inner.txt", "inner", t0);
    world.put_local(L"old/deeper/leaf.txt", "leaf", t0);
    const syncer::binding pair = world.bind(L"sync", L"", allow_all());
    start();
    ASSERT_TRUE(eventually([&] { return world.remote_files(L"sync").size() == 3; }));

    boost::filesystem::rename(world.local_path(L"old"), world.local_path(L"new"));
    world.force(pair);
    ASSERT_TRUE(folders_converged(pair));
    EXPECT_EQ(world.remote_folders(L"sync"), (side_folders{L"new", L"new/deeper"}));
    EXPECT_EQ(world.remote_files(L"sync").at(L"new/deeper/leaf.txt").content, "leaf");
}

TEST_F(SyncFolders, AFolderRenamedLocallyWhileTheEngineIsStoppedLeavesNoOldFolder) {
    world.put_local(L"kept.txt", "kept", t0);
    world.put_local(L"old/inner.txt", "inner", t0);
    const syncer::binding pair = world.bind(L"sync", L"", allow_all());
    start();
    ASSERT_TRUE(eventually([&] { return world.remote_files(L"sync").size() == 2; }));
    ASSERT_TRUE(eventually([&] { return tasks_of(*engine).empty(); }));
    engine.reset();

    boost::filesystem::rename(world.local_path(L"old"), world.local_path(L"new"));
    start();
    ASSERT_TRUE(folders_converged(pair));
    EXPECT_EQ(world.remote_folders(L"sync"), side_folders{L"new"});
}

TEST_F(SyncFolders, AFolderRemovedRemotelyRightAfterItsDownloadIsAskedAboutAndGoesAcross) {
    world.put_remote(L"sync/kept.txt", "kept", t0);
    world.put_remote(L"sync/sub/inner.txt", "inner", t0);
    world.put_remote(L"sync/sub/deeper/leaf.txt", "leaf", t0);
    const syncer::binding pair = world.bind(L"sync", L"", syncer::sync_rule());
    for (int question = kind::upload_new; question <= kind::remove_local_folder; ++question)
        ui.answer(question, yes);
    start();
    ASSERT_TRUE(eventually([&] { return world.local_files().size() == 3; }));
    ui.forget_questions();

    world.remove_remote(L"sync/sub");
    world.force(pair);
    ASSERT_TRUE(folders_converged(pair));
    EXPECT_EQ(world.local_folders(), side_folders{});
    EXPECT_EQ(kinds_asked_about(L"sync/sub", L""), std::vector<int>{kind::remove_local_folder});
}

}  // namespace
}  // namespace sync_testing

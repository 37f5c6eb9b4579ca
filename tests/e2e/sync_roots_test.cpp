// The folders of a pair replaced under the engine, and mass removals made
// elsewhere: a remote folder trashed and made anew by another computer, a
// mount point with a stray file while its drive is away, a local folder made
// anew with some of its files copied back, most files of a pair removed on
// the service. Nothing is removed unasked; what is removed locally lies in
// the machine's trash.
#include <boost/filesystem/operations.hpp>
#include <fstream>

#include "sync_support.h"

namespace sync_testing {
namespace {

using syncer::scan_testing::scripted_ui;

constexpr std::int64_t t0 = 1650000000;
constexpr int pair_size = 20;

std::wstring name_of(int index) {
    return L"f" + std::to_wstring(index) + L".txt";
}

class SyncRoots : public testing::Test {
protected:
    // Twenty files on both sides, and the engine running.
    void start_synced() {
        for (int index = 0; index < pair_size; ++index)
            world.put_local(name_of(index), "content " + std::to_string(index), t0);
        pair = world.bind(L"sync", L"", allow_all());
        engine = std::make_unique<syncer::manager>(sync_world::user, &ui);
        ASSERT_TRUE(converged(world, *engine, pair, L"sync"));
        synced = world.local_files();
        ASSERT_EQ(synced.size(), static_cast<std::size_t>(pair_size));
    }

    // Until a pass asked for now has ended, and the tasks it queued too.
    void run_passes(int count) {
        for (int pass = 0; pass < count; ++pass) {
            world.force(pair);
            ASSERT_TRUE(eventually([&] {
                return !syncer::locked_get_bindings(sync_world::user).find(pair)->force_sync_once;
            }));
            ASSERT_TRUE(eventually([&] { return tasks_of(*engine).empty(); }));
        }
    }

    // Every item of the user the service holds in its trash.
    int in_service_trash() {
        int count = 0;
        const auto state = world.service().control("state");
        for (const auto& [key, item] : state.get_child("items"))
            count += item.get<std::string>("live") != "true";
        return count;
    }

    bool machine_trash_empty() {
        const fs::path files = fs::path(win_machine::trash_dir()) / "files";
        return !fs::exists(files) || fs::is_empty(files);
    }

    // Another computer moves the pair's remote folder to the trash and makes
    // a folder of the same name, empty or with a file of its own.
    void remote_folder_made_anew(bool with_new_file) {
        start_synced();
        world.remove_remote(L"sync");
        world.make_remote_folder(L"sync");
        if (with_new_file) world.put_remote(L"sync/elsewhere.txt", "made elsewhere", t0 + 7);
        run_passes(4);
        EXPECT_EQ(world.local_files(), synced) << text_of(world.local_files());
        EXPECT_TRUE(machine_trash_empty());
        ASSERT_EQ(ui.notices().size(), 1u);
        EXPECT_NE(ui.notices()[0].find(L"\"sync\" on Calvimora is not the folder"),
                  std::wstring::npos);
    }

    // The local folder moved away and another put in its place.
    void local_folder_replaced(const std::function<void()>& fill) {
        start_synced();
        const fs::path away = world.local_path(L"").string() + "-away";
        fs::rename(world.local_path(L""), away);
        fs::create_directories(world.local_path(L""));
        fill();
        run_passes(4);
        EXPECT_EQ(world.remote_files(L"sync"), synced) << text_of(world.remote_files(L"sync"));
        EXPECT_EQ(in_service_trash(), 0);
        ASSERT_EQ(ui.notices().size(), 1u);
        EXPECT_NE(ui.notices()[0].find(pair.dir_local), std::wstring::npos);

        // The folder is back: nothing was lost, nothing is to do.
        fs::remove_all(world.local_path(L""));
        fs::rename(away, world.local_path(L""));
        ASSERT_TRUE(converged(world, *engine, pair, L"sync"));
        EXPECT_EQ(world.local_files(), synced);
    }

    sync_world world;
    scripted_ui ui;
    syncer::binding pair;
    std::unique_ptr<syncer::manager> engine;
    side_files synced;
};

TEST_F(SyncRoots, ARemoteFolderTrashedAndMadeAnewEmptyRemovesNoLocalFile) {
    remote_folder_made_anew(false);
}

TEST_F(SyncRoots, ARemoteFolderTrashedAndMadeAnewWithAFileRemovesNoLocalFile) {
    remote_folder_made_anew(true);
}

TEST_F(SyncRoots, AMountPointHoldingAStrayFileRemovesNothingOnTheService) {
    local_folder_replaced([&] { world.put_local(L"stray.txt", "left there", t0 + 3); });
}

TEST_F(SyncRoots, AFolderMadeAnewWithTwoOfItsFilesCopiedBackRemovesNothingOnTheService) {
    local_folder_replaced([&] {
        for (int index = 0; index < 2; ++index)
            world.put_local(name_of(index), "content " + std::to_string(index), t0);
    });
}

// Most files of the pair removed on the service: asked about, file by file;
// refused, they go back; allowed, they go to the machine's trash.
TEST_F(SyncRoots, MostFilesRemovedElsewhereAreAskedAboutAndKeptUnlessAllowed) {
    start_synced();
    for (int index = 0; index < 15; ++index) world.remove_remote(L"sync/" + name_of(index));
    ASSERT_TRUE(converged(world, *engine, pair, L"sync"));
    EXPECT_EQ(world.local_files(), synced);
    EXPECT_EQ(ui.kinds(), std::vector<int>(15, syncer::message_kind::remove_local_file));
    EXPECT_TRUE(machine_trash_empty());

    ui.forget_questions();
    ui.answer(syncer::message_kind::remove_local_file,
              syncer::scan_testing::yes + syncer::answer_code::apply_to_all);
    for (int index = 0; index < 15; ++index) world.remove_remote(L"sync/" + name_of(index));
    ASSERT_TRUE(converged(world, *engine, pair, L"sync"));
    EXPECT_EQ(world.local_files().size(), 5u);
    EXPECT_EQ(ui.kinds(), std::vector<int>{syncer::message_kind::remove_local_file});
    const fs::path trash = win_machine::trash_dir();
    for (int index = 0; index < 15; ++index) {
        const std::string name = fs::path(name_of(index)).string();
        EXPECT_TRUE(fs::exists(trash / "files" / name)) << name;
        std::ifstream record((trash / "info" / (name + ".trashinfo")).native());
        const std::string text(std::istreambuf_iterator<char>(record), {});
        EXPECT_NE(text.find("Path=" + world.local_path(name_of(index)).string() + "\n"),
                  std::string::npos)
            << text;
    }
}

}  // namespace
}  // namespace sync_testing

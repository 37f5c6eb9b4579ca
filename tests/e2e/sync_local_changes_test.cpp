// Edits the whole-second time does not show, saved in place as editors do:
// another size with the time set back, the same size with the time set
// back, a second save 0.7 s after the first. Each is a change the engine
// sends, so the other computer's later edits replace nothing unseen.
#include <fcntl.h>
#include <sys/stat.h>

#include <fstream>

#include "sync_support.h"

namespace sync_testing {
namespace {

using syncer::scan_testing::scripted_ui;

constexpr std::int64_t t0 = 1650000000;

// Writes over the file's bytes and gives it the modification time, to the
// nanosecond.
void save_in_place(const fs::path& path, const std::string& content, std::int64_t seconds,
                   long nanoseconds) {
    std::ofstream(path.native(), std::ios::binary | std::ios::trunc) << content;
    const timespec times[2] = {{static_cast<time_t>(seconds), nanoseconds},
                               {static_cast<time_t>(seconds), nanoseconds}};
    if (::utimensat(AT_FDCWD, path.c_str(), times, 0) != 0)
        throw std::runtime_error("cannot set the time of " + path.string());
}

TEST(SyncLocalChanges, EditsTheWholeSecondTimeHidesAreSentAndNothingIsOverwrittenUnseen) {
    sync_world world;
    scripted_ui ui;
    save_in_place(world.local_path(L"resized.txt"), "first", t0, 0);
    save_in_place(world.local_path(L"same-size.txt"), "first", t0, 0);
    save_in_place(world.local_path(L"second-save.txt"), "first", t0, 200000000);
    const syncer::binding pair = world.bind(L"sync", L"", allow_all());
    const auto engine = std::make_unique<syncer::manager>(sync_world::user, &ui);
    ASSERT_TRUE(converged(world, *engine, pair, L"sync"));

    save_in_place(world.local_path(L"resized.txt"), "second version", t0, 0);
    save_in_place(world.local_path(L"same-size.txt"), "other", t0, 0);
    save_in_place(world.local_path(L"second-save.txt"), "again", t0, 900000000);
    world.force(pair);
    const auto remote_content = [&](const std::wstring& name) {
        const side_files remote = world.remote_files(L"sync");
        const auto file = remote.find(name);
        return file == remote.end() ? std::string("(none)") : file->second.content;
    };
    ASSERT_TRUE(eventually(
        [&] {
            return remote_content(L"resized.txt") == "second version" &&
                   remote_content(L"same-size.txt") == "other" &&
                   remote_content(L"second-save.txt") == "again";
        },
        std::chrono::seconds(30)))
        << text_of(world.remote_files(L"sync"));
    ASSERT_TRUE(converged(world, *engine, pair, L"sync"));

    // The other computer edits all three: each edit comes over the one sent.
    for (const wchar_t* name : {L"resized.txt", L"same-size.txt", L"second-save.txt"})
        world.put_remote(std::wstring(L"sync/") + name, "theirs", t0 + 100);
    world.force(pair);
    ASSERT_TRUE(converged(world, *engine, pair, L"sync"));
    EXPECT_EQ(text_of(world.local_files()),
              "resized.txt (6 bytes, 1650000100) same-size.txt (6 bytes, 1650000100) "
              "second-save.txt (6 bytes, 1650000100) ");
}

}  // namespace
}  // namespace sync_testing

// The ways a scan could lose a user's files, each kept from happening.
#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <functional>
#include <string>

#include "syncer/core/paths.h"
#include "syncer/scan/scan_candidates.h"
#include "syncer/scan/tests/scan_test_support.h"
#include "syncer/tables/binding_manager.h"

namespace syncer::scan_testing {
namespace {

class ScanSafety : public scan_test {
protected:
    ScanSafety() : owner(bind(L"sync", local)) {}

    // Files known on both sides, then a pass that records them.
    void known(const std::vector<std::wstring>& names) {
        for (const std::wstring& name : names) {
            write_local(name, "same", t0);
            remote->put_file(L"sync/" + name, "same", t0);
        }
        pass();
        ASSERT_TRUE(ui.questions().empty());
    }

    bool has_removal_task() {
        for (const int kind : task_kinds()) {
            if (kind >= task::kind_remove_local_file) return true;
        }
        return false;
    }

    binding owner;
};

TEST_F(ScanSafety, AMissingLocalRootRemovesNothingRemotely) {
    known({L"a.txt", L"dir/b.txt"});
    ui.answer(message_kind::remove_remote_file, yes);
    ui.answer(message_kind::remove_remote_folder, yes);
    fs::rename(local_root, fs::path(root_.path()) / "unplugged");

    pass();
    EXPECT_TRUE(ui.questions().empty());
    EXPECT_TRUE(task_kinds().empty());
    EXPECT_EQ(stored(owner, L"sync", local, L"a.txt").last_time_local, t0);

    fs::rename(fs::path(root_.path()) / "unplugged", local_root);
    EXPECT_EQ(pass().changed, 0);
    EXPECT_TRUE(ui.questions().empty());
}

TEST_F(ScanSafety, ARemoteWalkThatEndsEarlyRemovesNothingLocally) {
    known({L"top.txt", L"dir/inner.txt", L"dir/deeper/last.txt"});
    ui.answer(message_kind::remove_local_file, yes);
    ui.answer(message_kind::remove_local_folder, yes);

    remote->fail_listing(L"sync/dir", true);
    pass();
    EXPECT_FALSE(has_removal_task());

    remote->clear_faults();
    remote->fail_listing(L"sync", true);
    pass();
    EXPECT_FALSE(has_removal_task());

    // A remote root that is gone altogether, as after a failed lookup.
    remote->clear_faults();
    remote->remove(L"sync");
    pass();
    EXPECT_FALSE(has_removal_task());
    EXPECT_TRUE(local_exists(L"dir/deeper/last.txt"));
}

// Local listing calls that fail the way a failing disk does: looking at
// one entry, or reading on in one folder after its first entries.
struct failing_disk {
    static inline std::string broken_entry;
    static inline std::string broken_folder;

    static bool in_broken_folder(DIR* listing) {
        char path[PATH_MAX] = {};
        const std::string link = "/proc/self/fd/" + std::to_string(::dirfd(listing));
        const ssize_t length = ::readlink(link.c_str(), path, sizeof path - 1);
        const std::string folder(path, length > 0 ? static_cast<std::size_t>(length) : 0);
        return !broken_folder.empty() && folder.ends_with("/" + broken_folder);
    }
    static dirent* read_entry(DIR* listing) {
        static int read_in_broken = 0;
        if (in_broken_folder(listing) && ++read_in_broken % 3 == 0) {
            errno = EIO;
            return nullptr;
        }
        return ::readdir(listing);
    }
    static int status_at(int folder, const char* name, struct stat* status, int flags) {
        if (name == broken_entry) {
            errno = EIO;
            return -1;
        }
        return ::fstatat(folder, name, status, flags);
    }

    failing_disk() {
        listing_calls().read_entry = read_entry;
        listing_calls().status_at = status_at;
    }
    ~failing_disk() {
        listing_calls() = local_listing_calls{};
        broken_entry.clear();
        broken_folder.clear();
    }
};

// A local folder the walk cannot read whole hides files that are still
// there: nothing in or below it is decided (neither a removal on the other
// side nor a download into it), the user sees why, and once it reads again
// the pass goes on as before.
TEST_F(ScanSafety, ALocalFolderThatCannotBeReadIsNeverTakenAsEmptied) {
    known({L"top.txt", L"dir/a.txt", L"dir/b.txt", L"dir/c.txt", L"dir/gone.txt",
           L"dir/deeper/d.txt"});
    ui.answer(message_kind::remove_remote_file, yes);
    ui.answer(message_kind::remove_remote_folder, yes);
    ui.answer(message_kind::remove_local_file, yes);
    ui.answer(message_kind::download_new, yes);
    ui.answer(message_kind::upload_newer, yes);
    ui.answer(message_kind::upload_new, yes);
    remote->put_file(L"sync/dir/new.txt", "new", t0);
    // Unseen on both sides, its record must not be forgotten: once seen
    // again, it is a remote removal to follow, not a new file to send.
    remote->remove(L"sync/dir/gone.txt");
    write_local(L"top.txt", "edited", t0 + 10);

    const auto reported = [&] {
        std::lock_guard<std::mutex> guard(tasks_lock);
        std::vector<std::wstring> names;
        for (const task& job : tasks) {
            if (!job.is_failed()) continue;
            EXPECT_NE(job.get_message().find(L"could not be read"), std::wstring::npos);
            names.push_back(job.get_filename());
        }
        return names;
    };
    const std::vector<std::function<void()>> faults{
        [] { failing_disk::broken_entry = "gone.txt"; },
        [] { failing_disk::broken_folder = "dir"; },
        [] { failing_disk::broken_entry = "deeper"; },
    };
    for (const auto& fault : faults) {
        {
            failing_disk disk;
            fault();
            pass();
        }
        EXPECT_FALSE(has_removal_task());
        EXPECT_EQ(reported(), std::vector<std::wstring>{L"dir"});
        // Outside the folder the pass decides as ever.
        EXPECT_EQ(task_kinds(), (std::vector<int>{task::kind_upload, task::kind_upload}));
        EXPECT_EQ(stored(owner, L"sync/dir", local + L"/dir", L"c.txt").last_time_local, t0);
        EXPECT_EQ(
            stored(owner, L"sync/dir/deeper", local + L"/dir/deeper", L"d.txt").last_time_local,
            t0);
    }

    pass();
    EXPECT_TRUE(reported().empty());
    EXPECT_EQ(task_kinds(), (std::vector<int>{task::kind_upload, task::kind_remove_local_file,
                                              task::kind_download}));
}

TEST_F(ScanSafety, AFileChangedOnTheSurvivingSideIsTransferredNotRemoved) {
    known({L"edited-remotely.txt", L"edited-locally.txt"});
    fs::remove(local_path(L"edited-remotely.txt"));
    remote->put_file(L"sync/edited-remotely.txt", "newer", t0 + 30);
    remote->remove(L"sync/edited-locally.txt");
    write_local(L"edited-locally.txt", "newer", t0 + 30);
    ui.answer(message_kind::remove_remote_file, yes);
    ui.answer(message_kind::remove_local_file, yes);
    ui.answer(message_kind::upload_new, yes);
    ui.answer(message_kind::download_new, yes);

    pass();
    EXPECT_EQ(ui.kinds(), (std::vector<int>{message_kind::upload_new, message_kind::download_new}));
    EXPECT_EQ(task_kinds(), (std::vector<int>{task::kind_upload, task::kind_download}));
    run_tasks();
    EXPECT_EQ(read_local(L"edited-remotely.txt"), "newer");
    ASSERT_TRUE(remote->file(L"sync/edited-locally.txt"));
    EXPECT_EQ(remote->file(L"sync/edited-locally.txt")->content, "newer");
}

TEST_F(ScanSafety, AFolderIsRemovedOnlyWithEverythingInIt) {
    known({L"box/take.txt", L"box/refuse.txt", L"box/inner/take-too.txt", L"whole/x.txt",
           L"whole/y/z.txt", L"stays.txt"});
    write_local(L"box/hidden.txt", "hidden", t0);
    hide_local(L"box/hidden.txt");
    remote->remove(L"sync/box");
    remote->remove(L"sync/whole");
    ui.answer(message_kind::remove_local_folder, yes);
    ui.answer(message_kind::remove_local_file, yes);
    ui.answer(message_kind::upload_new, no);
    ui.on_question([&](const asked_question& question) {
        if (question.filename == L"refuse.txt" && question.kind == message_kind::remove_local_file)
            ui.answer_next(no);
    });

    pass();
    run_tasks();
    EXPECT_FALSE(local_exists(L"box/take.txt"));
    EXPECT_FALSE(local_exists(L"box/inner/take-too.txt"));
    EXPECT_TRUE(local_exists(L"box/refuse.txt"));
    EXPECT_TRUE(local_exists(L"box/hidden.txt"));
    EXPECT_FALSE(local_exists(L"whole"));
}

TEST_F(ScanSafety, ARemoteFolderWithChildrenTheWalkCouldNotTakeIsNotRemoved) {
    known({L"shared/a.txt", L"stays.txt"});
    remote->add_raw_child(L"sync/shared", L"bad/name", false);
    fs::remove_all(local_path(L"shared"));
    ui.answer(message_kind::remove_remote_folder, yes);
    ui.answer(message_kind::remove_remote_file, yes);
    pass();
    run_tasks();
    EXPECT_TRUE(remote->folder_exists(L"sync/shared"));
    EXPECT_FALSE(remote->file(L"sync/shared/a.txt"));
}

TEST_F(ScanSafety, TheSavedCopiesCleanUpDeletesOnlyCopiesEqualToTheRemoteFile) {
    locked_remove_binding(user, owner);
    binding saved(L"Calvimora", join_path(local, L"saved"), L"", L"");
    add(saved);
    write_local(L"saved/same.txt", "12345", t0);
    write_local(L"saved/older.txt", "old", t0);
    write_local(L"saved/other-size.txt", "123", t0);
    remote->put_file(L"Calvimora/same.txt", "12345", t0);
    remote->put_file(L"Calvimora/older.txt", "newer content", t0 + 100);
    remote->put_file(L"Calvimora/other-size.txt", "1234", t0);

    pass(true);
    EXPECT_FALSE(local_exists(L"saved/same.txt"));
    EXPECT_TRUE(local_exists(L"saved/older.txt"));
    EXPECT_TRUE(local_exists(L"saved/other-size.txt"));
}

TEST_F(ScanSafety, AnExistingRemoteFileWithoutADateIsNeverTakenAsRemoved) {
    known({L"undated.txt"});
    remote->put_file(L"sync/undated.txt", "same", -1);
    ui.answer(message_kind::remove_local_file, yes);
    pass();
    run_tasks();
    EXPECT_TRUE(local_exists(L"undated.txt"));
    for (const int kind : ui.kinds()) EXPECT_NE(kind, message_kind::remove_local_file);
}

TEST_F(ScanSafety, NamesThatCannotCrossAreShownAsFailedTasksAndNeverUsed) {
    remote->add_folder(L"sync");
    const std::vector<std::wstring> names{
        L"", L".", L"..", L"../escape.txt", L"a\\b.txt", std::wstring(L"nul\0.txt", 8)};
    for (const std::wstring& name : names) remote->add_raw_child(L"sync", name, false);
    remote->add_raw_child(L"sync", L"dir\\name", true);
    std::ofstream((local_root / "back\\slash.txt").native()) << "local";
    std::ofstream((local_root / "caf\xe9.txt").native()) << "latin-1";
    ui.answer(message_kind::download_new, yes);
    ui.answer(message_kind::upload_new, yes);

    const scan_result first = pass();
    EXPECT_TRUE(ui.questions().empty());
    std::map<std::wstring, std::wstring> reasons;
    {
        std::lock_guard<std::mutex> guard(tasks_lock);
        for (const task& job : tasks) {
            EXPECT_TRUE(job.is_failed());
            EXPECT_EQ(job.get_error_kind(), message_kind::none);
            reasons[job.get_filename()] = job.get_message();
        }
    }
    EXPECT_EQ(first.changed, static_cast<int>(reasons.size()));
    EXPECT_EQ(reasons.size(), 9u);
    EXPECT_EQ(reasons[L"a\\b.txt"],
              L"This file is not synced: its name cannot be used for a local file");
    EXPECT_EQ(reasons[L"dir\\name"],
              L"This folder is not synced: its name cannot be used for a local file");
    EXPECT_EQ(reasons[L"back\\slash.txt"],
              L"This file is not synced: its name holds a \"\\\" character");
    EXPECT_EQ(reasons[L"caf\uFFFD.txt"],
              L"This file is not synced: its name is not valid UTF-8 text");

    // Started again, they fail again without touching either side; once a
    // name is gone, so is its task.
    run_tasks();
    fs::remove(local_root / "back\\slash.txt");
    pass();
    {
        std::lock_guard<std::mutex> guard(tasks_lock);
        EXPECT_EQ(tasks.size(), 8u);
        for (const task& job : tasks) EXPECT_TRUE(job.is_failed());
    }
    EXPECT_FALSE(fs::exists(fs::path(root_.path()) / "escape.txt"));
    EXPECT_EQ(std::distance(fs::directory_iterator(local_root), fs::directory_iterator()), 1);
    EXPECT_FALSE(remote->file(L"sync/caf\uFFFD.txt"));
}

// A removal takes only what the pass saw: an edit made between the decision
// and the task (a stopped binding resumed later, a failed task started
// again) is kept, and the next pass sends it across.
TEST_F(ScanSafety, ARemovalKeepsWhatChangedAfterItWasDecided) {
    known({L"local-edit.txt", L"remote-edit.txt", L"dir/a.txt", L"stays.txt"});
    remote->remove(L"sync/local-edit.txt");
    fs::remove(local_path(L"remote-edit.txt"));
    fs::remove_all(local_path(L"dir"));
    for (const int kind :
         {message_kind::remove_local_file, message_kind::remove_remote_file,
          message_kind::remove_remote_folder, message_kind::upload_new, message_kind::download_new})
        ui.answer(kind, yes);
    pass();
    ASSERT_EQ(task_kinds().size(), 4u);

    // The same size, the same second: only the file system's finer
    // knowledge tells the edit.
    write_local(L"local-edit.txt", "edit", t0);
    const timespec half_past[2] = {{t0, 500000000}, {t0, 500000000}};
    ASSERT_EQ(::utimensat(AT_FDCWD, local_path(L"local-edit.txt").c_str(), half_past, 0), 0);
    remote->put_file(L"sync/remote-edit.txt", "newer", t0 + 30);
    remote->put_file(L"sync/dir/new.txt", "new", t0 + 5);
    run_tasks();
    EXPECT_EQ(read_local(L"local-edit.txt"), "edit");
    EXPECT_EQ(remote->file(L"sync/remote-edit.txt")->content, "newer");
    EXPECT_TRUE(remote->file(L"sync/dir/new.txt"));
    EXPECT_FALSE(remote->file(L"sync/dir/a.txt"));
    std::vector<std::wstring> kept;
    {
        std::lock_guard<std::mutex> guard(tasks_lock);
        for (const task& job : tasks) {
            if (job.is_failed()) kept.push_back(job.get_message());
        }
    }
    EXPECT_EQ(kept.size(), 3u);
    EXPECT_NE(std::find(kept.begin(), kept.end(),
                        L"The local file changed after its removal was decided, so it was kept"),
              kept.end());

    // The edits win: each goes across as a new file.
    ui.forget_questions();
    pass();
    run_tasks();
    pass();
    run_tasks();
    ASSERT_TRUE(remote->file(L"sync/local-edit.txt"));
    EXPECT_EQ(remote->file(L"sync/local-edit.txt")->content, "edit");
    EXPECT_EQ(read_local(L"remote-edit.txt"), "newer");
    EXPECT_EQ(read_local(L"dir/new.txt"), "new");
    for (const int kind : ui.kinds()) EXPECT_LT(kind, message_kind::remove_remote_file);
}

// An edit waiting for its upload when the other side removes the file: the
// edit goes across, whether the removal is seen before the upload ran or the
// answer to upload it was No.
TEST_F(ScanSafety, AnEditNotYetAcrossWinsOverARemovalOnTheOtherSide) {
    known({L"queued.txt", L"refused.txt", L"stays.txt"});
    write_local(L"queued.txt", "edited", t0 + 10);
    write_local(L"refused.txt", "edited", t0 + 10);
    ui.on_question([&](const asked_question& question) {
        if (question.kind == message_kind::upload_newer)
            ui.answer_next(question.filename == L"queued.txt" ? yes : no);
    });
    ui.answer(message_kind::remove_local_file, yes);
    ui.answer(message_kind::upload_new, yes);
    pass();
    EXPECT_EQ(task_kinds(), std::vector<int>{task::kind_upload});

    remote->remove(L"sync/queued.txt");
    remote->remove(L"sync/refused.txt");
    pass();
    EXPECT_EQ(task_kinds(), (std::vector<int>{task::kind_upload, task::kind_upload}));
    run_tasks();
    EXPECT_EQ(remote->file(L"sync/queued.txt")->content, "edited");
    EXPECT_EQ(remote->file(L"sync/refused.txt")->content, "edited");
    for (const int kind : ui.kinds()) EXPECT_NE(kind, message_kind::remove_local_file);
}

TEST_F(ScanSafety, AnEmptyRootFacingAFullOneRemovesNothing) {
    known({L"a.txt", L"dir/b.txt"});
    ui.answer(message_kind::remove_local_file, yes);
    ui.answer(message_kind::remove_local_folder, yes);
    ui.answer(message_kind::remove_remote_file, yes);
    ui.answer(message_kind::remove_remote_folder, yes);

    // A listing that comes back empty, then a mount point without its drive.
    remote->remove(L"sync/a.txt");
    remote->remove(L"sync/dir");
    pass();
    EXPECT_FALSE(has_removal_task());
    remote->put_file(L"sync/a.txt", "same", t0);
    remote->put_file(L"sync/dir/b.txt", "same", t0);
    fs::remove_all(local_root);
    fs::create_directories(local_root);
    pass();
    EXPECT_FALSE(has_removal_task());
    EXPECT_TRUE(remote->file(L"sync/dir/b.txt"));
    EXPECT_TRUE(ui.questions().empty());
}

// Removing most of a binding's files at once waits for a second pass that
// sees the same: a short listing that comes back whole loses nothing, a real
// mass removal goes across one pass later.
TEST_F(ScanSafety, AMassRemovalWaitsForAPassThatConfirmsIt) {
    std::vector<std::wstring> names;
    for (int index = 0; index < 20; ++index) names.push_back(L"f" + std::to_wstring(index));
    known(names);
    // One file stays: a root emptied altogether removes nothing at all.
    known({L"keep.txt"});
    ui.answer(message_kind::remove_local_file, yes);
    const auto remove_remotely = [&](int count) {
        for (int index = 0; index < count; ++index) remote->remove(L"sync/" + names[index]);
    };
    const auto put_back = [&](int count) {
        for (int index = 0; index < count; ++index)
            remote->put_file(L"sync/" + names[index], "same", t0);
    };

    remove_remotely(15);
    pass();
    EXPECT_FALSE(has_removal_task());
    put_back(15);
    pass();
    EXPECT_FALSE(has_removal_task());
    // Nine at once is below the threshold.
    remove_remotely(9);
    pass();
    EXPECT_EQ(task_kinds().size(), 9u);
    run_tasks();
    pass();

    std::vector<std::wstring> rest(names.begin() + 9, names.end());
    for (const std::wstring& name : rest) remote->remove(L"sync/" + name);
    pass();
    EXPECT_FALSE(has_removal_task());
    EXPECT_EQ(std::count_if(rest.begin(), rest.end(),
                            [&](const std::wstring& name) { return local_exists(name); }),
              11);
    pass();
    run_tasks();
    EXPECT_TRUE(std::none_of(names.begin(), names.end(),
                             [&](const std::wstring& name) { return local_exists(name); }));
    EXPECT_TRUE(local_exists(L"keep.txt"));
}

// A transfer leaves both sides holding the same file; a removal on either
// side before any pass saw that is a removal, not a new file.
TEST_F(ScanSafety, ARemovalRightAfterATransferIsTakenAsARemoval) {
    write_local(L"up.txt", "up", t0);
    remote->put_file(L"sync/down.txt", "down", t0);
    for (const int kind : {message_kind::upload_new, message_kind::download_new,
                           message_kind::remove_remote_file, message_kind::remove_local_file})
        ui.answer(kind, yes);
    pass();
    run_tasks();
    ASSERT_TRUE(remote->file(L"sync/up.txt"));
    ASSERT_TRUE(local_exists(L"down.txt"));

    fs::remove(local_path(L"up.txt"));
    remote->remove(L"sync/down.txt");
    pass();
    EXPECT_EQ(task_kinds(),
              (std::vector<int>{task::kind_remove_local_file, task::kind_remove_remote_file}));
    run_tasks();
    EXPECT_FALSE(remote->file(L"sync/up.txt"));
    EXPECT_FALSE(local_exists(L"down.txt"));
}

// Copies stamped by a clock that ran ahead: the side edited since both
// agreed wins, though its time is the earlier one.
TEST_F(ScanSafety, AnEditOnOneSideWinsOverAnUnchangedCopyDatedAhead) {
    const std::int64_t ahead = 4102444800;
    for (const wchar_t* name : {L"mine.txt", L"theirs.txt"}) {
        write_local(name, "base", ahead);
        remote->put_file(std::wstring(L"sync/") + name, "base", ahead);
    }
    pass();
    ui.answer(message_kind::upload_newer, yes);
    ui.answer(message_kind::download_newer, yes);
    write_local(L"mine.txt", "edited here", t0);
    remote->put_file(L"sync/theirs.txt", "edited there", t0);
    pass();
    run_tasks();
    EXPECT_EQ(remote->file(L"sync/mine.txt")->content, "edited here");
    EXPECT_EQ(read_local(L"theirs.txt"), "edited there");
    EXPECT_EQ(ui.kinds(),
              (std::vector<int>{message_kind::upload_newer, message_kind::download_newer}));
}

// The user removed the last files of the folder: the first pass that sees
// the root empty waits, the next one removes.
TEST_F(ScanSafety, TheLastFilesRemovedFromTheSameFolderGoOnTheSecondPass) {
    known({L"a.txt", L"b.txt"});
    ui.answer(message_kind::remove_remote_file, yes);
    fs::remove(local_path(L"a.txt"));
    fs::remove(local_path(L"b.txt"));
    pass();
    EXPECT_FALSE(has_removal_task());
    pass();
    EXPECT_EQ(task_kinds(),
              (std::vector<int>{task::kind_remove_remote_file, task::kind_remove_remote_file}));
    run_tasks();
    EXPECT_FALSE(remote->file(L"sync/a.txt"));
    EXPECT_TRUE(ui.notices().empty());
}

// A remote removal decided while the local file was gone finds it there
// again when it runs (a download of the engine's own ended in between, or
// the user put it back): the remote file is kept, and the next pass sees
// both sides holding the same file.
TEST_F(ScanSafety, ARemoteRemovalFindingTheLocalFileBackKeepsTheRemoteFile) {
    known({L"a.txt", L"b.txt", L"c.txt", L"d.txt"});
    ui.answer(message_kind::remove_remote_file, yes);
    const std::string content = remote->file(L"sync/a.txt")->content;
    fs::remove(local_path(L"a.txt"));
    pass();
    ASSERT_EQ(task_kinds(), (std::vector<int>{task::kind_remove_remote_file}));

    write_local(L"a.txt", content, t0);
    run_tasks();
    ASSERT_TRUE(remote->file(L"sync/a.txt"));
    pass();
    EXPECT_TRUE(task_kinds().empty());
    pass();
    EXPECT_TRUE(task_kinds().empty());
    EXPECT_TRUE(remote->file(L"sync/a.txt"));
    EXPECT_EQ(read_local(L"a.txt"), content);
}

TEST_F(ScanSafety, AFolderMadeAnewInPlaceOfTheRootRemovesNothingAndIsToldOnce) {
    known({L"a.txt"});
    ui.answer(message_kind::remove_remote_file, yes);
    fs::rename(local_root, local_root.string() + "-away");
    fs::create_directories(local_root);
    for (int count = 0; count < 3; ++count) {
        pass();
        EXPECT_FALSE(has_removal_task());
    }
    EXPECT_EQ(ui.notices().size(), 1u);
    EXPECT_TRUE(remote->file(L"sync/a.txt"));
}

// The scan keeps the binding table's mutex before any item table's mutex,
// as the start-up sweep does; taking them the other way round deadlocks
// with a sweep running meanwhile.
TEST_F(ScanSafety, TheBindingTableIsNeverWaitedForUnderAnItemTable) {
    // A first pass leaves the item table's file for the sweep to open.
    write_local(L"first.txt", "f", t0);
    pass();
    write_local(L"new.txt", "n", t0);
    std::atomic<bool> sweep_done{false};
    std::thread sweep;
    ui.on_question([&](const asked_question&) {
        if (sweep.joinable()) return;
        sweep = std::thread([&] {
            binding_manager::purge_orphan_rules(user);
            sweep_done = true;
        });
        // Let the sweep take the binding table and wait for the item table.
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    });
    ui.answer_next(make_answer(true, true, false));

    std::atomic<bool> pass_done{false};
    std::thread scanning([&] {
        pass();
        pass_done = true;
    });
    const bool finished =
        eventually([&] { return pass_done && sweep_done; }, std::chrono::seconds(10));
    EXPECT_TRUE(finished);
    if (!finished) {
        // Deadlocked: nothing can end these threads.
        scanning.detach();
        sweep.detach();
        std::_Exit(1);
    }
    scanning.join();
    sweep.join();
    EXPECT_EQ(locked_get_bindings(user).find(owner)->can_recourse_subdirs, sync_permission::yes);
}

}  // namespace
}  // namespace syncer::scan_testing

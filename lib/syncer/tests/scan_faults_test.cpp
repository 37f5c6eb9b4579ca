// The ways a scan could lose a user's files, each kept from happening.
#include <atomic>

#include "scan_test_support.h"
#include "syncer/binding_manager.h"
#include "syncer/paths.h"

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
           L"whole/y/z.txt"});
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
    known({L"shared/a.txt"});
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

TEST_F(ScanSafety, NamesThatAreNoPlainNamesAreSkipped) {
    remote->add_folder(L"sync");
    const std::vector<std::wstring> names{
        L"", L".", L"..", L"../escape.txt", L"a\\b.txt", std::wstring(L"nul\0.txt", 8)};
    for (const std::wstring& name : names) {
        remote->add_raw_child(L"sync", name, false);
        remote->add_raw_child(L"sync", name, true);
    }
    ui.answer(message_kind::download_new, yes);
    pass();
    run_tasks();
    EXPECT_TRUE(ui.questions().empty());
    EXPECT_TRUE(task_kinds().empty());
    EXPECT_FALSE(fs::exists(fs::path(root_.path()) / "escape.txt"));
    EXPECT_TRUE(fs::is_empty(local_root));
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

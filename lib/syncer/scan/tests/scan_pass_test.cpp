// A scan pass over a folder binding: what it asks, what it queues, what it
// records, and that running the tasks brings both sides together.
#include <sys/inotify.h>
#include <unistd.h>

#include "syncer/core/paths.h"
#include "syncer/scan/tests/scan_test_support.h"
#include "syncer/tables/binding_manager.h"

namespace syncer::scan_testing {
namespace {

class ScanPass : public scan_test {
protected:
    ScanPass() : owner(bind(L"sync", local)) {}

    std::wstring sub(const std::wstring& name) const { return join_path(local, name); }

    // The main binding made again with a change.
    void rebind(const std::function<void(binding&)>& change) {
        binding changed = owner;
        change(changed);
        locked_remove_binding(user, owner);
        owner = add(changed);
    }

    binding owner;
};

TEST_F(ScanPass, NewFilesOnEachSideAreOfferedAndConverge) {
    write_local(L"mine.txt", "local bytes", t0);
    remote->put_file(L"sync/theirs.txt", "remote bytes", t0 + 5);
    ui.answer(message_kind::upload_new, yes);
    ui.answer(message_kind::download_new, yes);

    const scan_result first = pass();
    EXPECT_EQ(first.changed, 2);
    EXPECT_EQ(ui.kinds(), (std::vector<int>{message_kind::upload_new, message_kind::download_new}));
    EXPECT_EQ(task_kinds(), (std::vector<int>{task::kind_upload, task::kind_download}));
    const sync_item mine = stored(owner, L"sync", local, L"mine.txt");
    EXPECT_EQ(mine.last_time_local, t0);
    EXPECT_EQ(mine.last_time_remote, missing_time);

    run_tasks();
    ui.forget_questions();
    pass();
    EXPECT_EQ(read_local(L"theirs.txt"), "remote bytes");
    ASSERT_TRUE(remote->file(L"sync/mine.txt"));
    EXPECT_EQ(remote->file(L"sync/mine.txt")->content, "local bytes");
    EXPECT_EQ(remote->file(L"sync/mine.txt")->date, t0);
    const sync_item theirs = stored(owner, L"sync", local, L"theirs.txt");
    EXPECT_EQ(theirs.last_time_local, t0 + 5);
    EXPECT_EQ(theirs.last_time_remote, t0 + 5);

    // Nothing changed since: no question, no task.
    const scan_result quiet = pass();
    EXPECT_EQ(quiet.changed, 0);
    EXPECT_TRUE(ui.questions().empty());
    EXPECT_TRUE(task_kinds().empty());
}

TEST_F(ScanPass, ARefusalHoldsUntilTheFileChangesAgain) {
    write_local(L"draft.txt", "v1", t0);
    pass();
    EXPECT_EQ(ui.kinds(), std::vector<int>{message_kind::upload_new});
    EXPECT_TRUE(task_kinds().empty());
    EXPECT_EQ(stored(owner, L"sync", local, L"draft.txt").last_time_local, t0);

    pass();
    EXPECT_EQ(ui.kinds().size(), 1u);

    write_local(L"draft.txt", "v2", t0 + 60);
    pass();
    EXPECT_EQ(ui.kinds(), (std::vector<int>{message_kind::upload_new, message_kind::upload_new}));
}

TEST_F(ScanPass, ApplyToAllIsOfferedForSeveralCasesAndHoldsForThePass) {
    write_local(L"one.txt", "1", t0);
    pass();
    ASSERT_EQ(ui.questions().size(), 1u);
    EXPECT_TRUE(ui.questions()[0].offer_dont_ask_again);
    EXPECT_FALSE(ui.questions()[0].offer_apply_to_all);

    ui.forget_questions();
    write_local(L"two.txt", "2", t0);
    write_local(L"three.txt", "3", t0);
    ui.answer_next(make_answer(true, false, true));
    pass();
    ASSERT_EQ(ui.questions().size(), 1u);
    EXPECT_TRUE(ui.questions()[0].offer_apply_to_all);
    EXPECT_EQ(task_kinds(), (std::vector<int>{task::kind_upload, task::kind_upload}));

    // Only for that pass.
    ui.forget_questions();
    write_local(L"four.txt", "4", t0);
    pass();
    EXPECT_EQ(ui.kinds(), std::vector<int>{message_kind::upload_new});
}

TEST_F(ScanPass, DontAskAgainKeepsTheAnswerForTheWholeBinding) {
    rebind([](binding& b) { b.can_recourse_subdirs = sync_permission::no; });
    write_local(L"a.txt", "a", t0);
    write_local(L"b.txt", "b", t0);
    ui.answer_next(make_answer(true, true, false));
    pass();
    EXPECT_EQ(ui.questions().size(), 1u);
    EXPECT_EQ(task_kinds().size(), 2u);
    const sync_item root = stored(owner, L"sync", local, L"");
    EXPECT_EQ(root.rule,
              sync_rule({sync_permission::yes, sync_permission::yes, sync_permission::yes,
                         sync_permission::yes, sync_permission::yes, sync_permission::yes,
                         sync_permission::yes, sync_permission::yes}));
    EXPECT_EQ(locked_get_bindings(user).find(owner)->can_recourse_subdirs, sync_permission::yes);

    // Later passes ask nothing more.
    tasks.clear();
    remote->put_file(L"sync/new.txt", "n", t0);
    ui.forget_questions();
    pass();
    EXPECT_TRUE(ui.questions().empty());
    EXPECT_EQ(task_kinds(), std::vector<int>{task::kind_download});
}

// A download goes by the id the scan's listing gave the file: its folder is
// neither looked up nor listed again for it.
TEST_F(ScanPass, ADownloadOpensTheFileTheScanListedWithoutListingItsFolderAgain) {
    remote->put_file(L"sync/deep/theirs.txt", "remote bytes", t0 + 5);
    ui.answer(message_kind::download_new, yes);
    pass();
    ASSERT_EQ(task_kinds(), (std::vector<int>{task::kind_download}));
    const int listed = remote->listings(L"sync/deep");
    const int looked_up = remote->lookups(L"sync/deep");
    run_tasks();
    EXPECT_EQ(read_local(L"deep/theirs.txt"), "remote bytes");
    EXPECT_EQ(remote->listings(L"sync/deep"), listed);
    EXPECT_EQ(remote->lookups(L"sync/deep"), looked_up);

    ui.forget_questions();
    pass();
    EXPECT_TRUE(task_kinds().empty());
    EXPECT_EQ(stored(owner, L"sync/deep", sub(L"deep"), L"theirs.txt").synced_time, t0 + 5);
    EXPECT_EQ(pass().changed, 0);
}

// A transfer that ends while a pass walks may end after the walk saw its
// item: a download not yet there looks removed locally. The pass that takes
// the transfer's result leaves that item to the next pass, which sees it as
// it is; nothing is removed on either side.
TEST_F(ScanPass, ADownloadEndingAfterTheLocalWalkIsNotTakenForALocalRemoval) {
    for (int index = 0; index < 10; ++index) {
        const std::wstring name = L"kept" + std::to_wstring(index) + L".txt";
        write_local(name, "kept", t0);
        remote->put_file(L"sync/" + name, "kept", t0);
    }
    write_local(L"zz/last.txt", "last", t0);
    remote->put_file(L"sync/zz/last.txt", "last", t0);
    remote->put_file(L"sync/deep/theirs.txt", "remote bytes", t0 + 5);
    ui.answer(message_kind::download_new, yes);
    ui.answer(message_kind::remove_remote_file, yes);
    ui.answer(message_kind::remove_local_file, yes);
    pass();
    ASSERT_EQ(task_kinds(), (std::vector<int>{task::kind_download}));

    // Both walks are done with "deep" when "zz" is listed: the download
    // ends right then.
    remote->on_next_listing(L"sync/zz", [&] { run_tasks(); });
    pass();
    EXPECT_EQ(read_local(L"deep/theirs.txt"), "remote bytes");
    EXPECT_TRUE(task_kinds().empty());
    EXPECT_EQ(stored(owner, L"sync/deep", sub(L"deep"), L"theirs.txt").synced_time, t0 + 5);

    pass();
    EXPECT_TRUE(task_kinds().empty());
    ASSERT_TRUE(remote->file(L"sync/deep/theirs.txt"));
    EXPECT_EQ(read_local(L"deep/theirs.txt"), "remote bytes");
}

// A transfer may end while a pass takes the results of those that ended:
// read once, before it ended, it is left for the next pass. Read again
// afterwards, it was taken with the walk having seen no file, and the file
// it had just brought in looked removed locally.
TEST_F(ScanPass, ADownloadEndingWhileThePassTakesResultsIsLeftToTheNextPass) {
    remote->put_file(L"sync/theirs.txt", "remote bytes", t0 + 5);
    ui.answer(message_kind::download_new, yes);
    ui.answer(message_kind::remove_remote_file, yes);
    ui.answer(message_kind::remove_local_file, yes);
    pass();
    ASSERT_EQ(task_kinds(), (std::vector<int>{task::kind_download}));

    task* const download = &tasks.front();
    on_results_taken = [&] {
        on_results_taken = nullptr;
        download->start();
        ASSERT_TRUE(
            eventually([&] { return !download->has_busy_thread() && is_finished(*download); }));
    };
    pass();
    EXPECT_EQ(read_local(L"theirs.txt"), "remote bytes");
    EXPECT_EQ(task_kinds(), (std::vector<int>{task::kind_download}));

    pass();
    EXPECT_TRUE(task_kinds().empty());
    EXPECT_EQ(stored(owner, L"sync", local, L"theirs.txt").synced_time, t0 + 5);
    pass();
    EXPECT_TRUE(task_kinds().empty());
    ASSERT_TRUE(remote->file(L"sync/theirs.txt"));
    EXPECT_EQ(read_local(L"theirs.txt"), "remote bytes");
}

// A download writes its file beside the target under a name of its own and
// marks it hidden a moment later. A walk that comes in between sees a new
// visible file; taken for the user's, it went across, and once renamed away
// it looked removed locally, so its remote copy went to the trash.
TEST_F(ScanPass, AFileADownloadIsWritingBesideItsTargetIsNeverSent) {
    remote->put_file(L"sync/theirs.txt", "remote bytes", t0 + 5);
    ui.answer(message_kind::download_new, yes);
    ui.answer(message_kind::upload_new, yes);
    ui.answer(message_kind::remove_remote_file, yes);
    ui.answer(message_kind::remove_local_file, yes);
    pass();
    ASSERT_EQ(task_kinds(), (std::vector<int>{task::kind_download}));

    write_local(L".calvimora-0.tmp", "remote bytes", t0 + 5);
    write_local(L"deep/.calvimora-7.tmp", "", t0);
    pass();
    EXPECT_EQ(task_kinds(), (std::vector<int>{task::kind_download}));
    EXPECT_TRUE(ui.kinds() == std::vector<int>{message_kind::download_new});

    run_tasks();
    fs::remove(local_path(L".calvimora-0.tmp"));
    pass();
    pass();
    EXPECT_TRUE(task_kinds().empty());
    EXPECT_FALSE(remote->file(L"sync/.calvimora-0.tmp"));
    EXPECT_FALSE(remote->file(L"sync/deep/.calvimora-7.tmp"));
    ASSERT_TRUE(remote->file(L"sync/theirs.txt"));
    EXPECT_EQ(read_local(L"theirs.txt"), "remote bytes");
}

// A remote file under such a name is never fetched: the local walk would
// pass over the copy, take it for removed and remove the remote file. It is
// shown as not synced, and its folder is never removed over it.
TEST_F(ScanPass, ARemoteFileNamedAsADownloadInProgressIsShownAsNotSynced) {
    remote->put_file(L"sync/box/.calvimora-12.tmp", "theirs", t0);
    remote->put_file(L"sync/box/ok.txt", "ok", t0);
    ui.answer(message_kind::download_new, yes);
    pass();
    std::vector<std::wstring> downloads;
    std::vector<std::wstring> refused;
    {
        std::lock_guard<std::mutex> guard(tasks_lock);
        for (const task& job : tasks)
            (job.is_refused() ? refused : downloads).push_back(job.get_filename());
    }
    EXPECT_EQ(downloads, (std::vector<std::wstring>{L"ok.txt"}));
    EXPECT_EQ(refused, (std::vector<std::wstring>{L".calvimora-12.tmp"}));
    run_tasks();
    EXPECT_FALSE(local_exists(L"box/.calvimora-12.tmp"));
    EXPECT_EQ(read_local(L"box/ok.txt"), "ok");
}

TEST_F(ScanPass, BothBoxesStoreOnePermissionAtTheRoot) {
    write_local(L"a.txt", "a", t0);
    write_local(L"b.txt", "b", t0);
    ui.answer_next(make_answer(false, true, true));
    pass();
    EXPECT_EQ(ui.questions().size(), 1u);
    EXPECT_TRUE(task_kinds().empty());
    const sync_item root = stored(owner, L"sync", local, L"");
    EXPECT_EQ(root.rule.can_upload, sync_permission::no);
    EXPECT_EQ(root.rule.can_download, sync_permission::not_set);

    write_local(L"c.txt", "c", t0);
    ui.forget_questions();
    pass();
    EXPECT_TRUE(ui.questions().empty());
}

TEST_F(ScanPass, TheRecursionQuestionIsAskedOnceAndFollowedOnBothSides) {
    rebind([](binding& b) { b.can_recourse_subdirs = sync_permission::not_set; });
    write_local(L"top.txt", "t", t0);
    write_local(L"deep/inner.txt", "i", t0);
    remote->put_file(L"sync/far/remote.txt", "r", t0);
    ui.answer(message_kind::recurse_subfolders, no);

    pass();
    EXPECT_EQ(ui.kinds(),
              (std::vector<int>{message_kind::recurse_subfolders, message_kind::upload_new}));
    EXPECT_EQ(ui.questions()[0].dir_local, owner.dir_local);
    EXPECT_EQ(locked_get_bindings(user).find(owner)->can_recourse_subdirs, sync_permission::no);

    ui.forget_questions();
    pass();
    EXPECT_TRUE(ui.questions().empty());
}

TEST_F(ScanPass, HiddenLocalFilesAreNeverUploadedAndCountAsMissing) {
    write_local(L"secret.txt", "local secret", t0 + 10);
    hide_local(L"secret.txt");
    remote->put_file(L"sync/secret.txt", "remote", t0);
    pass();
    EXPECT_EQ(ui.kinds(), std::vector<int>{message_kind::download_new});
}

// An upload creates its remote file at once: finding a file by name costs a
// listing of its whole folder. Only when the name is taken meanwhile does it
// look, and a remote copy that became the newer one is kept.
TEST_F(ScanPass, UploadsListTheirFolderOnlyWhenTheNameIsTaken) {
    write_local(L"a.txt", "local a", t0);
    write_local(L"b.txt", "local b", t0);
    ui.answer(message_kind::upload_new, yes);
    pass();
    ASSERT_EQ(task_kinds(), (std::vector<int>{task::kind_upload, task::kind_upload}));
    remote->put_file(L"sync/b.txt", "newer remote b", t0 + 100);

    const int listed_before = remote->listings(L"sync");
    run_tasks();
    EXPECT_EQ(remote->listings(L"sync"), listed_before + 1);
    ASSERT_TRUE(remote->file(L"sync/a.txt"));
    EXPECT_EQ(remote->file(L"sync/a.txt")->content, "local a");
    EXPECT_EQ(remote->file(L"sync/b.txt")->content, "newer remote b");
    std::lock_guard<std::mutex> guard(tasks_lock);
    EXPECT_TRUE(tasks.front().is_done());
    EXPECT_TRUE(tasks.back().is_failed());
    EXPECT_EQ(tasks.back().get_message(), L"Remote file is newer than local");
}

// A pass with nothing to do leaves the disk alone: no table written, and no
// object of the log-on session (a table's named mutex) created and removed.
TEST_F(ScanPass, APassWithNothingToDoChangesNoFile) {
    write_local(L"same.txt", "same", t0);
    remote->put_file(L"sync/same.txt", "same", t0);
    pass();
    const int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(watch, 0);
    const auto changes = IN_CREATE | IN_DELETE | IN_MODIFY | IN_MOVED_FROM | IN_MOVED_TO;
    ASSERT_GE(inotify_add_watch(watch, win_machine::session_dir().c_str(), changes), 0);
    ASSERT_GE(
        inotify_add_watch(watch, binding_manager::get_settings_directory(user).c_str(), changes),
        0);
    EXPECT_EQ(pass().changed, 0);
    std::vector<std::string> changed;
    alignas(inotify_event) char buffer[4096];
    for (ssize_t length; (length = ::read(watch, buffer, sizeof buffer)) > 0;) {
        for (ssize_t at = 0; at < length;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            changed.push_back(event->len ? event->name : "");
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
        }
    }
    ::close(watch);
    EXPECT_TRUE(changed.empty()) << changed.front();
}

TEST_F(ScanPass, AnEmptyNewerRemoteFileIsNeverFetched) {
    write_local(L"empty.txt", "", t0);
    remote->put_file(L"sync/empty.txt", "", t0 + 100);
    for (int round = 0; round < 2; ++round) {
        EXPECT_EQ(pass().changed, 0);
        EXPECT_TRUE(ui.questions().empty());
        EXPECT_EQ(stored(owner, L"sync", local, L"empty.txt").last_time_remote, missing_time);
    }
}

// What an upload cut off after creating its remote file leaves: an empty
// file newer than the local one. It is never fetched over the content; the
// content is sent over it.
TEST_F(ScanPass, AnEmptyNewerRemoteFileGetsTheLocalContent) {
    write_local(L"log.txt", "kept", t0);
    remote->put_file(L"sync/log.txt", "", t0 + 100);
    ui.answer(message_kind::upload_newer, yes);
    pass();
    EXPECT_EQ(ui.kinds(), std::vector<int>{message_kind::upload_newer});
    run_tasks();
    EXPECT_EQ(read_local(L"log.txt"), "kept");
    ASSERT_TRUE(remote->file(L"sync/log.txt"));
    EXPECT_EQ(remote->file(L"sync/log.txt")->content, "kept");
    EXPECT_EQ(remote->file(L"sync/log.txt")->date, t0);
}

TEST_F(ScanPass, ANewDecisionReplacesAQueuedTaskOfAnotherKind) {
    remote->put_file(L"sync/doc.txt", "remote", t0 + 50);
    write_local(L"doc.txt", "local", t0);
    ui.answer(message_kind::download_newer, yes);
    ui.answer(message_kind::upload_newer, yes);
    pass();
    EXPECT_EQ(task_kinds(), std::vector<int>{task::kind_download});

    write_local(L"doc.txt", "edited", t0 + 100);
    pass();
    EXPECT_EQ(task_kinds(), std::vector<int>{task::kind_upload});
}

TEST_F(ScanPass, TasksOfAStoppedBindingAreStoppedFromTheStart) {
    stopped.insert(owner);
    write_local(L"a.txt", "a", t0);
    ui.answer(message_kind::upload_new, yes);
    pass();
    ASSERT_EQ(tasks.size(), 1u);
    EXPECT_TRUE(tasks.front().is_stopped());
}

TEST_F(ScanPass, RemovalsFollowTheAnswersAndARefusalBecomesATransfer) {
    write_local(L"keep.txt", "k", t0);
    write_local(L"drop.txt", "d", t0);
    remote->put_file(L"sync/keep.txt", "k", t0);
    remote->put_file(L"sync/drop.txt", "d", t0);
    remote->put_file(L"sync/gone.txt", "g", t0);
    write_local(L"gone.txt", "g", t0);
    pass();
    ASSERT_TRUE(ui.questions().empty());

    fs::remove(local_path(L"keep.txt"));
    fs::remove(local_path(L"drop.txt"));
    remote->remove(L"sync/gone.txt");
    ui.answer_next(no);   // drop.txt: remove remote? (kind 5, in key order)
    ui.answer_next(yes);  // ... then download it again? (kind 2)
    ui.answer_next(yes);  // gone.txt: remove local? (kind 7)
    ui.answer_next(yes);  // keep.txt: remove remote? (kind 5)
    pass();
    EXPECT_EQ(ui.kinds(), (std::vector<int>{
                              message_kind::remove_remote_file, message_kind::download_new,
                              message_kind::remove_local_file, message_kind::remove_remote_file}));
    EXPECT_EQ(task_kinds(), (std::vector<int>{task::kind_download, task::kind_remove_local_file,
                                              task::kind_remove_remote_file}));
    run_tasks();
    EXPECT_TRUE(local_exists(L"drop.txt"));
    EXPECT_FALSE(local_exists(L"gone.txt"));
    EXPECT_FALSE(remote->file(L"sync/keep.txt"));
}

TEST_F(ScanPass, AnItemGoneFromBothSidesComesBackAsNew) {
    write_local(L"x.txt", "x", t0);
    remote->put_file(L"sync/x.txt", "x", t0);
    pass();
    fs::remove(local_path(L"x.txt"));
    remote->remove(L"sync/x.txt");
    pass();
    EXPECT_EQ(stored(owner, L"sync", local, L"x.txt").last_time_remote, missing_time);

    remote->put_file(L"sync/x.txt", "back", t0 + 9);
    pass();
    EXPECT_EQ(ui.kinds(), std::vector<int>{message_kind::download_new});
}

TEST_F(ScanPass, AnUploadOnlyBindingOverwritesNewerRemoteFilesAndIgnoresRemoteOnlyOnes) {
    locked_remove_binding(user, owner);
    binding upload_only(L"up", sub(L"up"), L"", L"");
    upload_only._type = binding::type_upload_only;
    upload_only.rule = sync_rule();
    add(upload_only);
    write_local(L"up/report.txt", "mine", t0);
    remote->put_file(L"up/report.txt", "theirs", t0 + 100);
    remote->put_file(L"up/only-remote.txt", "r", t0);
    pass();
    EXPECT_EQ(ui.kinds(), std::vector<int>{message_kind::upload_newer});
}

TEST_F(ScanPass, ASingleFileBindingLooksAtItsOneFile) {
    locked_remove_binding(user, owner);
    binding single(L"single", sub(L"single"), L"one.txt", L"");
    single._type = binding::type_user_choice;
    single.rule = sync_rule();
    add(single);
    write_local(L"single/one.txt", "1", t0);
    write_local(L"single/other.txt", "2", t0);
    remote->add_folder(L"single");
    pass();
    ASSERT_EQ(ui.questions().size(), 1u);
    EXPECT_EQ(ui.questions()[0].filename, L"one.txt");
    EXPECT_EQ(ui.questions()[0].kind, message_kind::upload_new);
}

}  // namespace
}  // namespace syncer::scan_testing

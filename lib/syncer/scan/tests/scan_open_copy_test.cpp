// The bindings of opened copies: each copy goes to its own remote file
// alone (the saved-files folder that holds it, like any binding with
// another nested in its local folder, passes over it on both sides), and
// only over the version it was made from.
#include "syncer/core/paths.h"
#include "syncer/scan/scan_candidates.h"
#include "syncer/scan/tests/scan_test_support.h"

namespace syncer::scan_testing {
namespace {

constexpr sync_permission no = sync_permission::no;
constexpr sync_permission yes_to = sync_permission::yes;

class ScanOpenCopy : public scan_test {
protected:
    std::wstring sub(const std::wstring& name) const { return join_path(local, name); }

    // The saved-files folder's own binding, as the sync manager makes it.
    binding bind_saved_files() {
        binding saved(L"Calvimora", local, L"", L"");
        saved._type = binding::type_saved_files;
        return add(saved);
    }
    // The binding the open worker gives the copy of an opened file; its
    // table knows the file from the first pass on.
    binding bind_copy(const std::wstring& dir_remote, const std::wstring& dir_local,
                      const std::wstring& name) {
        binding copy(dir_remote, dir_local, name, L"");
        copy._type = binding::type_open_copy;
        copy._mode = 2;
        copy.can_recourse_subdirs = sync_permission::not_set;
        copy.rule = sync_rule({no, no, yes_to, no, no, no, no, no});
        return add(copy);
    }

    std::vector<std::pair<int, bool>> copy_tasks();
};

TEST_F(ScanOpenCopy, AnOpenedCopyGoesOnlyToItsOwnFileAndTheSavedFilesFolderKeepsTheRest) {
    bind_saved_files();
    bind_copy(L"/Docs", sub(L"Docs"), L"notes.txt");
    bind_copy(L"/", local, L"top.txt");
    remote->put_file(L"Docs/notes.txt", "first", t0);
    remote->put_file(L"top.txt", "top", t0);
    write_local(L"Docs/notes.txt", "first", t0);
    write_local(L"top.txt", "top", t0);
    // Put there by hand, not by opening: the saved-files folder's own.
    write_local(L"Docs/by hand.txt", "mine", t0);

    pass();
    run_tasks();
    write_local(L"Docs/notes.txt", "edited", t0 + 60);
    write_local(L"top.txt", "top, edited", t0 + 60);
    pass();
    run_tasks();

    EXPECT_EQ(remote->file(L"Docs/notes.txt")->content, "edited");
    EXPECT_EQ(remote->file(L"top.txt")->content, "top, edited");
    EXPECT_FALSE(remote->file(L"Calvimora/Docs/notes.txt")) << "uploaded twice";
    EXPECT_FALSE(remote->file(L"Calvimora/top.txt")) << "uploaded twice";
    ASSERT_TRUE(remote->file(L"Calvimora/Docs/by hand.txt"));
    EXPECT_TRUE(ui.questions().empty());
}

TEST_F(ScanOpenCopy, AFolderBoundOnItsOwnIsLeftAloneByTheEnclosingPairOnBothSides) {
    const binding outer = bind(L"sync", local);
    bind(L"elsewhere", sub(L"inner"));
    write_local(L"top.txt", "t", t0);
    write_local(L"inner/a.txt", "a", t0);
    // The enclosing pair's remote counterpart of the inner folder.
    remote->put_file(L"sync/inner/b.txt", "b", t0);
    ui.answer(message_kind::upload_new, yes);
    ui.answer(message_kind::download_new, yes);
    ui.answer(message_kind::remove_remote_folder, yes);

    pass();
    run_tasks();
    EXPECT_TRUE(remote->file(L"sync/top.txt"));
    EXPECT_TRUE(remote->file(L"elsewhere/a.txt"));
    EXPECT_FALSE(remote->file(L"sync/inner/a.txt")) << "sent to both remote folders";
    EXPECT_FALSE(local_exists(L"inner/b.txt")) << "fetched into the other pair's folder";
    for (const asked_question& asked : ui.questions())
        EXPECT_FALSE(path_is_within(asked.dir_remote, L"sync/inner"))
            << "asked about the other pair's folder";

    // The enclosing pair never takes the folder it does not look into for
    // one it may remove.
    ui.forget_questions();
    pass();
    run_tasks();
    EXPECT_TRUE(remote->file(L"sync/inner/b.txt"));
    EXPECT_EQ(stored(outer, L"sync/inner", sub(L"inner"), L"b.txt").last_time_remote, missing_time);
}

// The tasks of the copy's binding in list order: kind and whether it was
// refused.
std::vector<std::pair<int, bool>> ScanOpenCopy::copy_tasks() {
    std::lock_guard<std::mutex> guard(tasks_lock);
    std::vector<std::pair<int, bool>> found;
    for (const task& job : tasks)
        if (job.get_binding()._type == binding::type_open_copy)
            found.emplace_back(job.get_kind(), job.is_refused());
    return found;
}

TEST_F(ScanOpenCopy, AnEditOfAnOutdatedCopyNeverReplacesTheNewerRemoteFile) {
    remote->put_file(L"Docs/memo.txt", "m1", t0);
    write_local(L"Docs/memo.txt", "m1", t0);
    bind_copy(L"/Docs", sub(L"Docs"), L"memo.txt");
    pass();
    // Another computer saves, then the person edits the outdated copy.
    remote->put_file(L"Docs/memo.txt", "m2", t0 + 30);
    write_local(L"Docs/memo.txt", "m1 and my edit", t0 + 60);

    pass();
    EXPECT_EQ(copy_tasks(), (std::vector<std::pair<int, bool>>{{task::kind_upload, true}}))
        << "told, never sent";
    run_tasks();
    EXPECT_EQ(remote->file(L"Docs/memo.txt")->content, "m2");
    EXPECT_EQ(read_local(L"Docs/memo.txt"), "m1 and my edit");
    pass();
    run_tasks();
    EXPECT_EQ(remote->file(L"Docs/memo.txt")->content, "m2") << "a later pass sent it";
    EXPECT_EQ(copy_tasks().size(), 1u) << "still told";
    EXPECT_TRUE(ui.questions().empty());
}

// The open worker tells the copy's table what both sides held when it
// made the copy: both changes are seen although no pass ran between them.
TEST_F(ScanOpenCopy, BothChangedBeforeTheFirstPassAreSeenFromWhatTheCopyWasMadeFrom) {
    remote->put_file(L"Docs/memo.txt", "m1", t0);
    write_local(L"Docs/memo.txt", "m1", t0);
    const binding copy = bind_copy(L"/Docs", sub(L"Docs"), L"memo.txt");
    {
        items_manager table(copy, user);
        const auto record = table.insert(sync_item(copy)).first;
        record->last_time_remote = t0;
        record->last_time_local = t0;
        record->synced_time = t0;
    }
    remote->put_file(L"Docs/memo.txt", "m2", t0 + 30);
    write_local(L"Docs/memo.txt", "m1 and my edit", t0 + 60);

    pass();
    run_tasks();
    EXPECT_EQ(remote->file(L"Docs/memo.txt")->content, "m2");
    EXPECT_EQ(copy_tasks(), (std::vector<std::pair<int, bool>>{{task::kind_upload, true}}));
}

TEST_F(ScanOpenCopy, AnUploadQueuedBeforeTheRemoteFileChangedLeavesTheNewVersion) {
    remote->put_file(L"Docs/memo.txt", "m1", t0);
    write_local(L"Docs/memo.txt", "m1", t0);
    bind_copy(L"/Docs", sub(L"Docs"), L"memo.txt");
    pass();
    write_local(L"Docs/memo.txt", "my edit", t0 + 60);
    pass();
    ASSERT_EQ(copy_tasks(), (std::vector<std::pair<int, bool>>{{task::kind_upload, false}}));
    // Saved elsewhere between the decision and the transfer, dated before
    // the edit.
    remote->put_file(L"Docs/memo.txt", "m2", t0 + 30);
    run_tasks();
    EXPECT_EQ(remote->file(L"Docs/memo.txt")->content, "m2");

    pass();
    run_tasks();
    EXPECT_EQ(remote->file(L"Docs/memo.txt")->content, "m2");
    EXPECT_EQ(read_local(L"Docs/memo.txt"), "my edit");
    EXPECT_EQ(copy_tasks(), (std::vector<std::pair<int, bool>>{{task::kind_upload, true}}));
}

// The copy goes over its own remote file or nowhere: one gone since the
// decision, or a folder gone (a share ended), is never made anew.
TEST_F(ScanOpenCopy, TheCopyOfAnOpenedFileNeverMakesItsFileOrFolderAgain) {
    remote->put_file(L"Docs/memo.txt", "m1", t0);
    remote->put_file(L"Other/note.txt", "n1", t0);
    write_local(L"Docs/memo.txt", "m1", t0);
    write_local(L"Other/note.txt", "n1", t0);
    bind_copy(L"/Docs", sub(L"Docs"), L"memo.txt");
    bind_copy(L"/Other", sub(L"Other"), L"note.txt");
    pass();
    write_local(L"Docs/memo.txt", "my edit", t0 + 60);
    write_local(L"Other/note.txt", "my note", t0 + 60);
    pass();
    ASSERT_EQ(copy_tasks().size(), 2u);
    remote->remove(L"Docs/memo.txt");
    remote->remove(L"Other");
    run_tasks();

    EXPECT_FALSE(remote->file(L"Docs/memo.txt"));
    EXPECT_FALSE(remote->folder_exists(L"Other"));
    EXPECT_EQ(read_local(L"Docs/memo.txt"), "my edit");
}

}  // namespace
}  // namespace syncer::scan_testing

// Which tasks the sync window lists, in which order and groups, and which
// big button it offers.
#include <gtest/gtest.h>

#include "sync_samples.h"
#include "sync_task_view.h"
#include "win/machine.h"

namespace {

using syncer::binding;
using syncer::task;

class TaskView : public testing::Test {
protected:
    task in(const binding& owner, const std::wstring& name, int state,
            int kind = task::kind_download) {
        return sync_samples::make_task(owner, kind, owner.dir_remote, owner.dir_local, name, state);
    }
    static std::vector<std::wstring> names(const CSyncTaskView& view) {
        std::vector<std::wstring> out;
        for (const task& shown : view.tasks) out.push_back(shown.get_filename());
        return out;
    }

    win_machine::scoped_root root;
    const binding docs = sync_samples::folder_pair(L"Docs", L"C:\\Docs");
    const binding music = sync_samples::folder_pair(L"Music", L"C:\\Music");
    const binding upload_only =
        sync_samples::folder_pair(L"Camera", L"C:\\Camera", binding::type_upload_only);
    const binding saved =
        sync_samples::folder_pair(L"Calvimora", L"C:\\Saved", binding::type_saved_files);
};

TEST_F(TaskView, QueuedTasksAndTheLocalRemovalsOfUploadOnlyPairsAreLeftOut) {
    const CSyncTaskView queued_only =
        ViewOfTasks({in(docs, L"a", task::state_queued), in(music, L"b", task::state_queued)});
    EXPECT_TRUE(queued_only.tasks.empty());
    EXPECT_FALSE(queued_only.resume_all);

    const CSyncTaskView view = ViewOfTasks({
        in(upload_only, L"kept on the camera", task::state_running, task::kind_remove_local_file),
        in(upload_only, L"sent", task::state_running, task::kind_upload),
        in(docs, L"removed here", task::state_running, task::kind_remove_local_file),
    });
    EXPECT_EQ(names(view), (std::vector<std::wstring>{L"sent", L"removed here"}));
}

TEST_F(TaskView, PairsOfUploadsAndSavedFilesStandWithoutAGroup) {
    const CSyncTaskView view = ViewOfTasks({
        in(docs, L"a", task::state_running),
        in(upload_only, L"b", task::state_running, task::kind_upload),
        in(saved, L"c", task::state_running),
        in(binding(sync_samples::folder_pair(L"Opened", L"C:\\Opened", binding::type_open_copy)),
           L"d", task::state_running),
    });
    ASSERT_EQ(view.groups.size(), 4u);
    ASSERT_TRUE(view.groups[0].has_value());
    EXPECT_TRUE(view.groups[0]->is_same_as(docs));
    EXPECT_FALSE(view.groups[1].has_value());
    EXPECT_FALSE(view.groups[2].has_value());
    EXPECT_TRUE(view.groups[3].has_value());
}

TEST_F(TaskView, WithinAPairRunningComesFirstAndStoppedOrFailedLast) {
    const CSyncTaskView view = ViewOfTasks({
        in(docs, L"d stopped", task::state_stopped),
        in(music, L"m running", task::state_running),
        in(docs, L"d running", task::state_running),
        in(docs, L"d failed", task::state_failed),
        in(docs, L"d done", task::state_done),
        in(music, L"m stopped", task::state_stopped),
        in(docs, L"d running too", task::state_running),
    });
    // The other pair keeps its places; each pair's tasks move only among
    // its own.
    EXPECT_EQ(names(view),
              (std::vector<std::wstring>{L"d running", L"m running", L"d running too", L"d done",
                                         L"d stopped", L"m stopped", L"d failed"}));
}

TEST_F(TaskView, ResumeAllIsOfferedOnlyWhenEveryTaskShownIsStopped) {
    EXPECT_FALSE(ViewOfTasks({}).resume_all);
    EXPECT_TRUE(
        ViewOfTasks({in(docs, L"a", task::state_stopped), in(music, L"b", task::state_stopped),
                     in(docs, L"queued", task::state_queued)})
            .resume_all);
    EXPECT_FALSE(
        ViewOfTasks({in(docs, L"a", task::state_stopped), in(docs, L"b", task::state_failed)})
            .resume_all);
}

}  // namespace

// Folders in a scan pass: a folder's removal decided once everything in it
// has gone, over as many passes as that takes, and a name that is a file on
// one side and a folder on the other.
#include "syncer/core/paths.h"
#include "syncer/scan/tests/scan_test_support.h"

namespace syncer::scan_testing {
namespace {

class ScanFolders : public scan_test {
protected:
    ScanFolders() : owner(bind(L"sync", local)) {}

    void known(const std::vector<std::wstring>& names) {
        for (const std::wstring& name : names) {
            write_local(name, "same", t0);
            remote->put_file(L"sync/" + name, "same", t0);
        }
        pass();
        ASSERT_TRUE(ui.questions().empty());
    }

    // The reasons of the tasks shown as refused, by file name.
    std::map<std::wstring, std::wstring> refusals() {
        std::lock_guard<std::mutex> guard(tasks_lock);
        std::map<std::wstring, std::wstring> reasons;
        for (const task& job : tasks) {
            if (job.is_refused()) reasons[job.get_filename()] = job.get_message();
        }
        return reasons;
    }

    binding owner;
};

// A file kept in pass one goes on the other side before pass two: the folder
// is asked about then, not left behind for ever.
TEST_F(ScanFolders, AFolderGoesOnceTheLastOfItsContentsHasGone) {
    known({L"box/a.txt", L"box/b.txt", L"stays.txt"});
    fs::remove_all(local_path(L"box"));
    ui.answer(message_kind::remove_remote_folder, yes);
    ui.on_question([&](const asked_question& question) {
        ui.answer_next(question.filename == L"b.txt" ? no : yes);
    });

    pass();
    EXPECT_EQ(ui.kinds(),
              (std::vector<int>{message_kind::remove_remote_file, message_kind::remove_remote_file,
                                message_kind::download_new}));
    EXPECT_EQ(task_kinds(), std::vector<int>{task::kind_remove_remote_file});
    run_tasks();
    EXPECT_TRUE(remote->folder_exists(L"sync/box"));

    // The kept file goes on the service too: nothing is left in the folder.
    remote->remove(L"sync/box/b.txt");
    ui.forget_questions();
    pass();
    EXPECT_EQ(ui.kinds(), std::vector<int>{message_kind::remove_remote_folder});
    run_tasks();
    EXPECT_FALSE(remote->folder_exists(L"sync/box"));
    EXPECT_TRUE(remote->file(L"sync/stays.txt"));
}

// The old file's removal refused: the folder that took its name locally is
// not sent (nor the file fetched onto it), the person is shown why, and
// nothing is asked again.
TEST_F(ScanFolders, AFileAndAFolderOfOneNameStayAsTheyAreWhileNothingRemovesEither) {
    known({L"report", L"stays.txt"});
    fs::remove(local_path(L"report"));
    write_local(L"report/part.txt", "part", t0 + 5);
    ui.answer(message_kind::upload_new, yes);

    pass();
    EXPECT_EQ(ui.kinds(), std::vector<int>{message_kind::remove_remote_file});
    EXPECT_TRUE(task_kinds().empty());

    ui.forget_questions();
    pass();
    pass();
    EXPECT_TRUE(ui.questions().empty());
    const auto reasons = refusals();
    ASSERT_EQ(reasons.size(), 1u);
    EXPECT_EQ(reasons.at(L"report"),
              L"This file on Calvimora has the name of a folder on the other side, so neither is "
              L"synced until one of them is renamed or removed");
    run_tasks();
    EXPECT_EQ(remote->file(L"sync/report")->content, "same");
    EXPECT_EQ(read_local(L"report/part.txt"), "part");

    // Gone from the service: the folder goes across, and the notice with it.
    remote->remove(L"sync/report");
    pass();
    EXPECT_EQ(ui.kinds(), std::vector<int>{message_kind::upload_new});
    EXPECT_TRUE(refusals().empty());
    run_tasks();
    EXPECT_EQ(remote->file(L"sync/report/part.txt")->content, "part");
}

}  // namespace
}  // namespace syncer::scan_testing

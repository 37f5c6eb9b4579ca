// Removals of every file of a binding, or of most of them, are asked about
// whatever the binding's rule says, and what the engine removes locally can
// be taken back from the desktop's trash.
#include "syncer/scan/tests/scan_test_support.h"

namespace syncer::scan_testing {
namespace {

// The bytes of an entry of the desktop's trash.
std::string trashed(const std::string& name) {
    std::ifstream in((fs::path(win_machine::trash_dir()) / "files" / name).native(),
                     std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class ScanMassRemoval : public scan_test {
protected:
    // A binding whose rule allows everything without asking.
    ScanMassRemoval() : owner(bind_allowing(L"sync", local)) {}

    binding bind_allowing(const std::wstring& dir_remote, const std::wstring& dir_local,
                          int type = binding::type_user_choice) {
        binding made(dir_remote, dir_local, L"", L"");
        made._type = type;
        made.can_recourse_subdirs = sync_permission::yes;
        for (int index = 0; index < sync_rule::size; ++index)
            made.rule[index] = sync_permission::yes;
        return add(made);
    }

    void known(const std::vector<std::wstring>& names) {
        for (const std::wstring& name : names) {
            write_local(name, "same", t0);
            remote->put_file(L"sync/" + name, "same", t0);
        }
        pass();
        ASSERT_TRUE(task_kinds().empty());
    }

    std::vector<int> removal_tasks() {
        std::vector<int> kinds;
        for (const int kind : task_kinds()) {
            if (kind >= task::kind_remove_local_file) kinds.push_back(kind);
        }
        return kinds;
    }

    binding owner;
};

TEST_F(ScanMassRemoval, EveryFileRemovedLocallyIsAskedAboutWhateverTheRule) {
    // The folder stays: the root is not empty, only its files are gone.
    known({L"a.txt", L"b.txt", L"dir/c.txt"});
    for (const wchar_t* name : {L"a.txt", L"b.txt", L"dir/c.txt"}) fs::remove(local_path(name));
    pass();
    EXPECT_TRUE(task_kinds().empty());
    EXPECT_TRUE(ui.questions().empty());

    ui.answer_next(no);
    ui.answer_next(yes + answer_code::apply_to_all);
    pass();
    const auto questions = ui.questions();
    ASSERT_EQ(questions.size(), 2u);
    for (const asked_question& question : questions) {
        EXPECT_EQ(question.kind, message_kind::remove_remote_file);
        EXPECT_FALSE(question.offer_dont_ask_again);
        EXPECT_TRUE(question.offer_apply_to_all);
    }
    // The refused one comes back; the others go, and the rule is as it was.
    EXPECT_EQ(task_kinds(), (std::vector<int>{task::kind_download, task::kind_remove_remote_file,
                                              task::kind_remove_remote_file}));
    EXPECT_EQ(stored(owner, L"sync", local, L"").rule, sync_rule());
}

TEST_F(ScanMassRemoval, AQuestionLeftUnansweredKeepsTheFiles) {
    std::vector<std::wstring> names;
    for (int index = 0; index < 12; ++index) names.push_back(L"f" + std::to_wstring(index));
    known(names);
    known({L"s0", L"s1", L"s2", L"s3", L"s4", L"s5", L"s6", L"s7"});
    for (const std::wstring& name : names) remote->remove(L"sync/" + name);
    pass();
    EXPECT_TRUE(removal_tasks().empty());
    // A box closed without an answer.
    ui.answer(message_kind::remove_local_file, 0);
    pass();
    EXPECT_EQ(ui.kinds(), std::vector<int>(12, message_kind::remove_local_file));
    EXPECT_TRUE(removal_tasks().empty());
    run_tasks();
    for (const std::wstring& name : names) {
        EXPECT_TRUE(local_exists(name)) << name;
        EXPECT_TRUE(remote->file(L"sync/" + name)) << name;
    }
}

// A root emptied, and seen so by a second pass, has waited: that pass asks.
TEST_F(ScanMassRemoval, TheLastFilesOfAnEmptiedRootAreAskedAbout) {
    known({L"a.txt", L"b.txt"});
    remote->remove(L"sync/a.txt");
    remote->remove(L"sync/b.txt");
    pass();
    EXPECT_TRUE(task_kinds().empty());
    ui.answer(message_kind::remove_local_file, yes);
    pass();
    EXPECT_EQ(ui.kinds(),
              (std::vector<int>{message_kind::remove_local_file, message_kind::remove_local_file}));
    EXPECT_EQ(task_kinds(),
              (std::vector<int>{task::kind_remove_local_file, task::kind_remove_local_file}));
    run_tasks();
    EXPECT_FALSE(local_exists(L"a.txt"));
    EXPECT_EQ(trashed("a.txt"), "same");
}

TEST_F(ScanMassRemoval, AFolderOfAMassRemovalIsAskedAboutToo) {
    known({L"top.txt", L"dir/x.txt", L"dir/y.txt"});
    remote->remove(L"sync/dir");
    remote->remove(L"sync/top.txt");
    remote->add_folder(L"sync/other");
    pass();
    ui.answer(message_kind::remove_local_file, yes);
    ui.answer(message_kind::remove_local_folder, yes);
    pass();
    // The folder is asked about once its files are settled.
    EXPECT_EQ(ui.kinds(), (std::vector<int>{
                              message_kind::remove_local_file, message_kind::remove_local_file,
                              message_kind::remove_local_file, message_kind::remove_local_folder}));
    run_tasks();
    EXPECT_FALSE(local_exists(L"dir"));
    EXPECT_EQ(trashed("x.txt"), "same");
    EXPECT_TRUE(fs::is_directory(fs::path(win_machine::trash_dir()) / "files" / "dir"));
}

// A few files removed among many go as the rule says.
TEST_F(ScanMassRemoval, AFewRemovalsGoAsTheRuleSays) {
    known({L"a.txt", L"b.txt", L"c.txt"});
    fs::remove(local_path(L"a.txt"));
    pass();
    EXPECT_TRUE(ui.questions().empty());
    EXPECT_EQ(task_kinds(), std::vector<int>{task::kind_remove_remote_file});
}

// The first pass of the saved-files folder takes away the copies that equal
// their remote file: into the trash.
TEST_F(ScanMassRemoval, UnchangedSavedCopiesGoToTheTrash) {
    const fs::path saved = fs::path(root_.path()) / "saved";
    bind_allowing(L"Calvimora", saved.wstring(), binding::type_saved_files);
    fs::create_directories(saved);
    std::ofstream((saved / "same.txt").native()) << "same";
    fs::last_write_time(saved / "same.txt", static_cast<std::time_t>(t0));
    remote->put_file(L"Calvimora/same.txt", "same", t0);
    std::ofstream((saved / "edited.txt").native()) << "edited";
    fs::last_write_time(saved / "edited.txt", static_cast<std::time_t>(t0 + 5));
    remote->put_file(L"Calvimora/edited.txt", "old", t0);
    pass(true);
    EXPECT_FALSE(fs::exists(saved / "same.txt"));
    EXPECT_EQ(trashed("same.txt"), "same");
    EXPECT_TRUE(fs::exists(saved / "edited.txt"));
}

}  // namespace
}  // namespace syncer::scan_testing

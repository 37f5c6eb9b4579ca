// The sync window over the real manager, with a fake remote storage and an
// environment whose waits the test holds: the scan's questions in the box on
// the scan thread, the list following the engine, Cancel ending a folder
// pair, and the ends of syncing that must not wait for a person.
#include <atomic>
#include <fstream>

#include "sync_test_support.h"
#include "syncer/core/exceptions.h"
#include "syncer/scan/tests/scan_test_support.h"
#include "syncer/tables/binding_manager.h"
#include "syncer/tables/locked_operations.h"
#include "ui/resource_ids.h"
#include "utils/locale.h"
#include "win/shell.h"

namespace sync_test {
namespace {

namespace fs = boost::filesystem;
using std::chrono::milliseconds;
using syncer::scan_testing::eventually;
using syncer::scan_testing::fake_remote;
using syncer::scan_testing::test_environment;

const milliseconds runner_period{5000};

// The manager, counting the times its task list was busy.
class counting_engine : public CSyncEngine {
public:
    counting_engine(std::unique_ptr<CSyncEngine> inner, std::atomic<int>& busy)
        : m_inner(std::move(inner)), m_busy(busy) {}

    std::list<syncer::task> GetTasks() override {
        try {
            return m_inner->GetTasks();
        } catch (const syncer::busy_exception&) {
            ++m_busy;
            throw;
        }
    }
    void StopAll() override { m_inner->StopAll(); }
    void ResumeAll() override { m_inner->ResumeAll(); }
    void StopBinding(const syncer::binding& b) override { m_inner->StopBinding(b); }
    void ResumeBinding(const syncer::binding& b) override { m_inner->ResumeBinding(b); }
    void StopTask(const syncer::task& t) override { m_inner->StopTask(t); }
    void RestartTask(const syncer::task& t) override { m_inner->RestartTask(t); }
    void RemoveBinding(const syncer::binding& b) override { m_inner->RemoveBinding(b); }

private:
    std::unique_ptr<CSyncEngine> m_inner;
    std::atomic<int>& m_busy;
};

class WithTheManager : public SyncWindowTest {
protected:
    WithTheManager() {
        utils::imbue_utf8_locale();
        fs::create_directories(scratch);
        remote->add_folder(L"sync");
    }
    ~WithTheManager() override {
        remote->release_transfers();
        environment->release(runner_period);
        owned.reset();
    }

    // A folder pair of "sync" with every permission left to the person (or
    // all granted).
    syncer::binding bind(bool allow_everything) {
        syncer::binding made(L"sync", scratch.wstring(), L"", L"");
        made._type = syncer::binding::type_user_choice;
        made.can_recourse_subdirs = syncer::sync_permission::yes;
        made.rule = syncer::sync_rule();
        if (allow_everything)
            for (int i = 0; i < syncer::sync_rule::size; ++i)
                made.rule[i] = syncer::sync_permission::yes;
        syncer::locked_add_binding(user, made);
        return made;
    }
    void write_local(const std::string& name) {
        const fs::path path = scratch / name;
        std::ofstream(path.native(), std::ios::binary) << "local bytes";
        fs::last_write_time(path, 1600000000);
    }
    void start_manager() {
        window.SetEngineFactory([this](const std::wstring& name, syncer::user_interface* ui) {
            auto made =
                std::make_unique<counting_engine>(MakeManagerEngine(name, ui, environment), busy);
            manager = made.get();
            return made;
        });
        ASSERT_TRUE(window.StartSyncing(user));
    }
    // Until the window's list shows that many rows.
    bool rows_become(int count) {
        return win_test::pump_until([&] { return window.GetTaskList().RowCount() == count; });
    }

    const std::wstring user = L"Ann";
    std::shared_ptr<fake_remote> remote = fake_remote::make();
    std::shared_ptr<test_environment> environment = std::make_shared<test_environment>(remote);
    std::atomic<int> busy{0};
    CSyncEngine* manager = nullptr;  // the window's, while it syncs
};

TEST_F(WithTheManager, TheScansQuestionIsAskedOnItsThreadAndItsAnswerActs) {
    bind(false);
    write_local("new.txt");
    const DWORD main_thread = GetCurrentThreadId();
    std::atomic<bool> on_another_thread{false};
    std::wstring text;
    win_test::scoped_dialog_responder script([&](HWND dialog) {
        on_another_thread = GetCurrentThreadId() != main_thread;
        text = win_test::text(win_test::control(dialog, IDC_YESNO_MESSAGE));
        win_test::press(dialog, IDOK);
    });
    start_manager();
    EXPECT_TRUE(eventually([&] { return remote->file(L"sync/new.txt").has_value(); }));
    EXPECT_TRUE(on_another_thread);
    EXPECT_EQ(text.rfind(L"File 'new.txt' exists on local drive, but not on 'Calvimora'.", 0), 0u)
        << text;
}

TEST_F(WithTheManager, TheListFollowsTheEngineAndCancelEndsTheFolderPair) {
    const syncer::binding pair_of_sync = bind(true);
    environment->hold(runner_period);
    start_manager();
    // The remote file comes once the runner waits, so its first cycle
    // cannot start the download.
    ASSERT_TRUE(environment->wait_until_held(runner_period));
    remote->put_file(L"sync/theirs.txt", "remote bytes", 1600000000);
    // Queued tasks are not listed, and the window stays hidden.
    ASSERT_TRUE(eventually([&] {
        std::list<syncer::task> tasks;
        try {
            tasks = manager->GetTasks();
        } catch (...) {
        }
        return !tasks.empty();
    }));
    refresh();
    EXPECT_EQ(window.GetTaskList().RowCount(), 0);
    EXPECT_FALSE(window.IsWindowVisible());

    window.SendMessage(WM_COMMAND, MAKEWPARAM(CCMSyncWindow::stop_all_button_id, BN_CLICKED), 0);
    ASSERT_TRUE(rows_become(1));
    ASSERT_TRUE(window.IsWindowVisible());
    EXPECT_TRUE(shows(window.GetResumeAllButton()));
    ASSERT_EQ(groups().size(), 1u);
    EXPECT_TRUE(shows(groups()[0]->GetCancelButton()));

    int answer = IDNO;
    int asked = 0;
    win_test::scoped_message_box_responder script(
        [&](const std::wstring&, const std::wstring&, UINT) {
            ++asked;
            return answer;
        });
    // The scan's passes refresh the list now and then; a click whose press
    // and release fall on either side of a refresh presses nothing, as it
    // would for a person, who clicks again.
    const auto click_cancel_until_asked = [&] {
        const int before = asked;
        for (int attempt = 0; attempt < 20 && asked == before; ++attempt)
            click(groups()[0]->GetCancelButton());
        return asked == before + 1;
    };
    ASSERT_TRUE(click_cancel_until_asked());
    EXPECT_EQ(syncer::locked_get_bindings(user).count(pair_of_sync), 1u);
    win_test::clear_shell_notifications();
    answer = IDYES;
    ASSERT_TRUE(click_cancel_until_asked());
    EXPECT_EQ(syncer::locked_get_bindings(user).count(pair_of_sync), 0u);
    EXPECT_EQ(win_test::shell_notifications().at(0).event, SHCNE_ASSOCCHANGED);
    EXPECT_TRUE(rows_become(0));
    EXPECT_FALSE(window.IsWindowVisible());
}

// The manager reads the binding table with its tasks: a table that cannot be
// read makes the tasks unknown, which ends nothing and waits for nothing.
TEST_F(WithTheManager, EndingWithAnUnreadableBindingTableGivesUpAtOnce) {
    bind(true);
    start_manager();
    std::ofstream(syncer::binding_manager::get_bindings_path(user).native(), std::ios::trunc)
        << "<sync";
    std::vector<std::wstring> texts;
    win_test::scoped_message_box_responder script(
        [&](const std::wstring& text, const std::wstring&, UINT) {
            texts.push_back(text);
            return IDOK;
        });
    EXPECT_FALSE(window.StopSyncing());
    EXPECT_EQ(texts, std::vector<std::wstring>{L"Error requesting tasks"});
    EXPECT_TRUE(window.HasManager());
}

// The scan holds the task list while it asks. Ending syncing waits for the
// list, and the question, on the scan thread and owned by no window, can
// still be answered meanwhile: nothing waits on the main thread.
TEST_F(WithTheManager, EndingWhileTheScanAsksWaitsForTheAnswerWithoutLockingUp) {
    bind(false);
    write_local("ask.txt");
    std::atomic<bool> asked{false};
    win_test::scoped_dialog_responder script([&](HWND dialog) {
        asked = true;
        win_test::pump_until([&] { return busy > 0; }, std::chrono::seconds(20));
        win_test::press(dialog, IDCANCEL);
    });
    start_manager();
    ASSERT_TRUE(eventually([&] { return asked.load(); }));
    EXPECT_TRUE(window.StopSyncing());
    EXPECT_GT(busy, 0);
    EXPECT_FALSE(window.HasManager());
}

// The program ends (or the session is gone) while a question is up: the
// window goes without waiting for anyone to answer.
TEST_F(WithTheManager, DeletingTheWindowAnswersAnOpenQuestionNo) {
    bind(false);
    write_local("ask.txt");
    std::atomic<bool> asked{false};
    win_test::scoped_dialog_responder script([&](HWND dialog) {
        asked = true;
        win_test::pump_until([&] { return !win_test::visible(dialog); }, std::chrono::seconds(60));
    });
    start_manager();
    ASSERT_TRUE(eventually([&] { return asked.load(); }));
    const auto before = std::chrono::steady_clock::now();
    owned.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(20));
    EXPECT_FALSE(remote->file(L"sync/ask.txt").has_value());
}

}  // namespace
}  // namespace sync_test

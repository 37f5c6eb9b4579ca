// Other processes on the same tables: concurrent writers lose nothing, and a
// writer killed at any step of a save leaves every record saved before.
#include <csignal>

#include "syncer/tables/items_manager.h"
#include "syncer/tables/locked_operations.h"
#include "syncer/tables/tests/test_support.h"

namespace syncer {
namespace {

using namespace testing_support;

class SyncerTableProcesses : public settings_test {};

TEST_F(SyncerTableProcesses, ProcessesAddingAtOnceLoseNoBinding) {
    const std::string name = to_narrow(user);
    std::thread first([&] { EXPECT_EQ(run_helper({"add", name, "first", "20"}), 0); });
    std::thread second([&] { EXPECT_EQ(run_helper({"add", name, "second", "20"}), 0); });
    for (int index = 0; index < 10; ++index)
        locked_add_binding(user, folder_binding(L"remote/own" + std::to_wstring(index), L"C:\\o"));
    first.join();
    second.join();

    const binding_set stored = locked_get_bindings(user);
    EXPECT_EQ(stored.size(), 50u);
    std::set<std::wstring> table_names;
    for (const binding& b : stored) table_names.insert(b.items_filename);
    EXPECT_EQ(table_names.size(), 50u);
    EXPECT_EQ(parse_file(settings_file(L"bindings.xml")).get(L"next_rules_file_id", 0), 50);
}

struct kill_case {
    const char* step;
    bool earlier_save;  // whether a table was saved before the killed save
};

void PrintTo(const kill_case& tested, std::ostream* out) {
    *out << tested.step << (tested.earlier_save ? "" : " (first save)");
}

std::string case_name(const testing::TestParamInfo<kill_case>& info) {
    return std::string(info.param.step) + (info.param.earlier_save ? "" : "_first_save");
}

bool killed(int status) {
    return status != -1 && WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
}

class KilledBindingSave : public SyncerTableProcesses,
                          public testing::WithParamInterface<kill_case> {};

TEST_P(KilledBindingSave, LeavesEveryBindingSavedBefore) {
    const std::string name = to_narrow(user);
    if (GetParam().earlier_save) {
        ASSERT_EQ(run_helper({"add", name, "before", "2"}), 0);
    }
    ASSERT_TRUE(killed(run_helper({"add", name, "killed", "1"}, GetParam().step)));

    const binding_set stored = locked_get_bindings(user);
    const std::size_t before = GetParam().earlier_save ? 2 : 0;
    // A first save cut after its companion was written is taken from there.
    const std::string step = GetParam().step;
    const bool completed =
        step == "file_replaced" || (step == "temporary_written" && !GetParam().earlier_save);
    EXPECT_EQ(stored.size(), before + (completed ? 1 : 0));
    // The table goes on working: the next save lands and keeps everything.
    locked_add_binding(user, folder_binding(L"remote/after", L"C:\\after"));
    EXPECT_EQ(locked_get_bindings(user).size(), stored.size() + 1);
}

INSTANTIATE_TEST_SUITE_P(
    SyncerEveryStep, KilledBindingSave,
    testing::Values(kill_case{"temporary_opened", true}, kill_case{"temporary_written", true},
                    kill_case{"file_replaced", true}, kill_case{"temporary_opened", false},
                    kill_case{"temporary_written", false}, kill_case{"file_replaced", false}),
    case_name);

class KilledItemSave : public SyncerTableProcesses, public testing::WithParamInterface<kill_case> {
protected:
    std::size_t records() {
        items_manager table(owner, user);
        return table.size();
    }

    const binding owner{L"remote", L"C:\\local", L"", L"sync_rules_0.xml"};
};

TEST_P(KilledItemSave, LeavesEveryRecordSavedBefore) {
    const std::string name = to_narrow(user);
    std::size_t before = 0;
    if (GetParam().earlier_save) {
        // Two saves, so that the killed one also has a backup to replace.
        ASSERT_EQ(run_helper({"add-item", name, "sync_rules_0.xml", "one"}), 0);
        ASSERT_EQ(run_helper({"add-item", name, "sync_rules_0.xml", "two"}), 0);
        before = 2;
    }
    ASSERT_TRUE(killed(run_helper({"add-item", name, "sync_rules_0.xml", "new"}, GetParam().step)));

    const std::size_t found = records();
    EXPECT_GE(found, before);
    EXPECT_LE(found, before + 1);
    if (std::string(GetParam().step) == "file_replaced") {
        EXPECT_EQ(found, before + 1);
    }
    ASSERT_EQ(run_helper({"add-item", name, "sync_rules_0.xml", "after"}), 0);
    EXPECT_EQ(records(), found + 1);
}

INSTANTIATE_TEST_SUITE_P(
    SyncerEveryStep, KilledItemSave,
    testing::Values(kill_case{"temporary_opened", true}, kill_case{"temporary_written", true},
                    kill_case{"backup_removed", true}, kill_case{"backup_made", true},
                    kill_case{"file_replaced", true}, kill_case{"temporary_opened", false},
                    kill_case{"temporary_written", false}, kill_case{"file_replaced", false}),
    case_name);

}  // namespace
}  // namespace syncer

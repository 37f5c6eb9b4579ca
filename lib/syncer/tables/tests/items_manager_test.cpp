// Item tables: what is stored, the effective rule, recovery and the sweep.
#include <sys/stat.h>

#include "syncer/tables/items_manager.h"
#include "syncer/tables/locked_operations.h"
#include "syncer/tables/tests/test_support.h"

namespace syncer {
namespace {

using namespace testing_support;

sync_item record(const std::wstring& remote, const std::wstring& local, const std::wstring& name,
                 std::int64_t remote_time, std::int64_t local_time) {
    sync_item made(remote, local, name);
    made.last_time_remote = remote_time;
    made.last_time_local = local_time;
    return made;
}

class SyncerItemTable : public settings_test {
protected:
    SyncerItemTable() {
        locked_add_binding(user, folder_binding(L"remote", L"C:\\root"));
        owner = *locked_get_bindings(user).begin();
    }

    fs::path table_file() const { return settings_file(owner.items_filename); }

    binding owner;
};

TEST_F(SyncerItemTable, TimesSurviveInFullAndRecordsWithoutTimesAreForgotten) {
    const std::int64_t beyond_32_bits = (std::int64_t{1} << 40) + 5;
    {
        items_manager table(owner, user);
        table.insert(record(L"remote", L"C:\\root", L"big", beyond_32_bits, -7));
        table.insert(record(L"remote", L"C:\\root", L"small", 1234, missing_time));
        table.insert(record(L"remote", L"C:\\root", L"gone", missing_time, missing_time));
    }
    EXPECT_NE(read_bytes(table_file()).find("<last_time_remote>1234</last_time_remote>"),
              std::string::npos);

    items_manager table(owner, user);
    ASSERT_EQ(table.size(), 2u);
    const auto big = table.find(sync_item(L"remote", L"C:\\root", L"big"));
    ASSERT_NE(big, table.end());
    EXPECT_EQ(big->last_time_remote, beyond_32_bits);
    EXPECT_EQ(big->last_time_local, -7);
    EXPECT_EQ(table.find(sync_item(L"remote", L"C:\\root", L"small"))->last_time_local,
              missing_time);
}

// A table is kept between openings of it; the file is the truth: an
// unchanged table is not written again, a file changed by anyone else is
// read again.
TEST_F(SyncerItemTable, AKeptTableIsNotWrittenAgainAndYieldsToAChangedFile) {
    { items_manager(owner, user).insert(record(L"remote", L"C:\\root", L"f", 5, 5)); }
    struct stat before {};
    ASSERT_EQ(::stat(table_file().c_str(), &before), 0);
    { items_manager reopened(owner, user); }
    struct stat after {};
    ASSERT_EQ(::stat(table_file().c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);

    write_bytes(table_file(),
                "<sync_items><item><dir_local>C:\\\\root</dir_local><dir_remote>remote</dir_remote>"
                "<filename>g</filename><last_time_local>7</last_time_local>"
                "<last_time_remote>7</last_time_remote></item></sync_items>");
    items_manager table(owner, user);
    ASSERT_EQ(table.size(), 1u);
    EXPECT_EQ(table.begin()->filename, L"g");

    // A change made in memory is written.
    table.begin()->last_time_local = 8;
    table.save();
    EXPECT_NE(read_bytes(table_file()).find("<last_time_local>8</last_time_local>"),
              std::string::npos);
}

TEST_F(SyncerItemTable, UnreadableStoredTimesMeanUnknown) {
    write_bytes(table_file(),
                "<sync_items><item><dir_local>C:\\\\root</dir_local><dir_remote>remote</dir_remote>"
                "<filename>f</filename><last_time_local>soon</last_time_local>"
                "<last_time_remote>99999999999999999999</last_time_remote></item></sync_items>");
    items_manager table(owner, user);
    ASSERT_EQ(table.size(), 1u);
    EXPECT_EQ(table.begin()->last_time_local, missing_time);
    EXPECT_EQ(table.begin()->last_time_remote, missing_time);
    EXPECT_EQ(table.begin()->rule, sync_rule());
}

TEST_F(SyncerItemTable, EffectiveRuleInheritsFromEnclosingFoldersOfAFolderBinding) {
    owner.rule.can_download = sync_permission::no;
    items_manager table(owner, user);
    sync_item enclosing(L"remote/a", L"C:\\root\\a", L"");
    enclosing.rule.can_download = sync_permission::yes;
    table.insert(enclosing);
    sync_item root_record(L"remote", L"C:\\root", L"");
    root_record.rule.can_remove_local = sync_permission::no;
    table.insert(root_record);
    sync_item stored(L"remote/a/b", L"C:\\root\\a\\b", L"f.txt");
    stored.rule.can_upload = sync_permission::no;
    table.insert(stored);

    sync_item asked(L"remote/a/b", L"C:/root/a/b", L"f.txt");
    table.fill_rule(asked);
    EXPECT_EQ(asked.rule.can_upload, sync_permission::no);        // its own record
    EXPECT_EQ(asked.rule.can_download, sync_permission::yes);     // the enclosing folder
    EXPECT_EQ(asked.rule.can_remove_local, sync_permission::no);  // the root's record
    EXPECT_EQ(asked.rule.can_overwrite_upload, owner.rule.can_overwrite_upload);

    sync_item elsewhere(L"remote/c", L"C:\\root\\c", L"g.txt");
    table.fill_rule(elsewhere);
    EXPECT_EQ(elsewhere.rule.can_download, sync_permission::no);
}

TEST_F(SyncerItemTable, EffectiveRuleOfAFileBindingTakesOnlyItsOwnRecord) {
    binding file_owner(L"remote", L"C:\\root", L"f.txt", owner.items_filename);
    file_owner.rule.can_download = sync_permission::no;
    items_manager table(file_owner, user);
    sync_item folder(L"remote", L"C:\\root", L"");
    folder.rule = sync_rule({sync_permission::yes, sync_permission::yes, sync_permission::yes,
                             sync_permission::yes, sync_permission::yes, sync_permission::yes,
                             sync_permission::yes, sync_permission::yes});
    table.insert(folder);
    sync_item own(L"remote", L"C:\\root", L"f.txt");
    own.rule.can_remove_remote = sync_permission::yes;
    table.insert(own);

    sync_item asked(L"remote", L"C:\\root", L"f.txt");
    table.fill_rule(asked);
    EXPECT_EQ(asked.rule.can_download, sync_permission::no);
    EXPECT_EQ(asked.rule.can_remove_remote, sync_permission::yes);
    EXPECT_EQ(asked.rule.can_remove_local_dir, file_owner.rule.can_remove_local_dir);
}

TEST_F(SyncerItemTable, WalkUpEndsOutsideTheRootAndWithATrailingSeparator) {
    binding slashed(L"remote/", L"C:\\root\\", L"", owner.items_filename);
    items_manager table(slashed, user);
    sync_item top(L"remote", L"C:\\", L"");
    top.rule.can_upload = sync_permission::no;
    table.insert(top);

    sync_item inside(L"remote/x/y", L"C:\\root\\x\\y", L"f");
    table.fill_rule(inside);
    EXPECT_EQ(inside.rule.can_download, slashed.rule.can_download);

    sync_item outside(L"other/place", L"/srv/data", L"f");
    table.fill_rule(outside);
    EXPECT_EQ(outside.rule.can_upload, slashed.rule.can_upload);
}

TEST_F(SyncerItemTable, DamagedTableComesBackFromItsBackup) {
    {
        items_manager table(owner, user);
        table.insert(record(L"remote", L"C:\\root", L"first", 1, 1));
    }
    {
        items_manager table(owner, user);
        table.insert(record(L"remote", L"C:\\root", L"second", 2, 2));
    }
    write_bytes(table_file(), "<sync_items><item>");
    {
        items_manager table(owner, user);
        EXPECT_EQ(table.size(), 1u) << "the backup holds the first save";
    }
    EXPECT_EQ(read_bytes(settings_file(owner.items_filename + L".bad")), "<sync_items><item>");
    EXPECT_EQ(parse_file(table_file()).count(L"item"), 1u);
}

TEST_F(SyncerItemTable, DamagedTableWithoutBackupIsKeptAsideAndStartsEmpty) {
    write_bytes(table_file(), "not a table");
    { items_manager table(owner, user); }
    EXPECT_EQ(read_bytes(settings_file(owner.items_filename + L".bad")), "not a table");
    EXPECT_EQ(parse_file(table_file()).size(), 0u);
    EXPECT_FALSE(fs::exists(settings_file(owner.items_filename + L".bak")));
}

TEST_F(SyncerItemTable, SweepDeletesOrphansAndForgetsTimesButNotAbsence) {
    {
        items_manager table(owner, user);
        table.insert(record(L"remote", L"C:\\root", L"both", 50, 60));
        table.insert(record(L"remote", L"C:\\root", L"local_only", missing_time, 70));
    }
    write_bytes(settings_file(L"sync_rules_7.xml"), "<sync_items></sync_items>");
    write_bytes(settings_file(L"sync_rules_7.xml.bak"), "<sync_items></sync_items>");
    write_bytes(settings_file(L"sync_rules_7.txt"), "keep");

    {
        items_manager table(owner, user);
        table.find(sync_item(L"remote", L"C:\\root", L"both"))->synced_time = 50;
    }

    binding_manager::purge_orphan_rules(user);

    EXPECT_FALSE(fs::exists(settings_file(L"sync_rules_7.xml")));
    EXPECT_FALSE(fs::exists(settings_file(L"sync_rules_7.xml.bak")));
    EXPECT_TRUE(fs::exists(settings_file(L"sync_rules_7.txt")));
    items_manager table(owner, user);
    const auto both = table.find(sync_item(L"remote", L"C:\\root", L"both"));
    EXPECT_EQ(both->last_time_remote, 0);
    EXPECT_EQ(both->last_time_local, 0);
    // What both sides last agreed on survives, so removals made meanwhile
    // can still be told from changes.
    EXPECT_EQ(both->synced_time, 50);
    const auto local_only = table.find(sync_item(L"remote", L"C:\\root", L"local_only"));
    EXPECT_EQ(local_only->last_time_remote, missing_time);
    EXPECT_EQ(local_only->last_time_local, 0);
}

// A binding table made anew beside a damaged one lacks the user's bindings:
// their item tables stay, at this start and at the next ones.
TEST_F(SyncerItemTable, SweepKeepsTablesWhileTheBindingTableIsNotWhole) {
    { items_manager(owner, user).insert(record(L"remote", L"C:\\root", L"f", 5, 5)); }
    write_bytes(settings_file(L"bindings.xml"), "damaged");
    EXPECT_FALSE(binding_manager::load_with_backup(user));

    binding_manager::purge_orphan_rules(user);
    EXPECT_TRUE(fs::exists(table_file()));
    locked_add_binding(user, folder_binding(L"Calvimora", L"C:\\saved"));
    for (int start = 0; start < 2; ++start) {
        EXPECT_FALSE(binding_manager::load_with_backup(user));
        binding_manager::purge_orphan_rules(user);
        EXPECT_TRUE(fs::exists(table_file()));
    }

    // Once the user put the damaged table aside, orphans go again.
    fs::remove(settings_file(L"bindings.xml.bad"));
    binding_manager::purge_orphan_rules(user);
    EXPECT_FALSE(fs::exists(table_file()));
}

TEST_F(SyncerItemTable, TheSyncedTimeIsKeptOnlyWhereKnown) {
    {
        items_manager table(owner, user);
        table.insert(record(L"remote", L"C:\\root", L"agreed", 5, 5)).first->synced_time = 5;
        table.insert(record(L"remote", L"C:\\root", L"never", 5, 6));
    }
    const std::string stored = read_bytes(table_file());
    const auto first = stored.find("<synced_time>");
    ASSERT_NE(first, std::string::npos);
    EXPECT_EQ(stored.find("<synced_time>", first + 1), std::string::npos);
    items_manager table(owner, user);
    EXPECT_EQ(table.find(sync_item(L"remote", L"C:\\root", L"agreed"))->synced_time, 5);
    EXPECT_EQ(table.find(sync_item(L"remote", L"C:\\root", L"never"))->synced_time, missing_time);
}

// A real time of -1 (a second before 1970) and earlier dates are times like
// any other; "missing" stays apart from all of them, and tables written
// before such times were kept read as they always did.
TEST_F(SyncerItemTable, TimesAtAndBefore1970StayApartFromMissing) {
    const std::int64_t year_1965 = -157766400;
    {
        items_manager table(owner, user);
        table.insert(record(L"remote", L"C:\\root", L"minus_one", -1, -1)).first->synced_time = -1;
        table.insert(record(L"remote", L"C:\\root", L"local_minus_one", missing_time, -1));
        table.insert(record(L"remote", L"C:\\root", L"sixties", year_1965, year_1965));
    }
    items_manager table(owner, user);
    ASSERT_EQ(table.size(), 3u);
    const auto minus_one = table.find(sync_item(L"remote", L"C:\\root", L"minus_one"));
    EXPECT_EQ(minus_one->last_time_remote, -1);
    EXPECT_EQ(minus_one->last_time_local, -1);
    EXPECT_EQ(minus_one->synced_time, -1);
    const auto local_minus_one = table.find(sync_item(L"remote", L"C:\\root", L"local_minus_one"));
    EXPECT_EQ(local_minus_one->last_time_remote, missing_time);
    EXPECT_EQ(local_minus_one->last_time_local, -1);
    EXPECT_EQ(table.find(sync_item(L"remote", L"C:\\root", L"sixties"))->last_time_local,
              year_1965);

    // As tables were always written: -1 is a missing side.
    write_bytes(table_file(),
                "<sync_items><item><dir_local>C:\\\\root</dir_local><dir_remote>remote</dir_remote>"
                "<filename>f</filename><last_time_local>-1</last_time_local>"
                "<last_time_remote>7</last_time_remote></item></sync_items>");
    items_manager old(owner, user);
    ASSERT_EQ(old.size(), 1u);
    EXPECT_EQ(old.begin()->last_time_local, missing_time);
    EXPECT_EQ(old.begin()->last_time_remote, 7);
}

TEST_F(SyncerItemTable, TheIdentitiesOfBothRootsAreKeptBesideTheRecords) {
    const folder_identity identity{12, 34, 56};
    {
        items_manager table(owner, user);
        table.insert(record(L"remote", L"C:\\root", L"f", 5, 5));
        table.set_local_root(identity);
        table.set_remote_root(L"dir_81");
    }
    {
        items_manager table(owner, user);
        ASSERT_TRUE(table.local_root());
        EXPECT_EQ(*table.local_root(), identity);
        EXPECT_EQ(table.remote_root(), L"dir_81");
        EXPECT_EQ(table.size(), 1u);
        // Only a changed id is written again.
        table.set_remote_root(L"dir_82");
    }
    const std::string written = read_bytes(table_file());
    EXPECT_NE(written.find("<remote_root>dir_82</remote_root>"), std::string::npos) << written;
    // Read from the file, not from what this process kept of it.
    write_bytes(table_file(), written);
    items_manager table(owner, user);
    EXPECT_EQ(table.remote_root(), L"dir_82");
    EXPECT_EQ(*table.local_root(), identity);
}

}  // namespace
}  // namespace syncer

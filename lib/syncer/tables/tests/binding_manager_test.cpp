// The binding table: numbering, refusals, loading, saving and recovery.
#include <sys/stat.h>

#include "syncer/tables/items_manager.h"
#include "syncer/tables/locked_operations.h"
#include "syncer/tables/tests/test_support.h"

namespace syncer {
namespace {

using namespace testing_support;

class SyncerBindingTable : public settings_test {
protected:
    fs::path bindings_file() const { return settings_file(L"bindings.xml"); }
};

TEST_F(SyncerBindingTable, ItemTableNumbersAreNeverReused) {
    const binding first = folder_binding(L"remote/a", L"C:\\a");
    const binding second = folder_binding(L"remote/b", L"C:\\b");
    locked_add_binding(user, first);
    EXPECT_EQ(locked_get_bindings(user).begin()->items_filename, L"sync_rules_0.xml");
    EXPECT_EQ(parse_file(bindings_file()).get(L"next_rules_file_id", -1), 1);

    locked_remove_binding(user, first);
    locked_add_binding(user, second);
    const binding_set stored = get_bindings_of_user(user);
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored.begin()->items_filename, L"sync_rules_1.xml");
}

TEST_F(SyncerBindingTable, NumbersOfTablesStillOnDiskArePassedOver) {
    // As after a binding table that was lost: old tables must not be handed
    // to new bindings with their stale records.
    write_bytes(settings_file(L"sync_rules_0.xml"), "<sync_items></sync_items>");
    write_bytes(settings_file(L"sync_rules_1.xml.bak"), "<sync_items></sync_items>");
    locked_add_binding(user, folder_binding(L"remote", L"C:\\l"));
    EXPECT_EQ(locked_get_bindings(user).begin()->items_filename, L"sync_rules_2.xml");
}

TEST_F(SyncerBindingTable, SameBindingIsRefusedAndTableUnchanged) {
    locked_add_binding(user, folder_binding(L"remote/photos", L"C:\\photos"));
    const std::string before = read_bytes(bindings_file());

    binding again(L"remote\\photos", L"C:/photos", L"", L"sync_rules_7.xml");
    again.rule = sync_rule();
    try {
        locked_add_binding(user, again);
        FAIL() << "a duplicate was added";
    } catch (const duplicated_binding_exception& refused) {
        EXPECT_TRUE(std::string(refused.what())
                        .ends_with(": C:/photos <-  -> remote\\photos is duplicated"))
            << refused.what();
        EXPECT_TRUE(std::string(refused.what()).find("add_binding") != std::string::npos);
    }
    EXPECT_EQ(read_bytes(bindings_file()), before);
}

TEST_F(SyncerBindingTable, MissingBindingIsReportedByRemoveAndUpdate) {
    const binding absent = folder_binding(L"remote/none", L"C:\\none");
    EXPECT_THROW(locked_remove_binding(user, absent), binding_not_found_exception);
    EXPECT_THROW(locked_set_recurse_permission(user, absent, sync_permission::no),
                 binding_not_found_exception);
}

TEST_F(SyncerBindingTable, UpdatesReachTheStoredBinding) {
    const binding added = folder_binding(L"remote", L"C:\\l");
    locked_add_binding(user, added);
    locked_set_recurse_permission(user, added, sync_permission::no);
    {
        binding_manager table(user, true);
        table.set_force_sync_once(added);
    }
    binding stored = *locked_get_bindings(user).begin();
    EXPECT_EQ(stored.can_recourse_subdirs, sync_permission::no);
    EXPECT_TRUE(stored.force_sync_once);
    EXPECT_EQ(stored.items_filename, L"sync_rules_0.xml");

    locked_reset_force_sync_once(user, added);
    EXPECT_FALSE(locked_get_bindings(user).begin()->force_sync_once);
    EXPECT_TRUE(locked_has_binding(user, folder_binding(L"remote", L"C:/l")));
    EXPECT_FALSE(locked_has_binding(user, folder_binding(L"remote", L"C:\\other")));
}

TEST_F(SyncerBindingTable, LookupsByPathsFindABindingOfAnyKind) {
    binding open_copy(binding::type_open_copy, 2, L"remote/docs", L"C:\\saved\\docs", L"a.txt",
                      sync_permission::yes, binding::default_rule(), true, L"");
    binding_manager table(user, false);
    table.add_binding(open_copy);
    table.add_binding(folder_binding(L"remote/photos", L"C:\\photos"));

    // Slashes either way name the same paths; a different letter case or a
    // different file name does not.
    EXPECT_TRUE(table.has_binding(L"remote\\docs", L"C:/saved/docs", L"a.txt"));
    EXPECT_FALSE(table.has_binding(L"remote/docs", L"C:\\saved\\docs", L"A.txt"));
    EXPECT_FALSE(table.has_binding(L"remote/docs", L"C:\\saved\\docs", L""));
    EXPECT_FALSE(table.has_binding(L"remote/Photos", L"C:\\photos", L""));

    const auto found = table.find_binding_by_paths(L"remote/docs", L"C:\\saved\\docs", L"a.txt");
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(found->_type, binding::type_open_copy);
    EXPECT_EQ(found->_mode, 2);
    EXPECT_FALSE(table.find_binding_by_paths(L"remote/none", L"C:\\none", L"").has_value());

    table.remove_binding_by_paths(L"remote/docs", L"C:/saved/docs", L"a.txt");
    EXPECT_FALSE(table.has_binding(L"remote/docs", L"C:\\saved\\docs", L"a.txt"));
    EXPECT_TRUE(table.has_binding(L"remote/photos", L"C:\\photos", L""));
    EXPECT_THROW(table.remove_binding_by_paths(L"remote/never", L"C:\\never", L""),
                 binding_not_found_exception);
    EXPECT_EQ(table.get_bindings().size(), 1u);
}

// The running engine reads the table afresh on every pass, so the binding
// of a copy opened meanwhile must survive those reads to have its edits
// uploaded; a copy still on disk keeps it through the start of syncing too,
// so that its edits go to its own file after a restart. Only the bindings
// of copies that are gone are dropped then.
TEST_F(SyncerBindingTable, OpenCopiesKeepTheirBindingsWhileTheCopyIsThere) {
    const fs::path saved = fs::path(root.path()) / "saved";
    fs::create_directories(saved);
    write_bytes(saved / "kept.txt", "copy");
    binding gone_copy(L"remote", (saved / "gone").wstring(), L"doc.txt", L"");
    gone_copy._type = binding::type_open_copy;
    gone_copy._mode = 2;
    binding kept_copy(L"remote", saved.wstring(), L"kept.txt", L"");
    kept_copy._type = binding::type_open_copy;
    kept_copy._mode = 2;
    {
        binding_manager table(user, false);
        table.add_binding(gone_copy);
        table.add_binding(kept_copy);
        table.add_binding(folder_binding(L"remote", L"C:\\kept"));
    }

    const binding_set loaded = locked_get_bindings(user);
    ASSERT_EQ(loaded.size(), 3u);
    EXPECT_EQ(loaded.find(gone_copy)->_type, binding::type_open_copy);
    EXPECT_EQ(loaded.find(gone_copy)->_mode, 2);
    locked_add_binding(user, folder_binding(L"remote", L"C:\\new"));
    EXPECT_EQ(parse_file(bindings_file()).count(L"binding"), 4u) << "a save kept the open copies";

    EXPECT_EQ(binding_manager::load_repairing(user), table_file::origin::file);
    EXPECT_EQ(parse_file(bindings_file()).count(L"binding"), 3u);
    const binding_set after_start = locked_get_bindings(user);
    EXPECT_FALSE(after_start.contains(gone_copy));
    ASSERT_TRUE(after_start.contains(kept_copy));
    EXPECT_EQ(after_start.find(kept_copy)->_type, binding::type_open_copy);
}

TEST_F(SyncerBindingTable, UnchangedTableIsNotRewritten) {
    locked_add_binding(user, folder_binding(L"remote", L"C:\\l"));
    struct stat before {};
    ASSERT_EQ(::stat(bindings_file().c_str(), &before), 0);
    {
        binding_manager table(user, true);
        table.save();
    }
    locked_reset_force_sync_once(user, folder_binding(L"remote", L"C:\\l"));
    struct stat after {};
    ASSERT_EQ(::stat(bindings_file().c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
}

TEST_F(SyncerBindingTable, SameThreadMayOpenTheTableTwice) {
    binding_manager outer(user, true);
    locked_add_binding(user, folder_binding(L"remote", L"C:\\l"));
    EXPECT_EQ(locked_get_bindings(user).size(), 1u);
}

TEST_F(SyncerBindingTable, DamagedTableWithoutBackupIsSetAsideAndNotReportedRestored) {
    write_bytes(bindings_file(), "<sync_bindings><binding>");
    EXPECT_THROW(locked_get_bindings(user), serializer::wrong_format_exception);
    EXPECT_EQ(read_bytes(bindings_file()), "<sync_bindings><binding>") << "repaired outside";

    EXPECT_FALSE(binding_manager::load_with_backup(user));
    EXPECT_FALSE(fs::exists(bindings_file()));
    EXPECT_EQ(read_bytes(settings_file(L"bindings.xml.bad")), "<sync_bindings><binding>");
    EXPECT_TRUE(locked_get_bindings(user).empty());
}

// Read as an empty table, the next save would delete the damaged backup:
// the last trace of the pairs.
TEST_F(SyncerBindingTable, MissingTableWithADamagedBackupIsDamagedNotEmpty) {
    write_bytes(settings_file(L"bindings.xml.bak"), "<sync_bindings><bind");
    EXPECT_THROW(locked_add_binding(user, folder_binding(L"remote", L"C:\\l")),
                 serializer::serializer_exception);
    EXPECT_EQ(read_bytes(settings_file(L"bindings.xml.bak")), "<sync_bindings><bind");

    EXPECT_EQ(binding_manager::load_repairing(user), table_file::origin::set_aside);
    EXPECT_EQ(read_bytes(settings_file(L"bindings.xml.bad")), "<sync_bindings><bind");
    EXPECT_FALSE(fs::exists(settings_file(L"bindings.xml.bak")));
    EXPECT_TRUE(locked_get_bindings(user).empty());
}

TEST_F(SyncerBindingTable, DamagedTableWithBackupIsRestoredFromIt) {
    locked_add_binding(user, folder_binding(L"remote", L"C:\\l"));
    fs::copy_file(bindings_file(), settings_file(L"bindings.xml.bak"));
    write_bytes(bindings_file(), "garbage");

    EXPECT_TRUE(binding_manager::load_with_backup(user));
    EXPECT_EQ(read_bytes(settings_file(L"bindings.xml.bad")), "garbage");
    EXPECT_EQ(locked_get_bindings(user).size(), 1u);
    EXPECT_FALSE(binding_manager::load_with_backup(user)) << "a sound table was reported restored";
}

// Every save keeps the table before it as the backup, so a damaged table
// comes back as it was one change earlier.
TEST_F(SyncerBindingTable, EverySaveKeepsABackupToRestoreADamagedTableFrom) {
    locked_add_binding(user, folder_binding(L"remote/a", L"C:\\a"));
    locked_add_binding(user, folder_binding(L"remote/b", L"C:\\b"));
    write_bytes(bindings_file(), "<sync_bindings><bind");

    EXPECT_TRUE(binding_manager::load_with_backup(user));
    const binding_set restored = locked_get_bindings(user);
    ASSERT_EQ(restored.size(), 1u);
    EXPECT_EQ(restored.begin()->dir_remote, L"remote/a");
}

TEST_F(SyncerBindingTable, MissingTableIsTakenFromACompleteTemporaryCompanion) {
    locked_add_binding(user, folder_binding(L"remote", L"C:\\l"));
    fs::rename(bindings_file(), settings_file(L"bindings.xml.tmp"));
    EXPECT_EQ(locked_get_bindings(user).size(), 1u);
    EXPECT_TRUE(fs::exists(bindings_file()));

    // A companion cut short is no table.
    fs::rename(bindings_file(), settings_file(L"bindings.xml.tmp"));
    const std::string whole = read_bytes(settings_file(L"bindings.xml.tmp"));
    write_bytes(settings_file(L"bindings.xml.tmp"), whole.substr(0, whole.size() - 1));
    EXPECT_TRUE(locked_get_bindings(user).empty());
    EXPECT_FALSE(binding_manager::load_with_backup(user));
}

TEST_F(SyncerBindingTable, NamesThatLeaveTheSettingsFolderAreRefused) {
    EXPECT_THROW(binding_manager::get_settings_directory(L"../other"), syncer_exception);
    EXPECT_THROW(items_manager(binding(L"r", L"C:\\l", L"", L"../../x.xml"), user),
                 syncer_exception);
}

}  // namespace
}  // namespace syncer

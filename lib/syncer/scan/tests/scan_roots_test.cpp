// A binding's roots against the folders its item table knows: another folder
// or none in place of either root removes nothing on either side, copies
// nothing, and is told once; the binding goes on when its folder is back.
#include "syncer/scan/scan_roots.h"
#include "syncer/scan/tests/scan_test_support.h"

namespace syncer::scan_testing {
namespace {

class ScanRoots : public scan_test {
protected:
    // A binding that may do everything without asking.
    ScanRoots() {
        binding made(L"sync", local, L"", L"");
        made._type = binding::type_user_choice;
        made.can_recourse_subdirs = sync_permission::yes;
        for (int index = 0; index < sync_rule::size; ++index)
            made.rule[index] = sync_permission::yes;
        owner = add(made);
    }

    // Files known on both sides, recorded by a pass.
    void known(int count) {
        for (int index = 0; index < count; ++index) {
            const std::wstring name = L"f" + std::to_wstring(index) + L".txt";
            write_local(name, "same", t0);
            remote->put_file(L"sync/" + name, "same", t0);
        }
        pass();
        ASSERT_TRUE(task_kinds().empty());
    }

    // The local root moved away and a new folder made in its place.
    void replace_local_root() {
        fs::rename(local_root, local_root.string() + "-away");
        fs::create_directories(local_root);
    }

    // Passes that must queue nothing at all.
    void quiet_passes(int count) {
        for (int index = 0; index < count; ++index) {
            pass();
            EXPECT_TRUE(task_kinds().empty()) << "pass " << index;
        }
    }

    int remote_files() {
        int count = 0;
        for (int index = 0; index < 20; ++index)
            count += remote->file(L"sync/f" + std::to_wstring(index) + L".txt").has_value();
        return count;
    }

    binding owner;
};

TEST_F(ScanRoots, ALocalRootReplacedByAFolderHoldingAStrayFileRemovesNothing) {
    known(20);
    replace_local_root();
    write_local(L"stray.txt", "left on the mount point", t0 + 9);
    quiet_passes(3);
    EXPECT_EQ(remote_files(), 20);
    EXPECT_FALSE(remote->file(L"sync/stray.txt"));
    ASSERT_EQ(ui.notices().size(), 1u);
    EXPECT_NE(ui.notices()[0].find(L"\"" + local + L"\" is not the folder"), std::wstring::npos)
        << ui.notices()[0];
    EXPECT_TRUE(ui.questions().empty());
    EXPECT_EQ(stored(owner, L"sync", local, L"f3.txt").last_time_local, t0);

    // The drive is back: the binding goes on where it was.
    fs::remove_all(local_root);
    fs::rename(local_root.string() + "-away", local_root);
    EXPECT_EQ(pass().changed, 0);
    EXPECT_EQ(ui.notices().size(), 1u);
    write_local(L"new.txt", "new", t0 + 1);
    pass();
    EXPECT_EQ(task_kinds(), std::vector<int>{task::kind_upload});
}

TEST_F(ScanRoots, ALocalRootMadeAnewWithSomeFilesCopiedBackRemovesNothing) {
    known(20);
    replace_local_root();
    write_local(L"f0.txt", "same", t0);
    write_local(L"f1.txt", "same", t0);
    quiet_passes(3);
    EXPECT_EQ(remote_files(), 20);
    EXPECT_EQ(ui.notices().size(), 1u);

    // Another folder after the first: still held, told no more.
    fs::remove_all(local_root);
    fs::create_directories(local_root);
    quiet_passes(2);
    EXPECT_EQ(ui.notices().size(), 1u);
}

TEST_F(ScanRoots, AMissingLocalRootIsToldOnceAndFetchesNothing) {
    known(3);
    remote->put_file(L"sync/new-there.txt", "new", t0 + 4);
    fs::rename(local_root, local_root.string() + "-away");
    quiet_passes(2);
    EXPECT_FALSE(fs::exists(local_root));
    ASSERT_EQ(ui.notices().size(), 1u);
    EXPECT_NE(ui.notices()[0].find(L"is not there"), std::wstring::npos) << ui.notices()[0];
}

TEST_F(ScanRoots, ARemoteRootThatIsGoneRemovesAndSendsNothing) {
    known(3);
    remote->remove(L"sync");
    write_local(L"new-here.txt", "new", t0 + 4);
    write_local(L"f0.txt", "edited", t0 + 5);
    quiet_passes(3);
    EXPECT_FALSE(remote->folder_exists(L"sync"));
    EXPECT_EQ(read_local(L"f1.txt"), "same");
    ASSERT_EQ(ui.notices().size(), 1u);
    EXPECT_NE(ui.notices()[0].find(L"\"sync\" is no longer on"), std::wstring::npos)
        << ui.notices()[0];

    // Restored from the trash, it is the same folder again.
    for (int index = 0; index < 3; ++index)
        remote->put_file(L"sync/f" + std::to_wstring(index) + L".txt", "same", t0);
    pass();
    EXPECT_EQ(task_kinds(), (std::vector<int>{task::kind_upload, task::kind_upload}));
}

// The judgement itself, against a table that knows the remote folder's id.
class RootJudgement : public ScanRoots {
protected:
    RootJudgement() {
        items_manager table(owner, user);
        sync_item file(L"sync", local, L"a.txt");
        file.last_time_remote = file.last_time_local = t0;
        table.insert(file);
        table.set_remote_root(L"dir_1");
    }

    root_judgement judge(std::optional<std::wstring> remote_id, bool knows_remote = true) {
        items_manager table(owner, user);
        if (!knows_remote) table.begin()->last_time_remote = missing_time;
        collected_items found;
        found.remote_root_id = std::move(remote_id);
        const root_judgement result = judge_roots(guard, owner, found, table);
        kept_id = table.remote_root();
        return result;
    }

    std::optional<std::wstring> kept_id;
};

TEST_F(RootJudgement, ARemoteRootOfAnotherIdIsHeldAndToldOncePerTime) {
    root_judgement result = judge(L"dir_2");
    EXPECT_TRUE(result.held);
    EXPECT_NE(result.notice.find(L"\"sync\" on Calvimora is not the folder whose files were"),
              std::wstring::npos)
        << result.notice;
    EXPECT_NE(result.notice.find(L"restored from its trash"), std::wstring::npos);
    EXPECT_EQ(kept_id, L"dir_1");
    result = judge(L"dir_2");
    EXPECT_TRUE(result.held);
    EXPECT_TRUE(result.notice.empty());
    result = judge(std::nullopt);
    EXPECT_TRUE(result.held);
    EXPECT_TRUE(result.notice.empty());

    result = judge(L"dir_1");
    EXPECT_FALSE(result.held);
    EXPECT_TRUE(result.notice.empty());
    result = judge(std::nullopt);
    EXPECT_TRUE(result.held);
    EXPECT_NE(result.notice.find(L"is no longer on Calvimora"), std::wstring::npos);
}

TEST_F(RootJudgement, ARootWithNothingKnownInItIsTheBindingsOwn) {
    const root_judgement result = judge(L"dir_2", false);
    EXPECT_FALSE(result.held);
    EXPECT_TRUE(result.notice.empty());
    EXPECT_EQ(kept_id, L"dir_2");
}

TEST_F(RootJudgement, ATableKeptBeforeRootIdsTakesTheFirstOneSeen) {
    const fs::path path = items_manager::get_items_path(owner.items_filename, user);
    fs::remove(path.native() + ".bak");
    std::ofstream(path.native(), std::ios::trunc)
        << "<sync_items><item><dir_local>" + local_root.string() +
               "</dir_local><dir_remote>sync</dir_remote><filename>a.txt</filename>"
               "<last_time_local>1600000000</last_time_local>"
               "<last_time_remote>1600000000</last_time_remote></item></sync_items>";
    EXPECT_FALSE(judge(L"dir_7").held);
    EXPECT_EQ(kept_id, L"dir_7");
    EXPECT_TRUE(judge(L"dir_8").held);
}

}  // namespace
}  // namespace syncer::scan_testing

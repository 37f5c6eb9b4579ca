// The sync pages' rule for local folders, on its own: paths compared after
// resolving symbolic links, pairs of earlier tables written with "\", file
// pairs, and the pairs that do not count.
#include "ui/sync_folder_rule.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "win/machine.h"

namespace {

namespace fs = std::filesystem;
using sync_folder_rule::can_bind;
using syncer::binding;

binding pair_of(const std::wstring& local, const std::wstring& file = L"", int type = 0,
                int mode = 1) {
    return binding(type, mode, L"/Remote" + std::to_wstring(local.size()) + file, local, file,
                   syncer::sync_permission::not_set, {}, false, L"");
}

std::wstring older_form(std::wstring path) {
    std::replace(path.begin(), path.end(), L'/', L'\\');
    return path;
}

class SyncFolderRule : public ::testing::Test {
protected:
    SyncFolderRule() {
        fs::create_directories(base / "work" / "inner");
        fs::create_directories(base / "other");
    }
    ~SyncFolderRule() override { fs::remove_all(base); }

    win_machine::scoped_root root;
    const fs::path base = fs::path(root.path()) / "local";
    const std::wstring work = (base / "work").wstring();
};

TEST_F(SyncFolderRule, LinksAndClimbingLevelsAreResolvedOrRefused) {
    fs::create_directory_symlink("/etc", base / "to-etc");
    fs::create_directory_symlink(base / "work", base / "to-work");
    EXPECT_FALSE(sync_folder_rule::is_allowed_place((base / "to-etc").wstring()));
    EXPECT_FALSE(sync_folder_rule::is_allowed_place((base / "to-etc" / "ssl").wstring()));
    EXPECT_FALSE(sync_folder_rule::is_allowed_place(work + L"/../../../../../etc"));
    EXPECT_FALSE(sync_folder_rule::is_allowed_place(L"/var"));
    EXPECT_TRUE(sync_folder_rule::is_allowed_place(L"/var/backups/mine"));
    EXPECT_FALSE(sync_folder_rule::is_allowed_place(older_form(work)))
        << "a path the engine would read as another";
    EXPECT_TRUE(sync_folder_rule::is_binding_path(work + L"/"));
    EXPECT_FALSE(sync_folder_rule::is_binding_path(work + L"//"));
    // A pair reached through a link is the same pair.
    EXPECT_FALSE(can_bind({pair_of((base / "to-work" / "inner").wstring())}, {pair_of(work)}, {}));
}

TEST_F(SyncFolderRule, WhatAPairCoversNeverOverlapsWhatAnotherOfThePersonsCovers) {
    const syncer::binding_set stored{pair_of(older_form(work))};
    EXPECT_FALSE(can_bind({pair_of(work + L"/inner")}, stored, {})) << "inside, earlier form";
    EXPECT_FALSE(can_bind({pair_of(base.wstring())}, stored, {})) << "around";
    EXPECT_FALSE(can_bind({pair_of(work + L"/")}, stored, {})) << "the same folder";
    EXPECT_TRUE(can_bind({pair_of(work + L"/inner")}, stored, {pair_of(older_form(work))}))
        << "the pair being replaced does not count";
    EXPECT_FALSE(can_bind({pair_of(work, L"a.txt")}, stored, {})) << "a file inside the pair";
    EXPECT_TRUE(can_bind({pair_of(base.wstring(), L"a.txt")}, stored, {}))
        << "a file beside the pair's folder";
    EXPECT_TRUE(
        can_bind({pair_of(base.wstring(), L"a.txt"), pair_of(base.wstring(), L"b.txt")}, {}, {}));
    EXPECT_FALSE(can_bind(
        {pair_of((base / "other").wstring()), pair_of((base / "other" / "deeper").wstring())}, {},
        {}))
        << "two wanted pairs nested";

    // The program's own pairs (opened copies, the saved-files folder) are not
    // the person's.
    const syncer::binding_set own{pair_of(work, L"", binding::type_open_copy, 2),
                                  pair_of(work + L"/inner", L"", binding::type_user_choice, 2),
                                  pair_of(base.wstring(), L"", binding::type_saved_files, 1)};
    EXPECT_TRUE(can_bind({pair_of(work + L"/inner/x")}, own, {}));
}

}  // namespace

// The size of a dropped tree, and whether it is a single file.
#include "folder/drop/tree_size.h"

#include <gtest/gtest.h>

#include "dropped_fakes.h"

namespace {

using dropped_testing::make_dropped_file;
using dropped_testing::make_dropped_folder;

TEST(TreeSize, AddsEveryFileBelowAndTellsASingleFileApart) {
    bool single = false;
    EXPECT_EQ(shell_utils::GetTreeSize(make_dropped_folder(L"empty"), single), 0u);
    EXPECT_TRUE(single);
    EXPECT_EQ(shell_utils::GetTreeSize(make_dropped_folder(L"one", {make_dropped_file(L"a", 10)}),
                                       single),
              10u);
    EXPECT_TRUE(single);
    EXPECT_EQ(shell_utils::GetTreeSize(make_dropped_folder(L"two", {make_dropped_file(L"a", 10),
                                                                    make_dropped_file(L"b", 5)}),
                                       single),
              15u);
    EXPECT_FALSE(single);
    // One file, but inside a subfolder.
    EXPECT_EQ(shell_utils::GetTreeSize(
                  make_dropped_folder(L"deep",
                                      {make_dropped_folder(L"sub", {make_dropped_file(L"a", 7)})}),
                  single),
              7u);
    EXPECT_FALSE(single);
    // Files in two subfolders, and a file of unknown size.
    auto tree = make_dropped_folder(
        L"root",
        {make_dropped_folder(L"x", {make_dropped_file(L"a", 1)}),
         make_dropped_folder(L"y", {make_dropped_file(L"b", 2), make_dropped_file(L"c", -1)})});
    EXPECT_EQ(shell_utils::GetTreeSize(tree, single), 3u);
}

TEST(TreeSize, AnItemThatIsNotWhatItClaimsEndsTheWalk) {
    auto impostor = make_dropped_file(L"fake folder", 3);
    impostor->type = vfs::item_type_directory;
    bool single = true;
    EXPECT_EQ(shell_utils::GetTreeSize(
                  make_dropped_folder(L"root", {make_dropped_file(L"a", 1), impostor}), single),
              ~std::uint64_t{0});
    EXPECT_EQ(shell_utils::GetTreeSize(dropped_folder_ptr(), single), ~std::uint64_t{0});
}

}  // namespace

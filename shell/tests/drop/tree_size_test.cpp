// The size of a remote tree, and whether it is a single file.
#include "folder/drop/tree_size.h"

#include <gtest/gtest.h>

#include "fake_items.h"

namespace {

using shell_testing::make_file;
using shell_testing::make_folder;

TEST(TreeSize, AddsEveryFileBelowAndTellsASingleFileApart) {
    bool single = false;
    EXPECT_EQ(shell_utils::GetTreeSize(make_folder(L"empty"), single), 0u);
    EXPECT_TRUE(single);
    EXPECT_EQ(shell_utils::GetTreeSize(make_folder(L"one", {make_file(L"a", 10)}), single), 10u);
    EXPECT_TRUE(single);
    EXPECT_EQ(shell_utils::GetTreeSize(
                  make_folder(L"two", {make_file(L"a", 10), make_file(L"b", 5)}), single),
              15u);
    EXPECT_FALSE(single);
    // One file, but inside a subfolder.
    EXPECT_EQ(shell_utils::GetTreeSize(
                  make_folder(L"deep", {make_folder(L"sub", {make_file(L"a", 7)})}), single),
              7u);
    EXPECT_FALSE(single);
    // Files in two subfolders, and a file of unknown size.
    auto tree =
        make_folder(L"root", {make_folder(L"x", {make_file(L"a", 1)}),
                              make_folder(L"y", {make_file(L"b", 2), make_file(L"c", -1)})});
    EXPECT_EQ(shell_utils::GetTreeSize(tree, single), 3u);
}

TEST(TreeSize, AnItemThatIsNotWhatItClaimsEndsTheWalk) {
    auto impostor = make_file(L"fake folder", 3);
    impostor->type = vfs::item_type_directory;
    bool single = true;
    EXPECT_EQ(
        shell_utils::GetTreeSize(make_folder(L"root", {make_file(L"a", 1), impostor}), single),
        ~std::uint64_t{0});
    EXPECT_EQ(shell_utils::GetTreeSize(vfs::directory_ptr(), single), ~std::uint64_t{0});
}

}  // namespace

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "win/com.h"
#include "win/shell_idlist.h"
#include "win/test_journal.h"

namespace {

// Two elements of 4 and 3 bytes, then the terminator.
const BYTE two[] = {4, 0, 0xAA, 0xBB, 3, 0, 0xCC, 0, 0};
const BYTE one[] = {5, 0, 1, 2, 3, 0, 0};

LPCITEMIDLIST list(const BYTE* bytes) {
    return reinterpret_cast<LPCITEMIDLIST>(bytes);
}

std::vector<BYTE> bytes_of(LPCITEMIDLIST l) {
    const auto* p = reinterpret_cast<const BYTE*>(l);
    return {p, p + ILGetSize(l)};
}

TEST(IdLists, WalkingFindsEveryElementAndTheEnd) {
    EXPECT_EQ(ILGetSize(list(two)), sizeof two);
    EXPECT_EQ(ILGetSize(nullptr), 0u);
    const BYTE empty[] = {0, 0};
    EXPECT_EQ(ILGetSize(list(empty)), 2u);
    EXPECT_TRUE(ILIsEmpty(list(empty)));
    EXPECT_TRUE(ILIsEmpty(nullptr));

    LPITEMIDLIST second = ILGetNext(list(two));
    EXPECT_EQ(reinterpret_cast<const BYTE*>(second), two + 4);
    EXPECT_EQ(ILGetNext(second), nullptr);
    EXPECT_EQ(ILGetNext(list(empty)), nullptr);
    EXPECT_EQ(reinterpret_cast<const BYTE*>(ILFindLastID(list(two))), two + 4);
    EXPECT_EQ(reinterpret_cast<const BYTE*>(ILFindLastID(list(empty))), empty);

    BYTE cut[sizeof two];
    std::memcpy(cut, two, sizeof two);
    EXPECT_TRUE(ILRemoveLastID(reinterpret_cast<LPITEMIDLIST>(cut)));
    EXPECT_EQ(ILGetSize(list(cut)), 6u);
    EXPECT_TRUE(ILRemoveLastID(reinterpret_cast<LPITEMIDLIST>(cut)));
    EXPECT_FALSE(ILRemoveLastID(reinterpret_cast<LPITEMIDLIST>(cut)));
}

TEST(IdLists, CopiesAreNewTaskBlocksWithOneTerminator) {
    const long start = win_test::live_task_allocations();
    LPITEMIDLIST clone = ILClone(list(two));
    LPITEMIDLIST first = ILCloneFirst(list(two));
    LPITEMIDLIST joined = ILCombine(list(two), list(one));
    LPITEMIDLIST only_second = ILCombine(nullptr, list(one));
    EXPECT_EQ(win_test::live_task_allocations(), start + 4);

    EXPECT_EQ(bytes_of(clone), std::vector<BYTE>(two, two + sizeof two));
    EXPECT_EQ(bytes_of(first), (std::vector<BYTE>{4, 0, 0xAA, 0xBB, 0, 0}));
    EXPECT_EQ(bytes_of(joined),
              (std::vector<BYTE>{4, 0, 0xAA, 0xBB, 3, 0, 0xCC, 5, 0, 1, 2, 3, 0, 0}));
    EXPECT_EQ(bytes_of(only_second), std::vector<BYTE>(one, one + sizeof one));
    EXPECT_EQ(ILCombine(nullptr, nullptr), nullptr);
    EXPECT_EQ(ILClone(nullptr), nullptr);

    for (LPITEMIDLIST l : {clone, first, joined, only_second}) ILFree(l);
    ILFree(nullptr);
    EXPECT_EQ(win_test::live_task_allocations(), start);
}

TEST(IdLists, ForeignBytesAreCheckedBeforeTheyAreWalked) {
    EXPECT_EQ(win_shell::checked_id_list_size(two, sizeof two), sizeof two);
    EXPECT_EQ(win_shell::checked_id_list_size(two, sizeof two + 10), sizeof two);
    // Cut anywhere before its end, the list is not whole.
    for (size_t cut = 0; cut < sizeof two; ++cut)
        EXPECT_EQ(win_shell::checked_id_list_size(two, cut), 0u) << cut;
    // An element claiming fewer bytes than its size field, or more than
    // there are.
    const BYTE tiny[] = {1, 0, 0, 0};
    EXPECT_EQ(win_shell::checked_id_list_size(tiny, sizeof tiny), 0u);
    const BYTE huge[] = {0xFF, 0xFF, 0, 0};
    EXPECT_EQ(win_shell::checked_id_list_size(huge, sizeof huge), 0u);
    EXPECT_EQ(win_shell::checked_id_list_size(nullptr, 100), 0u);
}

}  // namespace

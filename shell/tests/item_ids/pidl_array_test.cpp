// The array of whole lists a selection is carried in: copies, bounds and
// the stream form.
#include "folder/item_ids/pidl_array.h"

#include <gtest/gtest.h>

#include <cstring>

#include "fake_items.h"
#include "win/machine.h"
#include "win/test_journal.h"
#include "win/test_stream.h"

namespace {

class PidlArray : public ::testing::Test {
protected:
    void SetUp() override {
        allocations = win_test::live_task_allocations();
        for (const wchar_t* name : {L"a.txt", L"b.txt", L"c.txt"}) {
            LPITEMIDLIST list =
                CItemIdList(make_pidl_data(shell_testing::make_file(name, 1))).CreatePidl();
            lists.push_back(list);
        }
    }
    void TearDown() override {
        for (LPITEMIDLIST list : lists) CoTaskMemFree(list);
        EXPECT_EQ(win_test::live_task_allocations(), allocations);
    }

    win_machine::scoped_root root;
    std::vector<LPITEMIDLIST> lists;
    long allocations = 0;
};

TEST_F(PidlArray, AssignCopiesEveryListAndIndexesOutsideAreRefused) {
    CPidlArray array;
    ASSERT_EQ(array.Assign(const_cast<const LPCITEMIDLIST*>(lists.data()), 3), S_OK);
    ASSERT_EQ(array.GetSize(), 3u);
    EXPECT_NE(array[0], lists[0]);
    EXPECT_EQ(std::memcmp(array[2], lists[2], GetPidlSize(lists[2])), 0);
    EXPECT_THROW(array[3], std::out_of_range);
    // Assigning again frees what was there.
    ASSERT_EQ(array.Assign(const_cast<const LPCITEMIDLIST*>(lists.data()), 1), S_OK);
    EXPECT_EQ(array.GetSize(), 1u);
    const LPCITEMIDLIST with_null[] = {lists[0], nullptr};
    EXPECT_EQ(array.Assign(with_null, 2), E_INVALIDARG);
    EXPECT_EQ(array.GetSize(), 1u) << "the list before the null one stays";
    array.RemoveAll();
    EXPECT_EQ(array.GetSize(), 0u);
    EXPECT_THROW(array[0], std::out_of_range);
}

TEST_F(PidlArray, SavedArraysLoadBackAndAFailureKeepsWhatWasRead) {
    CPidlArray array;
    ASSERT_EQ(array.Assign(const_cast<const LPCITEMIDLIST*>(lists.data()), 3), S_OK);
    // A list of another maker's, with a terminator of two bytes only.
    const BYTE foreign[] = {4, 0, 'x', 'y', 0, 0};
    auto* copy = static_cast<BYTE*>(CoTaskMemAlloc(sizeof foreign));
    std::memcpy(copy, foreign, sizeof foreign);
    ASSERT_TRUE(array.Add(reinterpret_cast<LPITEMIDLIST>(copy)));

    win_test::test_stream stream;
    ASSERT_EQ(array.SaveToStream(&stream), S_OK);
    EXPECT_EQ(stream.bytes.size(), 4 + 3 * (4 + 843u) + (4 + 7u));
    stream.position = 0;
    CPidlArray loaded;
    ASSERT_EQ(loaded.LoadFromStream(&stream), S_OK);
    ASSERT_EQ(loaded.GetSize(), 4u);
    for (UINT i = 0; i < 4; ++i) {
        ASSERT_EQ(GetPidlSize(loaded[i]), GetPidlSize(array[i]));
        EXPECT_EQ(std::memcmp(loaded[i], array[i], GetPidlSize(array[i]) - 3), 0);
    }

    // Cut after the second list: the two read before stay.
    win_test::test_stream cut(
        std::vector<BYTE>(stream.bytes.begin(), stream.bytes.begin() + 4 + 2 * 847 + 100));
    CPidlArray partial;
    EXPECT_EQ(partial.LoadFromStream(&cut), E_FAIL);
    EXPECT_EQ(partial.GetSize(), 2u);

    win_test::test_stream failing;
    failing.fail_write_after = 500;
    EXPECT_EQ(array.SaveToStream(&failing), STG_E_WRITEFAULT);
    win_test::test_stream short_one;
    short_one.short_write_after = 10;
    EXPECT_EQ(array.SaveToStream(&short_one), E_FAIL);
}

TEST_F(PidlArray, LoadingRefusesListsOfNoSizeOrWithoutTheirEnd) {
    auto load = [](std::vector<BYTE> input) {
        win_test::test_stream stream(std::move(input));
        CPidlArray array;
        return array.LoadFromStream(&stream);
    };
    // A count that promises more than the stream holds ends at the stream's end.
    EXPECT_EQ(load({0xFF, 0xFF, 0xFF, 0x1F}), E_FAIL);
    EXPECT_EQ(load({0xFF, 0xFF, 0xFF, 0xFF}), E_INVALIDARG);
    EXPECT_EQ(load({1, 0, 0, 0, 0xF0, 0xFF, 0xFF, 0x7F}), E_INVALIDARG);
    EXPECT_EQ(load({1, 0, 0, 0, 4, 0, 0, 0, 4, 0, 'x', 'y'}), E_INVALIDARG);
    EXPECT_EQ(load({1, 0, 0, 0, 5, 0, 0, 0, 9, 0, 'x', 0, 0}), E_INVALIDARG);
    EXPECT_EQ(load({1, 0, 0, 0, 3, 0, 0, 0, 0, 0, 0}), S_OK);
}

}  // namespace

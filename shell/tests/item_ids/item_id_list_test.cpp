// Item id lists of the folder: building, copying, joining, and the stream
// form, with the hostile input that streams and other processes bring.
#include "folder/item_ids/item_id_list.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "fake_items.h"
#include "win/machine.h"
#include "win/test_journal.h"
#include "win/test_stream.h"

namespace {

using bytes = std::vector<BYTE>;

// The shell's own place of the folder: two elements of other sizes.
const BYTE shell_base[] = {5, 0, 'C', 'M', 'P', 4, 0, 'J', 'X', 0, 0};

PIDLDATA record(const std::wstring& name) {
    return make_pidl_data(shell_testing::make_file(name, 1));
}

bytes list_bytes(LPCITEMIDLIST list) {
    const auto* at = reinterpret_cast<const BYTE*>(list);
    return bytes(at, at + GetPidlSize(list));
}

struct task_memory_free {
    void operator()(void* block) const { CoTaskMemFree(block); }
};
using owned = std::unique_ptr<ITEMIDLIST, task_memory_free>;

class ItemIdList : public ::testing::Test {
protected:
    void SetUp() override { allocations = win_test::live_task_allocations(); }
    void TearDown() override { EXPECT_EQ(win_test::live_task_allocations(), allocations); }

    CItemIdList with_base_and_two() {
        CItemIdList list(reinterpret_cast<LPCITEMIDLIST>(shell_base), true);
        list += CItemIdList(record(L"first"));
        list += CItemIdList(record(L"second"));
        return list;
    }

    win_machine::scoped_root root;
    long allocations = 0;
};

TEST_F(ItemIdList, AnEmptyListIsThreeZeroBytes) {
    const owned list(CItemIdList().CreatePidl());
    ASSERT_TRUE(list);
    EXPECT_EQ(list_bytes(list.get()), (bytes{0, 0, 0}));
    EXPECT_EQ(GetPidlSize(nullptr), 3u);
}

TEST_F(ItemIdList, ABaseAndRecordsMakeOneListOfTheRightSize) {
    const CItemIdList list = with_base_and_two();
    const owned made(list.CreatePidl());
    ASSERT_TRUE(made);
    EXPECT_EQ(GetPidlSize(made.get()), 9u + 2 * 840 + 3);
    const bytes all = list_bytes(made.get());
    EXPECT_EQ(bytes(all.begin(), all.begin() + 9), bytes(shell_base, shell_base + 9));
    EXPECT_EQ(bytes(all.end() - 3, all.end()), (bytes{0, 0, 0}));
    EXPECT_EQ(list.GetPath(), L"first\\second");
    EXPECT_EQ(pidl_name(list.GetLastItem()), L"second");
    EXPECT_THROW(CItemIdList().GetLastItem(), std::out_of_range);

    // A record whose size field lies still takes its 840 bytes.
    PIDLDATA wrong = record(L"wrong");
    wrong.cb = 0;
    const owned made_of_wrong(CItemIdList(wrong).CreatePidl());
    ASSERT_TRUE(made_of_wrong);
    EXPECT_EQ(GetPidlSize(made_of_wrong.get()), 843u);

    // A copy made elsewhere ends in two zero bytes; this folder's copy in three.
    const CItemIdList copied(reinterpret_cast<LPCITEMIDLIST>(shell_base), true);
    bytes expected(shell_base, shell_base + 9);
    expected.insert(expected.end(), {0, 0, 0});
    EXPECT_EQ(list_bytes(copied.GetBase()), expected);
    EXPECT_EQ(GetPidlSize(copied.GetBase()), 12u);
}

TEST_F(ItemIdList, CopiesAreDeepAndJoiningSkipsAListWithABase) {
    CItemIdList original = with_base_and_two();
    CItemIdList copy(original);
    EXPECT_TRUE(copy == original);
    EXPECT_NE(copy.GetBase(), original.GetBase());
    CItemIdList assigned;
    assigned = copy;
    assigned = assigned;
    EXPECT_TRUE(assigned == original);

    const CItemIdList records = CItemIdList(record(L"a")) + CItemIdList(record(L"b"));
    EXPECT_EQ(records.GetItems().size(), 2u);
    EXPECT_EQ((records + original).GetItems().size(), 2u) << "a list with a base adds nothing";
    CItemIdList grown = records;
    grown += original;
    EXPECT_EQ(grown.GetItems().size(), 2u);
    EXPECT_FALSE(records == original);
    EXPECT_TRUE(records != original);
    EXPECT_FALSE(records == CItemIdList(record(L"a")));
}

TEST_F(ItemIdList, DecodingTakesOnlyElementsOfTheFoldersOwnSize) {
    const CItemIdList records = CItemIdList(record(L"a")) + CItemIdList(record(L"b"));
    const owned made(records.CreatePidl());
    const CItemIdList decoded(made.get(), false);
    EXPECT_TRUE(decoded == records);
    EXPECT_FALSE(decoded.HasBase());

    EXPECT_THROW(CItemIdList(reinterpret_cast<LPCITEMIDLIST>(shell_base), false),
                 invalid_item_id_list);

    // From bytes of outside origin every size is checked against the bytes.
    const bytes whole = list_bytes(made.get());
    CItemIdList out = CItemIdList(record(L"kept"));
    EXPECT_EQ(CItemIdList::FromBytes(whole.data(), whole.size() - 2, false, out), E_INVALIDARG)
        << "no zero size within the bytes";
    EXPECT_EQ(CItemIdList::FromBytes(whole.data(), 839, false, out), E_INVALIDARG)
        << "an element running past the bytes";
    EXPECT_EQ(CItemIdList::FromBytes(shell_base, sizeof shell_base, false, out), E_INVALIDARG)
        << "elements of another size";
    bytes tiny = {1, 0, 0, 0};  // an element smaller than its own size field
    EXPECT_EQ(CItemIdList::FromBytes(tiny.data(), tiny.size(), true, out), E_INVALIDARG);
    EXPECT_EQ(pidl_name(out.GetLastItem()), L"kept") << "a refused list leaves the old one";
    ASSERT_EQ(CItemIdList::FromBytes(whole.data(), whole.size(), false, out), S_OK);
    EXPECT_TRUE(out == records);
}

TEST_F(ItemIdList, SavedAndLoadedListsComeBackByteForByte) {
    const CItemIdList original = with_base_and_two();
    win_test::test_stream stream;
    ASSERT_EQ(original.Save(&stream), S_OK);
    ASSERT_EQ(stream.bytes.size(), 1 + 4 + 9u + 2 * 840 + 3);
    EXPECT_EQ(stream.bytes[0], 1);

    stream.position = 0;
    CItemIdList loaded;
    ASSERT_EQ(loaded.Load(&stream), S_OK);
    // The records come back inside the base.
    EXPECT_TRUE(loaded.HasBase());
    EXPECT_TRUE(loaded.GetItems().empty());
    const owned before(original.CreatePidl()), after(loaded.CreatePidl());
    EXPECT_EQ(list_bytes(before.get()), list_bytes(after.get()));
    win_test::test_stream again;
    ASSERT_EQ(loaded.Save(&again), S_OK);
    EXPECT_EQ(again.bytes, stream.bytes);

    // Without a base the records are decoded again.
    const CItemIdList records = CItemIdList(record(L"x")) + CItemIdList(record(L"y"));
    win_test::test_stream plain;
    ASSERT_EQ(records.Save(&plain), S_OK);
    plain.position = 0;
    CItemIdList decoded;
    ASSERT_EQ(decoded.Load(&plain), S_OK);
    EXPECT_TRUE(decoded == records);
    EXPECT_EQ(plain.references(), 0u);
}

TEST_F(ItemIdList, SavingReportsTheStreamsFailuresAndShortWrites) {
    const CItemIdList list = with_base_and_two();
    win_test::test_stream failing;
    failing.fail_write_after = 3;
    EXPECT_EQ(list.Save(&failing), STG_E_WRITEFAULT);
    win_test::test_stream short_one;
    short_one.short_write_after = 100;
    EXPECT_EQ(list.Save(&short_one), E_FAIL);
}

bytes stream_form(BYTE flag, uint32_t size, const bytes& list) {
    bytes out{flag};
    out.resize(5);
    std::memcpy(out.data() + 1, &size, 4);
    out.insert(out.end(), list.begin(), list.end());
    return out;
}

TEST_F(ItemIdList, LoadingRefusesWhatNoListOfThisFormLooksLike) {
    const CItemIdList kept(record(L"kept"));
    const owned one(CItemIdList(record(L"one")).CreatePidl());
    const bytes good = list_bytes(one.get());
    const auto load = [&](const bytes& input) {
        win_test::test_stream stream(input);
        CItemIdList list = kept;
        const HRESULT result = list.Load(&stream);
        if (FAILED(result)) {
            EXPECT_TRUE(list == kept) << "a failed load changed the list";
        }
        return result;
    };
    EXPECT_EQ(load(stream_form(0, static_cast<uint32_t>(good.size()), good)), S_OK);
    EXPECT_EQ(load(stream_form(2, static_cast<uint32_t>(good.size()), good)), E_INVALIDARG);
    // A size no list has is refused before anything is allocated for it.
    EXPECT_EQ(load(stream_form(0, 0xFFFFFFF0u, good)), E_INVALIDARG);
    EXPECT_EQ(load(stream_form(0, 0, {})), E_INVALIDARG);
    // The zero size must lie within the bytes the size names.
    bytes cut(good.begin(), good.end() - 3);
    EXPECT_EQ(load(stream_form(0, static_cast<uint32_t>(cut.size()), cut)), E_INVALIDARG);
    bytes oversized = good;
    oversized[0] = 0x50;  // an element claiming 848 bytes
    oversized[1] = 0x03;
    EXPECT_EQ(load(stream_form(0, static_cast<uint32_t>(good.size()), oversized)), E_INVALIDARG);
    // The stream ends early.
    EXPECT_EQ(load(stream_form(0, static_cast<uint32_t>(good.size()) + 10, good)), E_FAIL);
    EXPECT_EQ(load({1, 2}), E_FAIL);

    win_test::test_stream failing(stream_form(0, static_cast<uint32_t>(good.size()), good));
    failing.fail_read_after = 8;
    CItemIdList list;
    EXPECT_EQ(list.Load(&failing), STG_E_READFAULT);
}

}  // namespace

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "win/com.h"
#include "win/shell_folder.h"
#include "win/test_journal.h"

namespace {

constexpr GUID sample{0x0A1B2C3D, 0x4E5F, 0x6071, {0x82, 0x93, 0xA4, 0xB5, 0xC6, 0xD7, 0xE8, 0xF9}};

TEST(GuidText, IdentifiersGoToTextAndBack) {
    wchar_t text[39];
    ASSERT_EQ(StringFromGUID2(sample, text, 39), 39);
    EXPECT_EQ(std::wstring(text), L"{0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9}");
    EXPECT_EQ(StringFromGUID2(sample, text, 38), 0);

    GUID back{};
    EXPECT_EQ(CLSIDFromString(L"{0a1b2c3d-4e5f-6071-8293-a4b5c6d7e8f9}", &back), S_OK);
    EXPECT_EQ(back, sample);
    EXPECT_EQ(IIDFromString(text, &back), S_OK);
    EXPECT_EQ(back, sample);
    EXPECT_EQ(CLSIDFromString(nullptr, &back), S_OK);
    EXPECT_EQ(back, GUID_NULL);

    wchar_t computer[39];
    StringFromGUID2(CLSID_MyComputer, computer, 39);
    EXPECT_EQ(std::wstring(computer), L"{20D04FE0-3AEA-1069-A2D8-08002B30309D}");

    const long blocks = win_test::live_task_allocations();
    LPOLESTR allocated = nullptr;
    ASSERT_EQ(StringFromCLSID(sample, &allocated), S_OK);
    EXPECT_EQ(std::wstring(allocated), text);
    EXPECT_EQ(win_test::live_task_allocations(), blocks + 1);
    CoTaskMemFree(allocated);
    EXPECT_EQ(win_test::live_task_allocations(), blocks);
}

TEST(GuidText, MalformedTextIsRefusedAndLeavesNothingBehind) {
    for (const wchar_t* bad : {
             L"", L"0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9",  // no braces
             L"{0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F}",      // one digit short
             L"{0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9}x",    // something after
             L"{0A1B2C3D-4E5F-6071-8293-A4B5C6D7E8G9}",     // not a digit
             L"{0A1B2C3D-4E5F-6071+8293-A4B5C6D7E8F9}",     // wrong separator
             L"{0A1B2C3D4-E5F-6071-8293-A4B5C6D7E8F9}",     // separator misplaced
             L"{ A1B2C3D-4E5F-6071-8293-A4B5C6D7E8F9}",     // blank for a digit
         }) {
        GUID out = sample;
        EXPECT_EQ(CLSIDFromString(bad, &out), CO_E_CLASSSTRING) << bad;
        EXPECT_EQ(out, GUID_NULL);
        out = sample;
        EXPECT_EQ(IIDFromString(bad, &out), E_INVALIDARG) << bad;
        EXPECT_EQ(out, GUID_NULL);
    }
}

TEST(TaskMemory, BlocksAreCountedUntilTheirReceiverFreesThem) {
    const long start = win_test::live_task_allocations();
    void* block = CoTaskMemAlloc(10);
    ASSERT_NE(block, nullptr);
    std::memset(block, 7, 10);
    void* zero = CoTaskMemAlloc(0);
    ASSERT_NE(zero, nullptr);
    EXPECT_EQ(win_test::live_task_allocations(), start + 2);

    block = CoTaskMemRealloc(block, 100000);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(static_cast<BYTE*>(block)[9], 7);
    EXPECT_EQ(win_test::live_task_allocations(), start + 2);

    IMalloc* allocator = nullptr;
    ASSERT_EQ(SHGetMalloc(&allocator), S_OK);
    EXPECT_EQ(allocator->GetSize(block), 100000u);
    EXPECT_EQ(allocator->DidAlloc(block), 1);
    int local = 0;
    EXPECT_EQ(allocator->DidAlloc(&local), 0);
    EXPECT_EQ(allocator->GetSize(&local), static_cast<SIZE_T>(-1));
    EXPECT_EQ(CoGetMalloc(0, &allocator), E_INVALIDARG);

    EXPECT_EQ(CoTaskMemRealloc(block, 0), nullptr);
    CoTaskMemFree(zero);
    CoTaskMemFree(nullptr);
    EXPECT_EQ(win_test::live_task_allocations(), start);
    void* fresh = CoTaskMemRealloc(nullptr, 4);
    EXPECT_EQ(win_test::live_task_allocations(), start + 1);
    CoTaskMemFree(fresh);
}

TEST(TaskMemoryDeathTest, FreeingABlockTwiceStopsTheProgram) {
    EXPECT_DEATH(
        {
            void* block = CoTaskMemAlloc(8);
            CoTaskMemFree(block);
            CoTaskMemFree(block);
        },
        "no live block of the task allocator");
}

}  // namespace

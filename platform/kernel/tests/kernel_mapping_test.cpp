#include <algorithm>
#include <cstring>

#include "kernel_test_support.h"

namespace {

using Mappings = kernel_test::KernelTest;

bool all_zero(const void* data, size_t size) {
    const auto* bytes = static_cast<const unsigned char*>(data);
    return std::all_of(bytes, bytes + size, [](unsigned char b) { return b == 0; });
}

HANDLE page_file_mapping(DWORD size, const wchar_t* name) {
    return CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, size, name);
}

TEST_F(Mappings, ANewMappingIsZeroFilledAndSharedByItsHandles) {
    HANDLE created = page_file_mapping(0x80000, L"Local\\Calvimora_FileMapping_SaveAs");
    ASSERT_NE(created, nullptr);
    auto* written = static_cast<char*>(MapViewOfFile(created, FILE_MAP_ALL_ACCESS, 0, 0, 0x80000));
    ASSERT_NE(written, nullptr);
    EXPECT_TRUE(all_zero(written, 0x80000));
    std::strcpy(written, "<SaveAsFiles></SaveAsFiles>");
    written[0x80000 - 1] = 'z';

    HANDLE opened =
        OpenFileMappingW(FILE_MAP_ALL_ACCESS, FALSE, L"Local\\Calvimora_FileMapping_SaveAs");
    ASSERT_NE(opened, nullptr);
    // Size 0 maps the whole object.
    auto* read = static_cast<const char*>(MapViewOfFile(opened, FILE_MAP_READ, 0, 0, 0));
    ASSERT_NE(read, nullptr);
    EXPECT_STREQ(read, "<SaveAsFiles></SaveAsFiles>");
    EXPECT_EQ(read[0x80000 - 1], 'z');

    // A view from an offset sees the same bytes.
    auto* tail = static_cast<const char*>(MapViewOfFile(opened, FILE_MAP_READ, 0, 0x10000, 0));
    ASSERT_NE(tail, nullptr);
    EXPECT_EQ(tail[0x80000 - 0x10000 - 1], 'z');

    EXPECT_TRUE(UnmapViewOfFile(written));
    EXPECT_TRUE(UnmapViewOfFile(read));
    EXPECT_TRUE(UnmapViewOfFile(tail));
    CloseHandle(created);
    CloseHandle(opened);
}

TEST_F(Mappings, AViewKeepsTheObjectAliveAfterItsHandleIsClosed) {
    HANDLE mapping = page_file_mapping(1024, L"Local\\Calvimora_MMF_UID");
    auto* view = static_cast<char*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 1024));
    ASSERT_NE(view, nullptr);
    std::strcpy(view, "user record");
    CloseHandle(mapping);

    HANDLE reopened = OpenFileMappingW(FILE_MAP_READ, FALSE, L"Local\\Calvimora_MMF_UID");
    ASSERT_NE(reopened, nullptr);
    auto* again = static_cast<const char*>(MapViewOfFile(reopened, FILE_MAP_READ, 0, 0, 1024));
    EXPECT_STREQ(again, "user record");
    CloseHandle(reopened);
    EXPECT_TRUE(UnmapViewOfFile(again));
    EXPECT_STREQ(view, "user record");  // the first view is still there
    EXPECT_TRUE(UnmapViewOfFile(view));

    EXPECT_EQ(OpenFileMappingW(FILE_MAP_READ, FALSE, L"Local\\Calvimora_MMF_UID"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(UnmapViewOfFile(view));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_ADDRESS));
}

TEST_F(Mappings, CreatingAnExistingMappingKeepsItsSize) {
    HANDLE small = page_file_mapping(1024, L"Local\\sized");
    HANDLE larger = page_file_mapping(8192, L"Local\\sized");
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_EQ(MapViewOfFile(larger, FILE_MAP_READ, 0, 0, 8192), nullptr);
    void* whole = MapViewOfFile(larger, FILE_MAP_READ, 0, 0, 1024);
    EXPECT_NE(whole, nullptr);
    UnmapViewOfFile(whole);
    CloseHandle(small);
    CloseHandle(larger);
}

TEST_F(Mappings, BadRequestsFailClearly) {
    EXPECT_EQ(page_file_mapping(0, L"Local\\empty"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(
        CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, 0x40 /* executable */, 0, 16, nullptr),
        nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    EXPECT_EQ(CreateFileMappingW(event, nullptr, PAGE_READWRITE, 0, 16, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_SUPPORTED));
    EXPECT_EQ(MapViewOfFile(event, FILE_MAP_READ, 0, 0, 0), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));

    HANDLE unnamed = page_file_mapping(4096, nullptr);
    ASSERT_NE(unnamed, nullptr);
    EXPECT_EQ(WaitForSingleObject(unnamed, 0), WAIT_FAILED);  // not waitable
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(MapViewOfFile(unnamed, FILE_MAP_READ, 0, 4096, 0), nullptr);
    EXPECT_EQ(MapViewOfFile(unnamed, FILE_MAP_READ, 1, 0, 1), nullptr);
    EXPECT_EQ(MapViewOfFile(unnamed, 0, 0, 0, 0), nullptr);
    void* view = MapViewOfFile(unnamed, FILE_MAP_READ, 0, 0, 0);
    ASSERT_NE(view, nullptr);
    EXPECT_TRUE(all_zero(view, 4096));
    UnmapViewOfFile(view);
    CloseHandle(unnamed);
    CloseHandle(event);
}

}  // namespace

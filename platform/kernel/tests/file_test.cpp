#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "win/file.h"
#include "win/handle.h"
#include "win/machine.h"

namespace {

class File : public ::testing::Test {
protected:
    win_machine::scoped_root root;

    // The test's folder as the programs write paths: with backslashes.
    std::wstring path(const std::wstring& name) const {
        std::wstring folder(root.path().begin(), root.path().end());
        for (auto& c : folder)
            if (c == L'/') c = L'\\';
        return folder + L"\\" + name;
    }
    std::string native(const std::wstring& name) const { return win_file::native_path(path(name)); }

    void write_native(const std::wstring& name, const std::string& bytes) const {
        std::ofstream(native(name), std::ios::binary) << bytes;
    }
    std::string read_native(const std::wstring& name) const {
        std::ifstream in(native(name), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
};

HANDLE open(const std::wstring& path, DWORD access, DWORD disposition,
            DWORD attributes = FILE_ATTRIBUTE_NORMAL) {
    return CreateFileW(path.c_str(), access, FILE_SHARE_READ, nullptr, disposition, attributes,
                       nullptr);
}

// Copies the way the library's byte copy does: blocks of 102400 bytes until a
// read of 0 or a short block.
std::vector<DWORD> copy(HANDLE from, HANDLE to) {
    std::vector<char> block(102400);
    std::vector<DWORD> reads;
    for (;;) {
        DWORD got = 0;
        EXPECT_TRUE(ReadFile(from, block.data(), static_cast<DWORD>(block.size()), &got, nullptr));
        reads.push_back(got);
        if (got == 0) break;
        DWORD put = 0;
        EXPECT_TRUE(WriteFile(to, block.data(), got, &put, nullptr));
        EXPECT_EQ(put, got);
        if (got < block.size()) break;
    }
    return reads;
}

}  // namespace

TEST_F(File, CopiesBytesThroughBackslashPaths) {
    const std::string content(102400 + 17, 'x');
    write_native(L"source.bin", content);
    HANDLE from = open(path(L"source.bin"), FILE_READ_DATA, OPEN_EXISTING);
    ASSERT_NE(from, INVALID_HANDLE_VALUE);
    HANDLE to = open(path(L"copy \u00e9.bin"), GENERIC_WRITE, CREATE_ALWAYS);
    ASSERT_NE(to, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), 0u);
    EXPECT_EQ(copy(from, to), (std::vector<DWORD>{102400, 17}));
    EXPECT_TRUE(CloseHandle(from));
    EXPECT_TRUE(CloseHandle(to));
    EXPECT_FALSE(CloseHandle(to));
    EXPECT_EQ(read_native(L"copy \u00e9.bin"), content);

    // Exactly one block: a full read, then a read of 0.
    write_native(L"block.bin", std::string(102400, 'b'));
    from = open(path(L"block.bin"), GENERIC_READ, OPEN_EXISTING);
    to = open(path(L"block copy.bin"), GENERIC_WRITE, CREATE_ALWAYS);
    EXPECT_EQ(copy(from, to), (std::vector<DWORD>{102400, 0}));
    CloseHandle(from);
    CloseHandle(to);
    EXPECT_EQ(std::filesystem::file_size(native(L"block copy.bin")), 102400u);
}

TEST_F(File, DispositionsFindCreateAndReplace) {
    EXPECT_EQ(open(path(L"missing"), GENERIC_READ, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(open(path(L"no folder\\file"), GENERIC_WRITE, CREATE_ALWAYS), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    EXPECT_EQ(open(path(L""), GENERIC_READ, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));  // the folder itself

    write_native(L"existing", "old contents");
    EXPECT_EQ(open(path(L"existing"), GENERIC_WRITE, CREATE_NEW), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_EXISTS));

    HANDLE kept = open(path(L"existing"), GENERIC_READ, OPEN_ALWAYS);
    ASSERT_NE(kept, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    char buffer[64] = {};
    DWORD got = 0;
    EXPECT_TRUE(ReadFile(kept, buffer, sizeof buffer, &got, nullptr));
    EXPECT_EQ(std::string(buffer, got), "old contents");
    EXPECT_TRUE(ReadFile(kept, buffer, sizeof buffer, &got, nullptr));
    EXPECT_EQ(got, 0u);
    DWORD put = 1;
    EXPECT_FALSE(WriteFile(kept, "x", 1, &put, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(put, 0u);
    CloseHandle(kept);

    HANDLE replaced = open(path(L"existing"), GENERIC_WRITE, CREATE_ALWAYS);
    ASSERT_NE(replaced, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_FALSE(ReadFile(replaced, buffer, sizeof buffer, &got, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_TRUE(WriteFile(replaced, "new", 3, &put, nullptr));
    CloseHandle(replaced);
    EXPECT_EQ(read_native(L"existing"), "new");

    HANDLE created = open(path(L"fresh"), GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS);
    ASSERT_NE(created, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), 0u);
    CloseHandle(created);
    EXPECT_TRUE(std::filesystem::exists(native(L"fresh")));
}

TEST_F(File, ReadOnlyAndHiddenFilesAreNotReplaced) {
    write_native(L"locked", "keep me");
    ASSERT_TRUE(SetFileAttributesW(path(L"locked").c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(GetFileAttributesW(path(L"locked").c_str()), FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(open(path(L"locked"), GENERIC_WRITE, CREATE_ALWAYS), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(open(path(L"locked"), GENERIC_WRITE, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    HANDLE reader = open(path(L"locked"), GENERIC_READ, OPEN_EXISTING);
    EXPECT_NE(reader, INVALID_HANDLE_VALUE);
    CloseHandle(reader);
    EXPECT_EQ(read_native(L"locked"), "keep me");

    write_native(L"secret", "keep me too");
    ASSERT_TRUE(SetFileAttributesW(path(L"secret").c_str(), FILE_ATTRIBUTE_HIDDEN));
    EXPECT_EQ(GetFileAttributesW(path(L"secret").c_str()), FILE_ATTRIBUTE_HIDDEN);
    EXPECT_EQ(open(path(L"secret"), GENERIC_WRITE, CREATE_ALWAYS), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(read_native(L"secret"), "keep me too");
    // Replacing a hidden file is allowed when the new one is hidden too.
    HANDLE hidden = open(path(L"secret"), GENERIC_WRITE, CREATE_ALWAYS, FILE_ATTRIBUTE_HIDDEN);
    EXPECT_NE(hidden, INVALID_HANDLE_VALUE);
    CloseHandle(hidden);

    // Clearing the attributes makes both plain files again.
    ASSERT_TRUE(SetFileAttributesW(path(L"locked").c_str(), FILE_ATTRIBUTE_NORMAL));
    ASSERT_TRUE(SetFileAttributesW(path(L"secret").c_str(), FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(GetFileAttributesW(path(L"locked").c_str()), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(GetFileAttributesW(path(L"secret").c_str()), FILE_ATTRIBUTE_NORMAL);
    HANDLE writer = open(path(L"locked"), GENERIC_WRITE, CREATE_ALWAYS);
    EXPECT_NE(writer, INVALID_HANDLE_VALUE);
    CloseHandle(writer);
}

TEST_F(File, ANewFileTakesTheAttributesItIsCreatedWith) {
    HANDLE file = open(path(L"made read-only"), GENERIC_WRITE, CREATE_NEW,
                       FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD put = 0;
    EXPECT_TRUE(WriteFile(file, "abc", 3, &put, nullptr));  // the creator may still write
    CloseHandle(file);
    EXPECT_EQ(GetFileAttributesW(path(L"made read-only").c_str()),
              FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
    EXPECT_EQ(read_native(L"made read-only"), "abc");

    EXPECT_EQ(GetFileAttributesW(path(L"").c_str()), FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(GetFileAttributesW(path(L"gone").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(SetFileAttributesW(path(L"gone\\deeper").c_str(), FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
}

TEST_F(File, AFullDiskIsReportedAsSuch) {
    HANDLE full = open(L"\\dev\\full", GENERIC_WRITE, OPEN_EXISTING);
    ASSERT_NE(full, INVALID_HANDLE_VALUE);
    DWORD put = 7;
    EXPECT_FALSE(WriteFile(full, "data", 4, &put, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DISK_FULL));
    EXPECT_EQ(put, 0u);
    CloseHandle(full);
    EXPECT_FALSE(ReadFile(full, &put, 1, &put, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
}

TEST_F(File, TimesAreCountedFrom1601AndFollowTheLastWrite) {
    write_native(L"dated.bin", "x");
    const auto when = std::filesystem::file_time_type::clock::from_sys(
        std::chrono::sys_seconds(std::chrono::seconds(1700000000)));
    std::filesystem::last_write_time(native(L"dated.bin"), when);
    HANDLE file = open(path(L"dated.bin"), GENERIC_READ, OPEN_EXISTING);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    FILETIME written{};
    ASSERT_TRUE(GetFileTime(file, nullptr, nullptr, &written));
    const std::int64_t ticks =
        static_cast<std::int64_t>(written.dwHighDateTime) << 32 | written.dwLowDateTime;
    EXPECT_EQ(ticks, (std::int64_t{1700000000} + 11644473600) * 10000000);
    EXPECT_TRUE(FlushFileBuffers(file));
    CloseHandle(file);
    EXPECT_FALSE(GetFileTime(file, nullptr, nullptr, &written));
}

TEST_F(File, MovesReplaceOnlyWhenAskedAndDeletesSayWhatWasMissing) {
    write_native(L"new.bin", "new");
    write_native(L"old.bin", "old");
    EXPECT_FALSE(MoveFileExW(path(L"new.bin").c_str(), path(L"old.bin").c_str(), 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_EQ(read_native(L"old.bin"), "old");
    EXPECT_TRUE(
        MoveFileExW(path(L"new.bin").c_str(), path(L"old.bin").c_str(), MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(read_native(L"old.bin"), "new");
    EXPECT_FALSE(std::filesystem::exists(native(L"new.bin")));
    EXPECT_FALSE(MoveFileExW(path(L"new.bin").c_str(), path(L"other.bin").c_str(), 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

    EXPECT_TRUE(DeleteFileW(path(L"old.bin").c_str()));
    EXPECT_FALSE(DeleteFileW(path(L"old.bin").c_str()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(DeleteFileW(path(L"no folder\\old.bin").c_str()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    ASSERT_TRUE(CreateDirectoryW(path(L"folder").c_str(), nullptr));
    EXPECT_FALSE(DeleteFileW(path(L"folder").c_str()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

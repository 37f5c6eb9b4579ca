// Sharing modes among the handles of one process, as the system holds them:
// opens, deletes and renames against the handles open on the same file.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>

#include "win/file.h"
#include "win/handle.h"
#include "win/machine.h"

namespace {

constexpr DWORD share_all = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

class FileSharing : public ::testing::Test {
protected:
    win_machine::scoped_root root;

    std::wstring path(const std::wstring& name) const {
        return std::wstring(root.path().begin(), root.path().end()) + L"\\" + name;
    }
    HANDLE open(const std::wstring& name, DWORD access, DWORD share,
                DWORD disposition = OPEN_EXISTING) const {
        return CreateFileW(path(name).c_str(), access, share, nullptr, disposition,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    // Whether the open is refused for its sharing; one that succeeds is
    // closed again.
    bool refused(const std::wstring& name, DWORD access, DWORD share,
                 DWORD disposition = OPEN_EXISTING) const {
        const HANDLE file = open(name, access, share, disposition);
        if (file != INVALID_HANDLE_VALUE) {
            CloseHandle(file);
            return false;
        }
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
        return true;
    }
    void write(const std::wstring& name, const std::string& bytes) const {
        std::ofstream(win_file::native_path(path(name)), std::ios::binary) << bytes;
    }
    std::string read(const std::wstring& name) const {
        std::ifstream in(win_file::native_path(path(name)), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
};

}  // namespace

TEST_F(FileSharing, AnOpenMustShareWhatTheOpenHandlesDoAndTheyWhatItDoes) {
    write(L"a.bin", "abc");
    HANDLE reader = open(L"a.bin", GENERIC_READ, FILE_SHARE_READ);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(refused(L"a.bin", GENERIC_READ, FILE_SHARE_READ));
    EXPECT_TRUE(refused(L"a.bin", GENERIC_WRITE, share_all)) << "the reader shares no writing";
    EXPECT_TRUE(refused(L"a.bin", GENERIC_READ, 0)) << "the open shares no reading";
    EXPECT_TRUE(refused(L"a.bin", GENERIC_READ, FILE_SHARE_READ, CREATE_ALWAYS))
        << "truncating is writing";
    EXPECT_EQ(read(L"a.bin"), "abc");
    // A handle of the attributes alone takes no part in sharing.
    HANDLE attributes = open(L"a.bin", FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES, 0);
    EXPECT_NE(attributes, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(refused(L"a.bin", GENERIC_READ, FILE_SHARE_READ));
    CloseHandle(attributes);
    // Every name of a file is the same file.
    std::filesystem::create_hard_link(win_file::native_path(path(L"a.bin")),
                                      win_file::native_path(path(L"b.bin")));
    EXPECT_TRUE(refused(L"b.bin", GENERIC_WRITE, share_all));
    EXPECT_TRUE(CloseHandle(reader));
    EXPECT_FALSE(refused(L"b.bin", GENERIC_WRITE, 0)) << "a closed handle holds nothing";

    // A writer and a reader that share each other's work, and nobody
    // beside a handle that shares nothing.
    HANDLE writer = open(L"a.bin", GENERIC_WRITE, FILE_SHARE_READ);
    HANDLE sharing_reader = open(L"a.bin", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE);
    EXPECT_NE(writer, INVALID_HANDLE_VALUE);
    EXPECT_NE(sharing_reader, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(refused(L"a.bin", GENERIC_READ, FILE_SHARE_READ)) << "the writer's writing";
    CloseHandle(writer);
    CloseHandle(sharing_reader);
    HANDLE alone = open(L"a.bin", GENERIC_READ, 0);
    EXPECT_NE(alone, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(refused(L"a.bin", GENERIC_READ, share_all));
    CloseHandle(alone);
}

TEST_F(FileSharing, DeletingAndRenamingNeedEveryHandleToShareDeleting) {
    write(L"a.bin", "old");
    write(L"b.bin", "new");
    HANDLE held = open(L"a.bin", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(DeleteFileW(path(L"a.bin").c_str()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    EXPECT_FALSE(MoveFileExW(path(L"a.bin").c_str(), path(L"c.bin").c_str(), 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    // A file held so cannot be replaced either: both stay as they were.
    EXPECT_FALSE(
        MoveFileExW(path(L"b.bin").c_str(), path(L"a.bin").c_str(), MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(read(L"a.bin"), "old");
    EXPECT_EQ(read(L"b.bin"), "new");
    EXPECT_TRUE(refused(L"a.bin", DELETE, share_all));
    CloseHandle(held);

    // Handles that share deleting let it happen.
    held = open(L"a.bin", GENERIC_READ, share_all);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(
        MoveFileExW(path(L"b.bin").c_str(), path(L"a.bin").c_str(), MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(read(L"a.bin"), "new");
    CloseHandle(held);
    held = open(L"a.bin", GENERIC_WRITE, share_all);
    EXPECT_TRUE(DeleteFileW(path(L"a.bin").c_str()));
    CloseHandle(held);
}

// Two threads of one process that open a file without sharing at once: one
// gets it, the other is refused, whichever comes first.
TEST_F(FileSharing, OfTwoThreadsOpeningAFileWithoutSharingOnlyOneGetsIt) {
    write(L"a.bin", "x");
    for (int round = 0; round < 20; ++round) {
        std::atomic<int> waiting{2};
        HANDLE got[2] = {INVALID_HANDLE_VALUE, INVALID_HANDLE_VALUE};
        auto opener = [&](int which) {
            --waiting;
            while (waiting > 0) std::this_thread::yield();
            got[which] = open(L"a.bin", GENERIC_READ, 0);
        };
        std::thread first(opener, 0), second(opener, 1);
        first.join();
        second.join();
        EXPECT_NE(got[0] == INVALID_HANDLE_VALUE, got[1] == INVALID_HANDLE_VALUE) << round;
        for (HANDLE h : got)
            if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    }
}

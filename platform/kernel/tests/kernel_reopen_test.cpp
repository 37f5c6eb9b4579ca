// Named objects a process opens again and again: one it holds already is
// found without the session's namespace lock, and one that another process
// holds stays mapped between this process's handles, yet is gone with its
// last holder and replaced by a fresh one made under its name.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <future>
#include <string>

#include "kernel_test_support.h"

namespace {

using kernel_test::holder_process;
using kernel_test::patience_ms;

// How many times the process maps the file of the object of that name.
int mappings_of(const std::string& file_name) {
    const std::string path = win_machine::session_dir() + "/" + file_name;
    std::ifstream maps("/proc/self/maps");
    int count = 0;
    for (std::string line; std::getline(maps, line);) {
        if (line.size() >= path.size() &&
            line.compare(line.size() - path.size(), path.size(), path) == 0)
            ++count;
    }
    return count;
}

class NamedReopen : public kernel_test::KernelTest {};

TEST_F(NamedReopen, ObjectsTheProcessHoldsOpenWhileTheNamespaceIsLocked) {
    const HANDLE mutex = CreateMutexW(nullptr, FALSE, L"Local\\held-mutex");
    const HANDLE event = CreateEventW(nullptr, FALSE, FALSE, L"Local\\held-event");
    const HANDLE mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 64,
                                              L"Local\\held-map");
    ASSERT_TRUE(mutex && event && mapping);

    // Another process's create or close of an object holds this lock.
    const std::string lock_path = win_machine::session_dir() + "/.namespace.lock";
    const int other = ::open(lock_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_GE(other, 0);
    ASSERT_EQ(flock(other, LOCK_EX), 0);
    auto opened = std::async(std::launch::async, [] {
        const HANDLE again = CreateMutexW(nullptr, FALSE, L"Local\\held-mutex");
        const bool existed = GetLastError() == ERROR_ALREADY_EXISTS;
        const HANDLE handles[] = {again, OpenMutexW(SYNCHRONIZE, FALSE, L"Local\\held-mutex"),
                                  OpenEventW(EVENT_MODIFY_STATE, FALSE, L"Local\\held-event"),
                                  OpenFileMappingW(FILE_MAP_READ, FALSE, L"Local\\held-map")};
        bool all = existed;
        for (const HANDLE handle : handles) {
            all = all && handle != nullptr;
            if (handle) CloseHandle(handle);
        }
        return all;
    });
    const bool in_time =
        opened.wait_for(std::chrono::milliseconds(patience_ms / 2)) == std::future_status::ready;
    flock(other, LOCK_UN);
    close(other);
    EXPECT_TRUE(in_time) << "an open of an object the process holds waited for the namespace";
    EXPECT_TRUE(opened.get());
    CloseHandle(mutex);
    CloseHandle(event);
    CloseHandle(mapping);
}

TEST_F(NamedReopen, AnObjectAnotherProcessHoldsStaysMappedUntilItsHolderEnds) {
    // Made before the holder starts: its signal opens the event, and an
    // event not there yet would lose it.
    const HANDLE ready = CreateEventW(nullptr, FALSE, FALSE, L"Local\\ready");
    holder_process first(
        L"create-mapping Local\\shared 1024 write first create-event Local\\go signal "
        L"Local\\ready wait");
    ASSERT_TRUE(first.started());
    ASSERT_EQ(WaitForSingleObject(ready, patience_ms), WAIT_OBJECT_0);

    for (int round = 0; round < 3; ++round) {
        const HANDLE mapping = OpenFileMappingW(FILE_MAP_READ, FALSE, L"Local\\shared");
        ASSERT_NE(mapping, nullptr);
        const void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0);
        ASSERT_NE(view, nullptr);
        EXPECT_STREQ(static_cast<const char*>(view), "first");
        UnmapViewOfFile(view);
        CloseHandle(mapping);
        EXPECT_EQ(mappings_of("shared.kobj"), 1) << "round " << round;
    }
    // Asked for as another kind, the name is refused, and stays the mapping.
    EXPECT_EQ(OpenEventW(EVENT_MODIFY_STATE, FALSE, L"Local\\shared"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));

    const HANDLE go = OpenEventW(EVENT_MODIFY_STATE, FALSE, L"Local\\go");
    ASSERT_NE(go, nullptr);
    SetEvent(go);
    CloseHandle(go);
    EXPECT_EQ(first.exit_code(), 0u);
    EXPECT_EQ(OpenFileMappingW(FILE_MAP_READ, FALSE, L"Local\\shared"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(mappings_of("shared.kobj"), 0);

    // Made anew under the name, it starts zeroed: nothing of the old one.
    holder_process second(L"create-mapping Local\\shared 1024 signal Local\\ready hang");
    ASSERT_EQ(WaitForSingleObject(ready, patience_ms), WAIT_OBJECT_0);
    const HANDLE mapping = OpenFileMappingW(FILE_MAP_READ, FALSE, L"Local\\shared");
    ASSERT_NE(mapping, nullptr);
    const void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0);
    ASSERT_NE(view, nullptr);
    EXPECT_STREQ(static_cast<const char*>(view), "");
    UnmapViewOfFile(view);
    CloseHandle(mapping);
    CloseHandle(ready);
}

}  // namespace

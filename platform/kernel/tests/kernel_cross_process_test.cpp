#include <signal.h>

#include <cstring>
#include <thread>
#include <vector>

#include "kernel_test_support.h"

namespace {

using kernel_test::holder_process;
using kernel_test::patience_ms;

// Holders report that their steps so far are done by setting an event:
// "Local\\ready" for the first, "Local\\ready2" for a second (one event
// each, since two sets of one auto-reset event may count once).
class CrossProcess : public kernel_test::KernelTest {
protected:
    void SetUp() override {
        ready_[0] = CreateEventW(nullptr, FALSE, FALSE, L"Local\\ready");
        ready_[1] = CreateEventW(nullptr, FALSE, FALSE, L"Local\\ready2");
    }
    void TearDown() override {
        CloseHandle(ready_[0]);
        CloseHandle(ready_[1]);
    }

    bool ready(int holder = 1) {
        return WaitForSingleObject(ready_[holder - 1], patience_ms) == WAIT_OBJECT_0;
    }

    static void kill_and_wait(const holder_process& holder) {
        kill(static_cast<pid_t>(holder.pid()), SIGKILL);
        EXPECT_EQ(WaitForSingleObject(holder.handle(), patience_ms), WAIT_OBJECT_0);
    }

    HANDLE ready_[2] = {};
};

TEST_F(CrossProcess, ObjectsOfAKilledHolderAreGone) {
    holder_process holder(
        L"create-mutex Local\\m create-event Local\\e create-mapping Local\\p 1024 signal "
        L"Local\\ready hang");
    ASSERT_TRUE(holder.started());
    ASSERT_TRUE(ready());

    HANDLE mutex = CreateMutexW(nullptr, FALSE, L"Local\\m");
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    CloseHandle(mutex);
    EXPECT_EQ(CreateEventW(nullptr, FALSE, FALSE, L"Local\\p"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    HANDLE event = OpenEventW(EVENT_MODIFY_STATE, FALSE, L"Local\\e");
    ASSERT_NE(event, nullptr);
    CloseHandle(event);

    kill_and_wait(holder);
    EXPECT_EQ(OpenMutexW(SYNCHRONIZE, FALSE, L"Local\\m"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(OpenEventW(EVENT_MODIFY_STATE, FALSE, L"Local\\e"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(OpenFileMappingW(FILE_MAP_READ, FALSE, L"Local\\p"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));

    // The name is free for any kind again.
    HANDLE fresh = CreateEventW(nullptr, FALSE, FALSE, L"Local\\m");
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    CloseHandle(fresh);
}

TEST_F(CrossProcess, ObjectsOfAHolderThatExitedAreGone) {
    HANDLE go = CreateEventW(nullptr, FALSE, FALSE, L"Local\\go");
    holder_process holder(
        L"create-mutex Local\\Calvimora_Mutex_SFD_Access open-event Local\\go "
        L"signal Local\\ready wait");
    ASSERT_TRUE(ready());
    HANDLE seen = OpenMutexW(SYNCHRONIZE, FALSE, L"Local\\Calvimora_Mutex_SFD_Access");
    EXPECT_NE(seen, nullptr);
    CloseHandle(seen);

    SetEvent(go);
    EXPECT_EQ(holder.exit_code(), 0u);
    EXPECT_EQ(OpenMutexW(SYNCHRONIZE, FALSE, L"Local\\Calvimora_Mutex_SFD_Access"), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    CloseHandle(go);
}

TEST_F(CrossProcess, AKilledOwnerLeavesAnAbandonedMutex) {
    HANDLE mutex = CreateMutexW(nullptr, FALSE, L"Local\\Calvimora_Mutex_Download_Upload");
    holder_process holder(
        L"open-mutex Local\\Calvimora_Mutex_Download_Upload lock lock "
        L"signal Local\\ready hang");
    ASSERT_TRUE(ready());
    EXPECT_EQ(WaitForSingleObject(mutex, 0), WAIT_TIMEOUT);

    // Wait while it is being killed.
    std::thread killer([&] { kill(static_cast<pid_t>(holder.pid()), SIGKILL); });
    EXPECT_EQ(WaitForSingleObject(mutex, patience_ms), WAIT_ABANDONED);
    killer.join();

    // Then it behaves normally: owned once, by this thread.
    EXPECT_TRUE(ReleaseMutex(mutex));
    EXPECT_FALSE(ReleaseMutex(mutex));
    EXPECT_EQ(WaitForSingleObject(mutex, 0), WAIT_OBJECT_0);
    EXPECT_TRUE(ReleaseMutex(mutex));

    // And another process can have it.
    holder_process next(L"open-mutex Local\\Calvimora_Mutex_Download_Upload lock release");
    EXPECT_EQ(next.exit_code(), 0u);
    CloseHandle(mutex);
}

TEST_F(CrossProcess, TwoProcessesExcludeEachOtherUnderAMutex) {
    HANDLE mutex = CreateMutexW(nullptr, FALSE, L"Local\\Calvimora_Mutex_UID");
    HANDLE mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 1024,
                                        L"Local\\Calvimora_MMF_UID");
    auto* counter =
        static_cast<volatile uint32_t*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 4));
    ASSERT_NE(counter, nullptr);
    // All three start counting together.
    HANDLE go = CreateEventW(nullptr, TRUE, FALSE, L"Local\\go");
    const uint32_t rounds = 3000;
    auto steps = [&](const wchar_t* ready_event) {
        return L"open-mutex Local\\Calvimora_Mutex_UID open-mapping Local\\Calvimora_MMF_UID "
               L"open-event Local\\go signal " +
               std::wstring(ready_event) + L" wait increment " + std::to_wstring(rounds);
    };
    holder_process first(steps(L"Local\\ready"));
    holder_process second(steps(L"Local\\ready2"));
    ASSERT_TRUE(ready(1));
    ASSERT_TRUE(ready(2));
    SetEvent(go);
    for (uint32_t i = 0; i < rounds; ++i) {
        ASSERT_EQ(WaitForSingleObject(mutex, patience_ms), WAIT_OBJECT_0);
        const uint32_t seen = *counter;
        std::this_thread::yield();
        *counter = seen + 1;
        ASSERT_TRUE(ReleaseMutex(mutex));
    }
    EXPECT_EQ(first.exit_code(), 0u);
    EXPECT_EQ(second.exit_code(), 0u);
    EXPECT_EQ(*counter, 3 * rounds);
    UnmapViewOfFile(const_cast<uint32_t*>(counter));
    CloseHandle(go);
    CloseHandle(mapping);
    CloseHandle(mutex);
}

TEST_F(CrossProcess, AMappingIsSharedAndStartsZeroed) {
    holder_process holder(
        L"create-mapping Local\\Calvimora_MMF_UID 1024 write written-by-holder "
        L"signal Local\\ready hang");
    ASSERT_TRUE(ready());
    HANDLE mapping = OpenFileMappingW(FILE_MAP_ALL_ACCESS, FALSE, L"Local\\Calvimora_MMF_UID");
    ASSERT_NE(mapping, nullptr);
    auto* view = static_cast<char*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 1024));
    ASSERT_NE(view, nullptr);
    EXPECT_STREQ(view, "written-by-holder");
    const size_t used = std::strlen("written-by-holder") + 1;
    for (size_t i = used; i < 1024; ++i) ASSERT_EQ(view[i], 0) << i;

    // Our view keeps it after the creator died.
    CloseHandle(mapping);
    kill_and_wait(holder);
    HANDLE still = OpenFileMappingW(FILE_MAP_READ, FALSE, L"Local\\Calvimora_MMF_UID");
    EXPECT_NE(still, nullptr);
    CloseHandle(still);
    EXPECT_STREQ(view, "written-by-holder");
    UnmapViewOfFile(view);
    EXPECT_EQ(OpenFileMappingW(FILE_MAP_READ, FALSE, L"Local\\Calvimora_MMF_UID"), nullptr);
}

TEST_F(CrossProcess, AnAutoResetEventReleasesOneWaitingProcessPerSet) {
    HANDLE event = CreateEventW(nullptr, FALSE, FALSE, L"Local\\Calvimora_Event_LogOff");
    holder_process first(L"open-event Local\\Calvimora_Event_LogOff signal Local\\ready wait");
    holder_process second(L"open-event Local\\Calvimora_Event_LogOff signal Local\\ready2 wait");
    ASSERT_TRUE(ready(1));
    ASSERT_TRUE(ready(2));

    const HANDLE processes[] = {first.handle(), second.handle()};
    SetEvent(event);
    const DWORD ended = WaitForMultipleObjects(2, processes, FALSE, patience_ms);
    ASSERT_TRUE(ended == WAIT_OBJECT_0 || ended == WAIT_OBJECT_0 + 1);
    const HANDLE other = processes[1 - (ended - WAIT_OBJECT_0)];
    EXPECT_EQ(WaitForSingleObject(other, 50), WAIT_TIMEOUT);

    SetEvent(event);
    EXPECT_EQ(WaitForSingleObject(other, patience_ms), WAIT_OBJECT_0);
    EXPECT_EQ(first.exit_code(), 0u);
    EXPECT_EQ(second.exit_code(), 0u);
    CloseHandle(event);
}

}  // namespace

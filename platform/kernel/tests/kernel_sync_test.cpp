#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "kernel_test_support.h"

namespace {

using kernel_test::KernelTest;
using kernel_test::patience_ms;

// What another thread gets from a call.
template <typename F>
auto on_other_thread(F call) {
    decltype(call()) result{};
    std::thread([&] { result = call(); }).join();
    return result;
}

template <typename Condition>
bool eventually(Condition condition) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(patience_ms);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > until) return false;
        std::this_thread::yield();
    }
    return true;
}

using Mutexes = KernelTest;

TEST_F(Mutexes, AreOwnedPerThreadAndRecursiveAcrossHandles) {
    HANDLE first = CreateMutexW(nullptr, FALSE, L"Local\\Calvimora_Mutex_UID");
    HANDLE second =
        OpenMutexW(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, L"Local\\Calvimora_Mutex_UID");
    ASSERT_NE(second, nullptr);

    EXPECT_EQ(WaitForSingleObject(first, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(second, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(first, 100), WAIT_OBJECT_0);
    EXPECT_EQ(on_other_thread([&] { return WaitForSingleObject(first, 0); }), WAIT_TIMEOUT);
    EXPECT_EQ(on_other_thread([&] { return ReleaseMutex(second) ? 0ul : GetLastError(); }),
              static_cast<DWORD>(ERROR_NOT_OWNER));

    EXPECT_TRUE(ReleaseMutex(second));
    EXPECT_TRUE(ReleaseMutex(first));
    EXPECT_EQ(on_other_thread([&] { return WaitForSingleObject(first, 0); }), WAIT_TIMEOUT);
    EXPECT_TRUE(ReleaseMutex(first));
    EXPECT_FALSE(ReleaseMutex(first));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_OWNER));

    EXPECT_EQ(on_other_thread([&] {
                  const DWORD got = WaitForSingleObject(second, 0);
                  ReleaseMutex(second);
                  return got;
              }),
              WAIT_OBJECT_0);
    CloseHandle(first);
    CloseHandle(second);
}

TEST_F(Mutexes, InitialOwnerHoldsANewMutexOnly) {
    HANDLE owned = CreateMutexW(nullptr, TRUE, L"Local\\owned");
    EXPECT_EQ(on_other_thread([&] { return WaitForSingleObject(owned, 0); }), WAIT_TIMEOUT);

    // Opening through create on another thread does not take it.
    HANDLE other = on_other_thread([] { return CreateMutexW(nullptr, TRUE, L"Local\\owned"); });
    EXPECT_EQ(on_other_thread([&] { return WaitForSingleObject(other, 0); }), WAIT_TIMEOUT);

    EXPECT_TRUE(ReleaseMutex(owned));
    EXPECT_FALSE(ReleaseMutex(owned));
    EXPECT_EQ(on_other_thread([&] {
                  const DWORD got = WaitForSingleObject(other, 0);
                  ReleaseMutex(other);
                  return got;
              }),
              WAIT_OBJECT_0);
    CloseHandle(owned);
    CloseHandle(other);
}

TEST_F(Mutexes, AThreadThatEndsOwningOneAbandonsIt) {
    for (const wchar_t* name : {L"Local\\abandoned", static_cast<const wchar_t*>(nullptr)}) {
        HANDLE mutex = CreateMutexW(nullptr, FALSE, name);
        std::atomic<bool> locked{false};
        std::thread owner([&] {
            WaitForSingleObject(mutex, INFINITE);
            WaitForSingleObject(mutex, INFINITE);  // twice: recursion does not matter
            locked = true;
        });
        ASSERT_TRUE(eventually([&] { return locked.load(); }));
        // Blocks until the thread is gone and the system has marked it.
        EXPECT_EQ(WaitForSingleObject(mutex, patience_ms), WAIT_ABANDONED);
        owner.join();
        EXPECT_TRUE(ReleaseMutex(mutex));
        EXPECT_EQ(on_other_thread([&] {
                      const DWORD got = WaitForSingleObject(mutex, 0);
                      ReleaseMutex(mutex);
                      return got;
                  }),
                  WAIT_OBJECT_0);
        CloseHandle(mutex);
    }
}

TEST_F(Mutexes, ClosingTheLastHandleWhileOwnedIsSafe) {
    HANDLE mutex = CreateMutexW(nullptr, FALSE, L"Local\\closed while owned");
    ASSERT_EQ(WaitForSingleObject(mutex, 0), WAIT_OBJECT_0);
    HANDLE other = CreateMutexW(nullptr, FALSE, L"Local\\other");
    ASSERT_EQ(WaitForSingleObject(other, 0), WAIT_OBJECT_0);
    CloseHandle(mutex);
    // Still owned, and the thread's other mutexes unlock normally.
    EXPECT_TRUE(ReleaseMutex(other));
    HANDLE reopened =
        OpenMutexW(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, L"Local\\closed while owned");
    ASSERT_NE(reopened, nullptr);
    EXPECT_TRUE(ReleaseMutex(reopened));
    CloseHandle(reopened);
    CloseHandle(other);
}

TEST_F(Mutexes, ATimedWaitGivesUpAfterItsTime) {
    HANDLE mutex = CreateMutexW(nullptr, TRUE, nullptr);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(on_other_thread([&] { return WaitForSingleObject(mutex, 60); }), WAIT_TIMEOUT);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(60));
    ReleaseMutex(mutex);
    CloseHandle(mutex);
}

using Events = KernelTest;

TEST_F(Events, AutoResetReleasesOneWaiterPerSet) {
    for (const wchar_t* name :
         {L"Local\\Calvimora_Event_SyncThread", static_cast<const wchar_t*>(nullptr)}) {
        HANDLE event = CreateEventW(nullptr, FALSE, FALSE, name);
        std::atomic<int> released{0};
        std::vector<std::thread> waiters;
        for (int i = 0; i < 4; ++i)
            waiters.emplace_back([&] {
                if (WaitForSingleObject(event, INFINITE) == WAIT_OBJECT_0) ++released;
            });
        for (int set = 1; set <= 4; ++set) {
            ASSERT_TRUE(SetEvent(event));
            ASSERT_TRUE(eventually([&] { return released.load() >= set; }));
            // The one set was consumed by the one released waiter.
            EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
            EXPECT_EQ(released.load(), set);
        }
        for (std::thread& waiter : waiters) waiter.join();
        CloseHandle(event);
    }
}

TEST_F(Events, ManualResetStaysSetUntilReset) {
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, L"Local\\CMV_LOGIN_DLG_EVENT");
    EXPECT_EQ(WaitForSingleObject(event, 30), WAIT_TIMEOUT);
    ASSERT_TRUE(SetEvent(event));
    std::vector<std::thread> waiters;
    std::atomic<int> released{0};
    for (int i = 0; i < 3; ++i)
        waiters.emplace_back([&] {
            if (WaitForSingleObject(event, patience_ms) == WAIT_OBJECT_0) ++released;
        });
    for (std::thread& waiter : waiters) waiter.join();
    EXPECT_EQ(released.load(), 3);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    ASSERT_TRUE(ResetEvent(event));
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
    CloseHandle(event);

    HANDLE initially_set = CreateEventW(nullptr, FALSE, TRUE, nullptr);
    EXPECT_EQ(WaitForSingleObject(initially_set, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(initially_set, 0), WAIT_TIMEOUT);
    CloseHandle(initially_set);
}

using Waits = KernelTest;

TEST_F(Waits, OnSeveralObjectsTheLowestSignalledIndexWins) {
    HANDLE a = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    HANDLE b = CreateEventW(nullptr, FALSE, FALSE, L"Local\\b");
    HANDLE mutex = CreateMutexW(nullptr, FALSE, nullptr);
    const HANDLE handles[] = {a, b, mutex};
    SetEvent(a);
    SetEvent(b);
    // The mutex is taken only when it wins.
    EXPECT_EQ(WaitForMultipleObjects(3, handles, FALSE, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForMultipleObjects(3, handles, FALSE, 0), WAIT_OBJECT_0 + 1);
    EXPECT_EQ(on_other_thread([&] {
                  const DWORD got = WaitForSingleObject(mutex, 0);
                  ReleaseMutex(mutex);
                  return got;
              }),
              WAIT_OBJECT_0);
    EXPECT_EQ(WaitForMultipleObjects(3, handles, FALSE, 0), WAIT_OBJECT_0 + 2);
    EXPECT_EQ(on_other_thread([&] { return WaitForMultipleObjects(3, handles, FALSE, 30); }),
              WAIT_TIMEOUT);
    EXPECT_TRUE(ReleaseMutex(mutex));
    EXPECT_EQ(WaitForMultipleObjects(2, handles, FALSE, 30), WAIT_TIMEOUT);

    EXPECT_EQ(WaitForMultipleObjects(0, handles, FALSE, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(WaitForMultipleObjects(2, handles, TRUE, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    CloseHandle(a);
    CloseHandle(b);
    CloseHandle(mutex);
}

TEST_F(Waits, ASleepingWaiterWakesForAnyOfItsObjects) {
    HANDLE a = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    HANDLE b = CreateEventW(nullptr, FALSE, FALSE, L"Local\\named b");
    const HANDLE handles[] = {a, b};
    for (HANDLE which : {b, a}) {
        std::atomic<DWORD> result{WAIT_FAILED};
        std::thread waiter(
            [&] { result = WaitForMultipleObjects(2, handles, FALSE, patience_ms); });
        SetEvent(which);
        waiter.join();
        EXPECT_EQ(result.load(), which == a ? WAIT_OBJECT_0 : WAIT_OBJECT_0 + 1);
    }
    CloseHandle(a);
    CloseHandle(b);
}

TEST_F(Waits, AMutexWaitedForAmongOthersIsTakenWhenReleasedOrAbandoned) {
    HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    HANDLE mutex = CreateMutexW(nullptr, TRUE, L"Local\\among others");
    const HANDLE handles[] = {event, mutex};
    std::atomic<DWORD> result{WAIT_FAILED};
    std::thread waiter([&] {
        result = WaitForMultipleObjects(2, handles, FALSE, patience_ms);
        if (result == WAIT_OBJECT_0 + 1) ReleaseMutex(mutex);
    });
    ReleaseMutex(mutex);
    waiter.join();
    EXPECT_EQ(result.load(), WAIT_OBJECT_0 + 1);

    std::thread owner([&] { WaitForSingleObject(mutex, INFINITE); });
    owner.join();
    EXPECT_EQ(WaitForMultipleObjects(2, handles, FALSE, patience_ms), WAIT_ABANDONED_0 + 1);
    ReleaseMutex(mutex);
    CloseHandle(event);
    CloseHandle(mutex);
}

using Threads = KernelTest;

DWORD WINAPI return_parameter(LPVOID parameter) {
    return static_cast<DWORD>(reinterpret_cast<uintptr_t>(parameter));
}

TEST_F(Threads, HandlesStaySignalledWithTheExitCodeAfterTheEnd) {
    HANDLE gate = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    DWORD id = 0;
    HANDLE thread = CreateThread(
        nullptr, 0,
        [](LPVOID gate) -> DWORD {
            WaitForSingleObject(gate, INFINITE);
            return GetCurrentThreadId() != 0 ? 42 : 0;
        },
        gate, 0, &id);
    ASSERT_NE(thread, nullptr);
    EXPECT_NE(id, 0u);
    EXPECT_NE(id, GetCurrentThreadId());
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, STILL_ACTIVE);
    EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_TIMEOUT);

    SetEvent(gate);
    EXPECT_EQ(WaitForSingleObject(thread, patience_ms), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(thread, 0), WAIT_OBJECT_0);
    HANDLE event = CreateEventW(nullptr, TRUE, TRUE, nullptr);
    const HANDLE handles[] = {thread, event};
    EXPECT_EQ(WaitForMultipleObjects(2, handles, FALSE, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForMultipleObjects(2, handles, FALSE, 0), WAIT_OBJECT_0);
    EXPECT_TRUE(GetExitCodeThread(thread, &code));
    EXPECT_EQ(code, 42u);
    CloseHandle(thread);
    CloseHandle(event);
    CloseHandle(gate);

    unsigned crt_id = 0;
    const uintptr_t crt_thread = _beginthreadex(
        nullptr, 64 * 1024, [](void*) -> unsigned { return 7; }, nullptr, 0, &crt_id);
    ASSERT_NE(crt_thread, 0u);
    EXPECT_NE(crt_id, 0u);
    HANDLE crt_handle = reinterpret_cast<HANDLE>(crt_thread);
    EXPECT_EQ(WaitForSingleObject(crt_handle, patience_ms), WAIT_OBJECT_0);
    EXPECT_TRUE(GetExitCodeThread(crt_handle, &code));
    EXPECT_EQ(code, 7u);
    CloseHandle(crt_handle);

    HANDLE closed_early = CreateThread(nullptr, 0, return_parameter, nullptr, 0, nullptr);
    EXPECT_TRUE(CloseHandle(closed_early));
}

// The hand-over of a worker and a caller through two auto-reset events,
// waiting for the worker's handle or an event, many times in a row: a lost
// wake-up hangs it.
TEST_F(Threads, PingPongThroughEventsNeverLosesAWakeUp) {
    struct exchange {
        HANDLE ready = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        HANDLE done = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        int rounds = 2000;
        int value = 0;
    } shared;
    HANDLE worker = CreateThread(
        nullptr, 0,
        [](LPVOID parameter) -> DWORD {
            auto* shared = static_cast<exchange*>(parameter);
            for (int i = 0; i < shared->rounds; ++i) {
                ++shared->value;
                SetEvent(shared->ready);
                if (WaitForSingleObject(shared->done, patience_ms) != WAIT_OBJECT_0) return 1;
            }
            return 0;
        },
        &shared, 0, nullptr);
    const HANDLE handles[] = {worker, shared.ready};
    int seen = 0;
    while (WaitForMultipleObjects(2, handles, FALSE, patience_ms) == WAIT_OBJECT_0 + 1) {
        EXPECT_EQ(shared.value, ++seen);
        SetEvent(shared.done);
    }
    DWORD code = STILL_ACTIVE;
    GetExitCodeThread(worker, &code);
    EXPECT_EQ(code, 0u);
    EXPECT_EQ(seen, shared.rounds);
    CloseHandle(worker);
    CloseHandle(shared.ready);
    CloseHandle(shared.done);
}

TEST(CriticalSections, AreRecursiveAndExcludeOtherThreads) {
    CRITICAL_SECTION section;
    InitializeCriticalSection(&section);
    EnterCriticalSection(&section);
    EnterCriticalSection(&section);
    auto other_enters = [&] {
        return on_other_thread([&] {
            const BOOL entered = TryEnterCriticalSection(&section);
            if (entered) LeaveCriticalSection(&section);
            return entered;
        });
    };
    EXPECT_FALSE(other_enters());
    LeaveCriticalSection(&section);
    EXPECT_FALSE(other_enters());
    LeaveCriticalSection(&section);
    EXPECT_TRUE(other_enters());
    DeleteCriticalSection(&section);
}

}  // namespace

#include "utils/named_mutex.h"

#include <spawn.h>
#include <sys/wait.h>

#include <gtest/gtest.h>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include "utils/exceptions.h"
#include "win/kernel.h"
#include "win/machine.h"

extern char** environ;

namespace utils {
namespace {

const std::wstring name = L"Local\\tester_bindings_mutex";

// Whether another thread could take the mutex within the time given.
bool free_for_others(std::chrono::milliseconds within = std::chrono::milliseconds(5000)) {
    bool taken = false;
    std::thread other([&] {
        HANDLE handle = OpenMutexW(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, name.c_str());
        if (!handle) return;
        const DWORD result = WaitForSingleObject(handle, static_cast<DWORD>(within.count()));
        taken = result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
        if (taken) ReleaseMutex(handle);
        CloseHandle(handle);
    });
    other.join();
    return taken;
}

class NamedMutex : public testing::Test {
protected:
    win_machine::scoped_root root;
};

TEST_F(NamedMutex, ObjectsOfOneNameExcludeEachOther) {
    named_mutex first(name);
    named_mutex second(name);
    first.lock();
    EXPECT_FALSE(free_for_others(std::chrono::milliseconds(50)));

    std::atomic<bool> second_has_it{false};
    std::thread waiter([&] {
        second.lock();
        second_has_it = true;
        second.unlock();
    });
    first.unlock();
    waiter.join();
    EXPECT_TRUE(second_has_it);
    EXPECT_TRUE(free_for_others());
}

TEST_F(NamedMutex, IsRecursiveForItsOwnerAndOnlyTheOwnerUnlocks) {
    named_mutex mutex(name);
    mutex.lock();
    mutex.lock();

    std::thread stranger([&] {
        try {
            mutex.unlock();
            ADD_FAILURE() << "a thread that does not own the mutex released it";
        } catch (const system_error_exception& e) {
            const std::string what = e.what();
            EXPECT_NE(what.find("named_mutex::unlock"), std::string::npos) << what;
            EXPECT_NE(what.find("::ReleaseMutex(m_win_mutex) call returned error: " +
                                system_error_exception::format_message(ERROR_NOT_OWNER)),
                      std::string::npos)
                << what;
        }
    });
    stranger.join();

    mutex.unlock();
    EXPECT_FALSE(free_for_others(std::chrono::milliseconds(50)));
    mutex.unlock();
    EXPECT_TRUE(free_for_others());
}

TEST_F(NamedMutex, ATimedLockGivesUpWhileAnotherHoldsItAndTakesItOnceFree) {
    named_mutex mine(name);
    std::atomic<bool> held{false};
    std::atomic<bool> release{false};
    std::thread holder([&] {
        named_mutex theirs(name);
        theirs.lock();
        held = true;
        while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        theirs.unlock();
    });
    while (!held) std::this_thread::sleep_for(std::chrono::milliseconds(1));

    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(mine.try_lock_for(std::chrono::milliseconds(30)));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(25));

    release = true;
    holder.join();
    ASSERT_TRUE(mine.try_lock_for(std::chrono::milliseconds(5000)));
    EXPECT_FALSE(free_for_others(std::chrono::milliseconds(30)));
    mine.unlock();
    EXPECT_TRUE(free_for_others());
}

TEST_F(NamedMutex, ScopedLockReleasesOnEveryPath) {
    named_mutex mutex(name);
    try {
        named_mutex_lock hold(mutex);
        EXPECT_FALSE(free_for_others(std::chrono::milliseconds(50)));
        throw std::runtime_error("failure while holding the mutex");
    } catch (const std::runtime_error&) {
    }
    EXPECT_TRUE(free_for_others());
}

TEST_F(NamedMutex, AMutexLeftByADeadProcessIsAcquired) {
    named_mutex mutex(name);
    const std::string program = (std::filesystem::read_symlink("/proc/self/exe").parent_path() /
                                 "utils_abandon_mutex_helper")
                                    .string();
    const std::string narrow_name(name.begin(), name.end());
    char* argv[] = {const_cast<char*>(program.c_str()), const_cast<char*>(narrow_name.c_str()),
                    nullptr};
    pid_t child = 0;
    ASSERT_EQ(posix_spawn(&child, program.c_str(), nullptr, nullptr, argv, environ), 0);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));

    EXPECT_NO_THROW(mutex.lock());
    mutex.unlock();
}

TEST_F(NamedMutex, ReportsANameItCannotCreate) {
    HANDLE event = CreateEventW(nullptr, FALSE, FALSE, L"Local\\not_a_mutex");
    ASSERT_NE(event, nullptr);
    try {
        named_mutex mutex(L"Local\\not_a_mutex");
        FAIL();
    } catch (const system_error_exception& e) {
        EXPECT_NE(
            std::string(e.what()).find("::CreateMutexW(NULL, FALSE, name) call returned error"),
            std::string::npos);
    }
    CloseHandle(event);
}

}  // namespace
}  // namespace utils

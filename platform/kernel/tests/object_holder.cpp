// A second process for the kernel-object tests. It runs the steps named on
// its command line in order and exits with 0, or with 100 + the number of
// the first step that failed. Steps:
//   create-mutex NAME | open-mutex NAME       the current mutex
//   create-event NAME | open-event NAME       the current event (auto-reset)
//   create-mapping NAME SIZE | open-mapping NAME   the current mapping
//   lock | release                            the current mutex
//   wait                                      for the current event
//   write TEXT                                TEXT and a 0 at the start of the mapping
//   increment N                               N times, under the current mutex,
//                                             add 1 to the counter at the start of the mapping
//   signal NAME                               set the event of that name
//   hang                                      sleep until killed
//   exit CODE                                 end with CODE at once

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "kernel/wide_text.h"
#include "win/kernel.h"

namespace {

std::wstring widen(const char* text) {
    return win_detail::from_utf8(text);
}

class holder {
public:
    // Runs one step starting at argv[at]; advances at past it.
    bool run(char** argv, int argc, int& at) {
        const std::string step = argv[at++];
        auto argument = [&]() -> const char* { return at < argc ? argv[at++] : ""; };
        if (step == "create-mutex")
            return (mutex_ = CreateMutexW(nullptr, FALSE, widen(argument()).c_str()));
        if (step == "open-mutex")
            return (mutex_ = OpenMutexW(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE,
                                        widen(argument()).c_str()));
        if (step == "create-event")
            return (event_ = CreateEventW(nullptr, FALSE, FALSE, widen(argument()).c_str()));
        if (step == "open-event")
            return (event_ = OpenEventW(EVENT_ALL_ACCESS, FALSE, widen(argument()).c_str()));
        if (step == "create-mapping") {
            const std::wstring name = widen(argument());
            const DWORD size = static_cast<DWORD>(std::strtoul(argument(), nullptr, 0));
            mapping_ = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, size,
                                          name.c_str());
            return mapping_ && map();
        }
        if (step == "open-mapping")
            return (mapping_ =
                        OpenFileMappingW(FILE_MAP_ALL_ACCESS, FALSE, widen(argument()).c_str())) &&
                   map();
        if (step == "lock") return lock();
        if (step == "release") return ReleaseMutex(mutex_);
        if (step == "wait") return WaitForSingleObject(event_, INFINITE) == WAIT_OBJECT_0;
        if (step == "write") {
            const char* text = argument();
            if (!view_) return false;
            std::memcpy(view_, text, std::strlen(text) + 1);
            return true;
        }
        if (step == "increment") return increment(std::strtoul(argument(), nullptr, 0));
        if (step == "signal") {
            HANDLE event = OpenEventW(EVENT_MODIFY_STATE, FALSE, widen(argument()).c_str());
            const bool set = event && SetEvent(event);
            if (event) CloseHandle(event);
            return set;
        }
        if (step == "hang") Sleep(INFINITE);
        if (step == "exit") std::exit(std::atoi(argument()));
        return false;
    }

private:
    bool map() {
        return (view_ = MapViewOfFile(mapping_, FILE_MAP_ALL_ACCESS, 0, 0, 0)) != nullptr;
    }

    bool lock() {
        const DWORD result = WaitForSingleObject(mutex_, INFINITE);
        return result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
    }

    // A read, a pause and a write: without exclusion, increments get lost.
    bool increment(unsigned long times) {
        auto* counter = static_cast<volatile uint32_t*>(view_);
        if (!counter) return false;
        for (unsigned long i = 0; i < times; ++i) {
            if (!lock()) return false;
            const uint32_t seen = *counter;
            std::this_thread::yield();
            *counter = seen + 1;
            if (!ReleaseMutex(mutex_)) return false;
        }
        return true;
    }

    HANDLE mutex_ = nullptr;
    HANDLE event_ = nullptr;
    HANDLE mapping_ = nullptr;
    void* view_ = nullptr;
};

}  // namespace

int main(int argc, char** argv) {
    holder steps;
    int at = 1;
    for (int number = 1; at < argc; ++number) {
        if (!steps.run(argv, argc, at)) return 100 + number;
    }
    return 0;
}

#include "sync_tray_bench.h"

#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <boost/filesystem/operations.hpp>
#include <fstream>
#include <iterator>
#include <map>
#include <stdexcept>
#include <thread>

#include "syncer/tables/locked_operations.h"
#include "vfs/saved_login.h"
#include "win/kernel.h"
#include "win/process.h"
#include "win/registry.h"
#include "win/user.h"
#include "win/win_test.h"

namespace sync_bench {

namespace {

using calvimora::testing::json_object;

// Every process the tray program's round starts carries this variable, so
// the round finds them all (the session handler the tray starts included).
const char* const tag_variable = "CALVIMORA_BENCH_TRAY_ROUND";
const wchar_t* const tray_class = L"Calvimora tray menu";
constexpr auto end_deadline = std::chrono::seconds(30);
constexpr int sync_deadline_seconds = 900;

bool set_dword(HKEY root, const wchar_t* key_name, const wchar_t* name, DWORD value) {
    HKEY key = nullptr;
    if (RegCreateKeyW(root, key_name, &key) != ERROR_SUCCESS) return false;
    const LONG status = RegSetValueExW(key, name, 0, REG_DWORD,
                                       reinterpret_cast<const BYTE*>(&value), sizeof value);
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

// What the shell extension's login dialog leaves on a machine: the
// computer's identifier and the saved login with automatic log-in asked for.
void prepare_machine() {
    HKEY key = nullptr;
    if (RegCreateKeyW(HKEY_LOCAL_MACHINE, L"Software\\Calvimora", &key) != ERROR_SUCCESS)
        throw std::runtime_error("the registry cannot be written");
    const std::wstring id = L"{6A1E3C5B-7D92-4F08-B1A4-3E5C7D9F1B26}";
    RegSetValueExW(key, L"PCID", 0, REG_SZ, reinterpret_cast<const BYTE*>(id.c_str()),
                   static_cast<DWORD>((id.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    if (!vfs_calvimora::store_saved_login({user, fs::path(password).wstring()}) ||
        !set_dword(HKEY_CURRENT_USER, L"SOFTWARE\\Calvimora", L"AutoLogin", 1))
        throw std::runtime_error("the saved login cannot be stored");
}

// The processes other than this one whose environment carries the tag.
std::vector<pid_t> tagged_processes(const std::string& tag) {
    const std::string wanted = std::string(tag_variable) + "=" + tag;
    std::vector<pid_t> found;
    for (const auto& entry : fs::directory_iterator("/proc")) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        const pid_t pid = std::stoi(name);
        if (pid == getpid()) continue;
        std::ifstream in(entry.path() / "environ", std::ios::binary);
        const std::string environment((std::istreambuf_iterator<char>(in)),
                                      std::istreambuf_iterator<char>());
        std::size_t start = 0;
        for (std::size_t end; (end = environment.find('\0', start)) != std::string::npos;
             start = end + 1) {
            if (environment.compare(start, end - start, wanted) == 0) {
                found.push_back(pid);
                break;
            }
        }
    }
    return found;
}

double cpu_of(const std::vector<pid_t>& processes) {
    double cpu = 0;
    for (const pid_t pid : processes) cpu += process_cpu_seconds(pid);
    return cpu;
}

HANDLE start_tray(const std::string& tag) {
    setenv(tag_variable, tag.c_str(), 1);
    // Nothing asks on the benchmark's terminal: every binding allows all.
    setenv("CALVIMORA_ANSWERS", "default", 1);
    const std::wstring program =
        (fs::read_symlink("/proc/self/exe").parent_path() / "Calvimora_Tray").wstring();
    std::wstring command_line = L"Calvimora_Tray";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    const BOOL made = CreateProcessW(program.c_str(), command_line.data(), nullptr, nullptr, FALSE,
                                     0, nullptr, nullptr, &startup, &started);
    unsetenv(tag_variable);
    unsetenv("CALVIMORA_ANSWERS");
    if (!made) throw std::runtime_error("cannot start Calvimora_Tray");
    CloseHandle(started.hThread);
    return started.hProcess;
}

// Waits in the service, which wakes at every committed upload, until the
// folder holds count files of the size.
std::size_t wait_for_files(calvimora::testing::service& service, const std::string& folder,
                           std::size_t count, std::int64_t size) {
    const auto deadline = clock_type::now() + std::chrono::seconds(sync_deadline_seconds);
    std::size_t held = 0;
    while (held < count && clock_type::now() < deadline) {
        const auto answer = service.control("wait_files", json_object()
                                                              .set("user", narrow(user))
                                                              .set("path", "/" + folder)
                                                              .set("count", std::to_string(count))
                                                              .set("size", std::to_string(size))
                                                              .set("seconds", 30));
        held = answer.get<std::size_t>("count");
    }
    return held;
}

// Ends the tray program as "/Uninstall" does and the session as log-off
// does, and waits until no process of the round is left.
void end_round(HANDLE tray, const std::string& tag) {
    if (const HWND window = FindWindowW(tray_class, tray_class))
        PostMessageW(window, WM_DESTROY, 0, 0);
    if (WaitForSingleObject(tray, static_cast<DWORD>(end_deadline.count() * 1000)) != WAIT_OBJECT_0)
        TerminateProcess(tray, 99);
    WaitForSingleObject(tray, INFINITE);
    CloseHandle(tray);
    if (const HANDLE logoff =
            OpenEventW(EVENT_MODIFY_STATE, FALSE, L"Local\\Calvimora_Event_LogOff")) {
        SetEvent(logoff);
        CloseHandle(logoff);
    }
    const auto deadline = clock_type::now() + end_deadline;
    while (!tagged_processes(tag).empty()) {
        if (clock_type::now() > deadline) {
            for (const pid_t pid : tagged_processes(tag)) kill(pid, SIGKILL);
            throw std::runtime_error("the tray program's processes did not end");
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

}  // namespace

tray_run run_tray_round(bench_world& world, const std::string& folder, std::size_t count,
                        std::int64_t size) {
    prepare_machine();
    const fs::path local = make_local_files(world, folder, count, size);
    world.service.add_folder(world.user_id, "0", folder);
    const syncer::binding pair = bind_folder(fs::path(folder).wstring(), local);
    const std::string tag = folder + "-" + std::to_string(getpid());

    tray_run result;
    const auto start = clock_type::now();
    const HANDLE tray = start_tray(tag);
    std::size_t held = 0;
    try {
        held = wait_for_files(world.service, folder, count, size);
        result.wall = std::chrono::duration<double>(clock_type::now() - start).count();
        result.cpu = cpu_of(tagged_processes(tag));
    } catch (...) {
        end_round(tray, tag);
        throw;
    }
    end_round(tray, tag);
    syncer::locked_remove_binding(user, pair);
    if (held != count)
        throw std::runtime_error("the tray program uploaded " + std::to_string(held) + " of " +
                                 std::to_string(count) + " files");
    return result;
}

}  // namespace sync_bench

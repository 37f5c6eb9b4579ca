#include "vfs_session_support.h"

#include <dlfcn.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <fstream>
#include <stdexcept>
#include <thread>
#include <vector>

#include "vfs/calvimora_exception.h"
#include "vfs/session.h"
#include "win/kernel.h"
#include "win/process.h"
#include "win/registry.h"

namespace vfs_session_testing {

bool wait_until(const std::function<bool()>& condition, std::chrono::milliseconds deadline) {
    const auto end = std::chrono::steady_clock::now() + deadline;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

std::filesystem::path program_folder() {
    return std::filesystem::read_symlink("/proc/self/exe").parent_path();
}

HMODULE test_module() {
    return GetModuleHandleW(nullptr);
}

bool tray_mutex_exists() {
    const HANDLE mutex = OpenMutexW(SYNCHRONIZE, FALSE, L"Local\\CMV_MUTEX_TRAY_ICON");
    if (mutex == nullptr) {
        return false;
    }
    CloseHandle(mutex);
    return true;
}

bool logoff_event_exists() {
    const HANDLE event = OpenEventW(SYNCHRONIZE, FALSE, L"Local\\Calvimora_Event_LogOff");
    if (event == nullptr) {
        return false;
    }
    CloseHandle(event);
    return true;
}

void login_once_session_is_up(HMODULE module, const std::wstring& user,
                              const std::wstring& password) {
    try {
        vfs_calvimora::login(module, user, password);
    } catch (const vfs::exception& failure) {
        // On a loaded machine with a scaled clock the session handler can
        // come up after the client stopped waiting for it: once it is up,
        // the log-in is tried again.
        if (failure.get_text().find(L"Error waiting for session start") == std::wstring::npos ||
            !wait_until(logoff_event_exists))
            throw;
        vfs_calvimora::login(module, user, password);
    }
}

std::string pattern(std::size_t size, int seed) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 131 + seed) & 0xFF);
    return bytes;
}

void store_pc_id(const std::wstring& id) {
    HKEY key = nullptr;
    if (RegCreateKeyW(HKEY_LOCAL_MACHINE, L"Software\\Calvimora", &key) != ERROR_SUCCESS) {
        throw std::runtime_error("cannot create the key of the PC identifier");
    }
    const LONG result =
        RegSetValueExW(key, L"PCID", 0, REG_SZ, reinterpret_cast<const BYTE*>(id.c_str()),
                       static_cast<DWORD>((id.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    if (result != ERROR_SUCCESS) {
        throw std::runtime_error("cannot store the PC identifier");
    }
}

environment::environment() {
    service_.export_url();
}

namespace {

// The session handlers running on this machine root: started by this
// process or by a program it started, found by the root in their
// environment.
std::vector<pid_t> session_handlers_of_this_machine() {
    const char* root = getenv(win_machine::root_variable);
    const std::string wanted = std::string(win_machine::root_variable) + "=" + (root ? root : "");
    std::vector<pid_t> found;
    std::error_code failure;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", failure)) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        std::ifstream command(entry.path() / "comm");
        std::string program;
        std::getline(command, program);
        if (program != "Calvimora_Sessi" && program != "Calvimora_Session") continue;
        std::ifstream environ_file(entry.path() / "environ", std::ios::binary);
        std::string variable;
        while (std::getline(environ_file, variable, '\0')) {
            if (variable == wanted) {
                found.push_back(static_cast<pid_t>(std::stol(name)));
                break;
            }
        }
    }
    return found;
}

// Whether the process is there and not a zombie.
bool running(pid_t process) {
    std::ifstream status("/proc/" + std::to_string(process) + "/stat");
    std::string line;
    if (!std::getline(status, line)) return false;
    const std::size_t after_name = line.rfind(')');
    return after_name != std::string::npos && after_name + 2 < line.size() &&
           line[after_name + 2] != 'Z';
}

bool tell_session_to_end() {
    const HANDLE event = OpenEventW(EVENT_MODIFY_STATE, FALSE, L"Local\\Calvimora_Event_LogOff");
    if (event == nullptr) return false;
    SetEvent(event);
    CloseHandle(event);
    return true;
}

}  // namespace

session_ender::~session_ender() {
    if (tell_session_to_end()) wait_until([] { return !logoff_event_exists(); });
    // A handler whose start the client gave up waiting for comes up late:
    // it is told to end once it is up, and ended if it never comes up.
    // A handler that is still ending (slowly under the sanitizers) is waited
    // for, not taken for one that has yet to come up.
    for (const pid_t handler : session_handlers_of_this_machine()) {
        wait_until([handler] { return !running(handler) || logoff_event_exists(); });
        if (running(handler) && tell_session_to_end())
            wait_until([] { return !logoff_event_exists(); });
        if (!wait_until([handler] { return !running(handler); }, std::chrono::seconds(5)))
            kill(handler, SIGKILL);
    }
}

tray_stand_in::tray_stand_in()
    : mutex_(CreateMutexW(nullptr, FALSE, L"Local\\CMV_MUTEX_TRAY_ICON")) {
    if (mutex_ == nullptr) {
        throw std::runtime_error("cannot create the tray mutex");
    }
}

tray_stand_in::~tray_stand_in() {
    CloseHandle(mutex_);
}

sibling_folder::sibling_folder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "vfs-siblings-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot create the sibling folder");
    }
    folder_ = pattern;
    const auto copy = folder_ / "probe_module.so";
    std::filesystem::copy_file(program_folder() / "vfs_session_probe_module.so", copy);
    library_ = dlopen(copy.c_str(), RTLD_NOW | RTLD_LOCAL);
    void* marker = library_ != nullptr ? dlsym(library_, "vfs_session_probe_marker") : nullptr;
    if (marker == nullptr || !GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                                     GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                                 static_cast<LPCWSTR>(marker), &module_)) {
        throw std::runtime_error("cannot load the probe module");
    }
}

sibling_folder::~sibling_folder() {
    if (library_ != nullptr) {
        dlclose(library_);
    }
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
}

void sibling_folder::add_copy(const std::string& built_program, const std::string& sibling_name) {
    std::filesystem::copy_file(program_folder() / built_program, folder_ / sibling_name);
}

void sibling_folder::add_silent(const std::string& sibling_name) {
    const auto path = folder_ / sibling_name;
    std::ofstream(path) << "#!/bin/sh\nexit 0\n";
    std::filesystem::permissions(path, std::filesystem::perms::owner_all);
}

helper_result run_helper(const std::string& arguments) {
    const std::string command =
        (program_folder() / "vfs_session_helper").string() + " " + arguments;
    helper_result result;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return result;
    }
    char buffer[256];
    while (fgets(buffer, sizeof buffer, pipe) != nullptr) {
        result.output += buffer;
    }
    const int status = pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

}  // namespace vfs_session_testing

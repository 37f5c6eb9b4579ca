// A console stand-in for the tray program, until it exists: logs in to the
// service, binds a sample local folder to a remote folder and runs a sync
// manager on it. Questions of the engine are asked on the terminal; the
// tasks are printed as they progress. Ctrl+C ends it (and logs off).
//
//   sync_demo [--user NAME] [--password TEXT] [--remote FOLDER] [--local DIR]
//
// The service's address comes from CALVIMORA_SERVICE_URL and the
// certificate its servers are verified against from
// CALVIMORA_SERVICE_CA_FILE; `./run demo` starts the local stand-in service
// and sets both.
#include <signal.h>
#include <utf8.h>

#include <boost/filesystem/operations.hpp>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <mutex>
#include <string>
#include <thread>

#include "syncer/answer.h"
#include "syncer/exceptions.h"
#include "syncer/locked_operations.h"
#include "syncer/manager.h"
#include "syncer/messages.h"
#include "syncer/user_interface.h"
#include "utils/locale.h"
#include "vfs/calvimora_exception.h"
#include "vfs/session.h"
#include "win/kernel.h"
#include "win/process.h"
#include "win/registry.h"

namespace {

namespace fs = boost::filesystem;

std::string narrow(const std::wstring& text) {
    std::string bytes;
    utf8::utf32to8(text.begin(), text.end(), std::back_inserter(bytes));
    return bytes;
}

std::wstring widen(const std::string& text) {
    std::wstring wide;
    utf8::utf8to32(text.begin(), text.end(), std::back_inserter(wide));
    return wide;
}

// The engine's texts use Windows line ends.
std::string for_terminal(const std::wstring& text) {
    std::string result = narrow(text);
    std::string clean;
    for (const char c : result)
        if (c != '\r') clean += c;
    return clean;
}

const char* kind_name(int kind) {
    static const char* const names[] = {"upload",
                                        "download",
                                        "remove local file",
                                        "remove local folder",
                                        "remove remote file",
                                        "remove remote folder"};
    return kind >= 0 && kind < 6 ? names[kind] : "?";
}

const char* state_name(int state) {
    static const char* const names[] = {"queued",   "running", "done",
                                        "stopping", "stopped", "failed"};
    return state >= 0 && state < 6 ? names[state] : "?";
}

// The engine's callback on a terminal.
class console_ui : public syncer::user_interface {
public:
    int ask_question(int kind, const syncer::binding&, const std::wstring& dir_remote,
                     const std::wstring& dir_local, const std::wstring& filename,
                     bool offer_dont_ask_again, bool offer_apply_to_all) override {
        std::lock_guard<std::mutex> guard(output_);
        std::cout << "\n--- Calvimora synchronizer ---\n"
                  << for_terminal(syncer::message_text(kind, dir_remote, dir_local, filename))
                  << "\n";
        std::string hint = "[y]es or [n]o";
        if (offer_dont_ask_again)
            hint += ", add d for \"Don't ask me again for this syncing task\"";
        if (offer_apply_to_all) hint += ", add a for \"Apply to all\"";
        for (;;) {
            std::cout << hint << ": " << std::flush;
            std::string line;
            if (!std::getline(std::cin, line)) return syncer::answer_code::no;
            if (line.empty() || (line[0] != 'y' && line[0] != 'n')) continue;
            const bool dont_ask = offer_dont_ask_again && line.find('d') != std::string::npos;
            const bool all = offer_apply_to_all && line.find('a') != std::string::npos;
            return syncer::make_answer(line[0] == 'y', dont_ask, all);
        }
    }

    int report_error(int kind, const std::wstring& message, const syncer::binding&,
                     const std::wstring& dir_remote, const std::wstring& dir_local,
                     const std::wstring& filename, bool) override {
        std::lock_guard<std::mutex> guard(output_);
        std::cout << for_terminal(
                         syncer::failure_text(kind, message, dir_remote, dir_local, filename))
                  << "\n";
        return 0;
    }

    int show_message(int kind) override {
        std::lock_guard<std::mutex> guard(output_);
        std::cout << for_terminal(syncer::information_text(kind)) << "\n";
        return syncer::message_shown;
    }

    int show_result(int kind, const syncer::binding&, const std::wstring& folder,
                    const std::wstring&, const std::wstring& filename) override {
        std::lock_guard<std::mutex> guard(output_);
        std::cout << for_terminal(syncer::result_text(kind, folder, filename)) << "\n";
        return syncer::message_shown;
    }

    // The demo reads the task list twice a second anyway.
    void tasks_changed() override {}

    // Prints the tasks whose state or progress moved since the last look.
    void print_tasks(const syncer::manager& engine) {
        std::list<syncer::task> tasks;
        try {
            tasks = engine.get_tasks();
        } catch (const syncer::busy_exception&) {
            return;  // a question is open; the list is read again later
        }
        std::lock_guard<std::mutex> guard(output_);
        std::map<std::string, std::string> still_listed;
        for (const syncer::task& job : tasks) {
            const syncer::task::status status = job.get_state();
            const std::string key = narrow(job.get_dir_local() + L"/" + job.get_filename()) + "|" +
                                    std::to_string(job.get_kind());
            const std::string line = std::string(kind_name(job.get_kind())) + " " +
                                     narrow(job.get_filename()) + ": " + state_name(status.state) +
                                     " " + std::to_string(status.progress) + "%";
            still_listed[key] = line;
            const auto previous = shown_.find(key);
            if (previous != shown_.end() && previous->second == line) continue;
            std::cout << "  " << line;
            if (job.is_failed())
                std::cout << " ("
                          << for_terminal(syncer::failure_text(
                                 job.get_error_kind(), job.get_message(), job.get_dir_remote(),
                                 job.get_dir_local(), job.get_filename()))
                          << ")";
            std::cout << "\n";
        }
        // Done tasks leave the list.
        for (const auto& [key, line] : shown_) {
            if (!still_listed.contains(key))
                std::cout << "  " << line.substr(0, line.rfind(':')) << ": done\n";
        }
        shown_ = std::move(still_listed);
    }

private:
    std::mutex output_;
    std::map<std::string, std::string> shown_;
};

struct options {
    std::wstring user = L"demo";
    std::wstring password = L"demo";
    std::wstring remote = L"Documents";
    std::string local = "demo-local";
};

options read_options(int argc, char** argv) {
    options result;
    for (int index = 1; index + 1 < argc; index += 2) {
        const std::string name = argv[index];
        const std::string value = argv[index + 1];
        if (name == "--user")
            result.user = widen(value);
        else if (name == "--password")
            result.password = widen(value);
        else if (name == "--remote")
            result.remote = widen(value);
        else if (name == "--local")
            result.local = value;
        else
            throw std::runtime_error("unknown option " + name);
    }
    return result;
}

// The shell extension makes the computer's identifier before the first
// login; the demo stands in for it.
void make_pc_id() {
    HKEY key = nullptr;
    if (RegCreateKeyW(HKEY_LOCAL_MACHINE, L"Software\\Calvimora", &key) != ERROR_SUCCESS)
        throw std::runtime_error("cannot open the registry key of the computer's identifier");
    const std::wstring id = L"5d0c8a8e-3f1b-4c55-9a63-2f8e1c7b9d40";
    DWORD size = 0;
    if (RegQueryValueExW(key, L"PCID", nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS)
        RegSetValueExW(key, L"PCID", 0, REG_SZ, reinterpret_cast<const BYTE*>(id.c_str()),
                       static_cast<DWORD>((id.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
}

void write_sample(const fs::path& path, const std::string& text) {
    if (fs::exists(path)) return;
    fs::create_directories(path.parent_path());
    std::ofstream(path.native()) << text;
}

int run(const options& chosen) {
    utils::imbue_utf8_locale();
    sigset_t stop_signals;
    sigemptyset(&stop_signals);
    sigaddset(&stop_signals, SIGINT);
    sigaddset(&stop_signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);

    make_pc_id();
    // Held as the running tray program holds it.
    const HANDLE tray = CreateMutexW(nullptr, FALSE, L"Local\\CMV_MUTEX_TRAY_ICON");
    const HMODULE module = GetModuleHandleW(nullptr);
    if (!vfs_calvimora::is_logged_in(module))
        vfs_calvimora::login(module, chosen.user, chosen.password);
    const vfs::user_info user = vfs_calvimora::get_user_info(module);
    std::cout << "Logged in as " << narrow(user.user_name) << "\n";

    const fs::path local = fs::absolute(chosen.local);
    write_sample(local / "hello.txt", "Hello from the local folder.\n");
    write_sample(local / "notes" / "todo.txt", "1. Watch the sync.\n");
    syncer::binding pair(chosen.remote, local.wstring(), L"", L"");
    pair._type = syncer::binding::type_user_choice;
    pair.can_recourse_subdirs = syncer::sync_permission::not_set;
    pair.rule = syncer::sync_rule();
    if (!syncer::locked_has_binding(user.user_name, pair))
        syncer::locked_add_binding(user.user_name, pair);
    std::cout << "Syncing " << local.string() << " with the remote folder " << narrow(chosen.remote)
              << "; Ctrl+C ends the demo.\n";

    console_ui ui;
    {
        syncer::manager engine(user.user_name, &ui);
        timespec tick{0, 500 * 1000 * 1000};
        for (;;) {
            ui.print_tasks(engine);
            if (sigtimedwait(&stop_signals, nullptr, &tick) > 0) break;
        }
        std::cout << "\nStopping...\n";
    }
    try {
        vfs_calvimora::logoff(module);
    } catch (const vfs::exception&) {
        // Ctrl+C reached the session handler too: the session is over anyway.
    }
    CloseHandle(tray);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        return run(read_options(argc, argv));
    } catch (const vfs::exception& failure) {
        std::cerr << narrow(failure.get_title()) << ": " << narrow(failure.get_text()) << "\n";
    } catch (const std::exception& failure) {
        std::cerr << failure.what() << "\n";
    }
    return 1;
}

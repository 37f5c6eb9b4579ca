// Prepares the demo's machine for the tray program, standing in for what
// the shell extension's login dialog and sync pages would have done: the
// computer's identifier, the saved login of the demo user with automatic
// log-in asked for, and a folder pair of a local folder and the remote
// folder "Documents" whose every decision the engine asks on the terminal.
// With --samples it also puts two sample files into the local folder.
// With --file-types, and for the shell host alone, it registers what a fresh
// system knows of the demo's kinds of files: music (.mp3) and video (.mp4),
// by their perceived types, opened by a demo player, and plain text (.txt),
// so that the virtual folder plays music and video from the service and its
// command bar offers them.
//
//   demo_setup --local DIR [--samples] [--file-types]
//   demo_setup --file-types
//
// Everything is left as it is when it is there already, so a world kept
// between runs stays as the person left it. A local folder that became a
// file is reported and left alone: the pair waits until it is a folder
// again.
#include <boost/filesystem/operations.hpp>
#include <cstdio>
#include <fstream>
#include <string>
#include <tuple>

#include "syncer/core/binding.h"
#include "syncer/tables/locked_operations.h"
#include "utils/locale.h"
#include "vfs/saved_login.h"
#include "win/registry.h"

namespace {

namespace fs = boost::filesystem;

const wchar_t* const demo_user = L"demo";
const wchar_t* const demo_password = L"demo";
const wchar_t* const demo_remote_folder = L"Documents";

bool set_dword(HKEY root, const wchar_t* key_name, const wchar_t* name, DWORD value) {
    HKEY key = nullptr;
    if (RegCreateKeyW(root, key_name, &key) != ERROR_SUCCESS) return false;
    const LONG status = RegSetValueExW(key, name, 0, REG_DWORD,
                                       reinterpret_cast<const BYTE*>(&value), sizeof value);
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

// The shell extension makes the computer's identifier before the first
// login; it stays the same for the life of the machine.
bool ensure_pc_id() {
    HKEY key = nullptr;
    if (RegCreateKeyW(HKEY_LOCAL_MACHINE, L"Software\\Calvimora", &key) != ERROR_SUCCESS)
        return false;
    DWORD size = 0;
    bool ok = RegQueryValueExW(key, L"PCID", nullptr, nullptr, nullptr, &size) == ERROR_SUCCESS;
    if (!ok) {
        const std::wstring id = L"{5D0C8A8E-3F1B-4C55-9A63-2F8E1C7B9D40}";
        ok = RegSetValueExW(key, L"PCID", 0, REG_SZ, reinterpret_cast<const BYTE*>(id.c_str()),
                            static_cast<DWORD>((id.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
    }
    RegCloseKey(key);
    return ok;
}

bool set_class_text(const std::wstring& key_name, const wchar_t* name, const std::wstring& text) {
    HKEY key = nullptr;
    if (RegCreateKeyW(HKEY_CLASSES_ROOT, key_name.c_str(), &key) != ERROR_SUCCESS) return false;
    const LONG status =
        RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                       static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

// The demo's kinds of files, as the system's file types would have them.
// The player program exists only by name: the shell host prints what it
// would start and starts nothing.
bool register_file_types() {
    const std::wstring player = L"C:\\Program Files\\Demo Player\\demoplayer.exe";
    const std::wstring command = L"\"" + player + L"\" \"%1\"";
    const std::wstring notes = L"C:\\Windows\\notepad.exe %1";
    bool ok =
        set_class_text(L"Applications\\demoplayer.exe", L"FriendlyAppName", L"Demo Player") &&
        set_class_text(L"Applications\\demoplayer.exe\\shell\\open\\command", nullptr, command);
    for (const wchar_t* kind : {L"audio", L"video"})
        ok = ok && set_class_text(std::wstring(L"SystemFileAssociations\\") + kind +
                                      L"\\OpenWithList\\demoplayer.exe",
                                  nullptr, L"");
    for (const auto& [extension, type, perceived] :
         {std::tuple{L".mp3", L"Demo.Music", L"audio"},
          std::tuple{L".mp4", L"Demo.Video", L"video"},
          std::tuple{L".m3u", L"Demo.Playlist", L"audio"}}) {
        ok = ok && set_class_text(extension, nullptr, type) &&
             set_class_text(extension, L"PerceivedType", perceived) &&
             set_class_text(std::wstring(type) + L"\\shell\\open\\command", nullptr, command);
    }
    return ok && set_class_text(L".txt", nullptr, L"txtfile") &&
           set_class_text(L".txt", L"PerceivedType", L"text") &&
           set_class_text(L"txtfile\\shell\\open\\command", nullptr, notes);
}

// Writes a sample file unless something is in its way; never throws.
void write_sample(const fs::path& path, const std::string& text) {
    boost::system::error_code failure;
    fs::create_directories(path.parent_path(), failure);
    if (failure || fs::exists(path, failure)) {
        std::printf("demo: left out the sample %s\n", path.string().c_str());
        return;
    }
    std::ofstream(path.string()) << text;
}

struct options {
    fs::path local;
    bool samples = false;
    bool file_types = false;
};

bool read_options(int argc, char** argv, options& chosen) {
    for (int index = 1; index < argc; ++index) {
        const std::string name = argv[index];
        if (name == "--samples") {
            chosen.samples = true;
        } else if (name == "--file-types") {
            chosen.file_types = true;
        } else if (name == "--local" && index + 1 < argc) {
            chosen.local = argv[++index];
        } else {
            return false;
        }
    }
    return !chosen.local.empty() || (chosen.file_types && !chosen.samples);
}

}  // namespace

int main(int argc, char** argv) {
    utils::imbue_utf8_locale();
    options chosen;
    if (!read_options(argc, argv, chosen)) {
        std::fprintf(stderr,
                     "usage: demo_setup --local DIR [--samples] [--file-types] | demo_setup "
                     "--file-types\n");
        return 2;
    }
    if (chosen.file_types && !register_file_types()) {
        std::fprintf(stderr, "demo: the file types cannot be registered\n");
        return 1;
    }
    if (chosen.local.empty()) return 0;
    const fs::path local = fs::absolute(chosen.local);
    if (!ensure_pc_id() || !vfs_calvimora::store_saved_login({demo_user, demo_password}) ||
        !set_dword(HKEY_CURRENT_USER, L"SOFTWARE\\Calvimora", L"AutoLogin", 1)) {
        std::fprintf(stderr, "demo: the registry cannot be written\n");
        return 1;
    }

    boost::system::error_code failure;
    if (fs::exists(local, failure) && !fs::is_directory(local, failure)) {
        std::printf(
            "demo: %s is a file now, not a folder; its pair syncs once it is a folder "
            "again\n",
            local.string().c_str());
    } else if (chosen.samples) {
        write_sample(local / "hello.txt", "Hello from the local folder.\n");
        write_sample(local / "notes" / "todo.txt", "1. Watch the sync.\n");
    } else {
        fs::create_directories(local, failure);
    }

    syncer::binding pair(demo_remote_folder, local.wstring(), L"", L"");
    pair._type = syncer::binding::type_user_choice;
    pair.can_recourse_subdirs = syncer::sync_permission::not_set;
    pair.rule = syncer::sync_rule();
    try {
        if (!syncer::locked_has_binding(demo_user, pair))
            syncer::locked_add_binding(demo_user, pair);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "demo: the folder pair cannot be stored: %s\n", error.what());
        return 1;
    }
    std::printf("demo: %s is synced with the remote folder \"Documents\" of the user \"demo\"\n",
                local.string().c_str());
    return 0;
}

// Plays a second process of the log-on session for the sync engine's tests:
//   syncer_table_helper add <user> <prefix> <count>
//       adds <count> folder bindings, each through its own locked operation;
//   syncer_table_helper add-item <user> <items file> <name>
//       adds a record (both times 1) for the file <name> to the item table.
// When SYNCER_HELPER_KILL_AT names a step of a settings save, the process
// kills itself (SIGKILL) as soon as that step is done.
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>

#include "serializer/file_serializer.h"
#include "syncer/tables/items_manager.h"
#include "syncer/tables/locked_operations.h"
#include "utils/locale.h"

namespace {

const char* kill_step = nullptr;

void kill_at_step(const char* step) {
    if (std::strcmp(step, kill_step) == 0) std::raise(SIGKILL);
}

std::wstring widen(const char* text) {
    return boost::filesystem::path(text).wstring();
}

void add_bindings(const std::wstring& user, const std::wstring& prefix, int count) {
    for (int index = 0; index < count; ++index) {
        const std::wstring name = prefix + std::to_wstring(index);
        syncer::binding added(L"remote/" + name, L"C:\\local\\" + name, L"", L"");
        syncer::locked_add_binding(user, added);
    }
}

void add_item(const std::wstring& user, const std::wstring& items_filename,
              const std::wstring& name) {
    syncer::items_manager table(syncer::binding(L"remote", L"C:\\local", L"", items_filename),
                                user);
    syncer::sync_item record(L"remote", L"C:\\local", name);
    record.last_time_remote = 1;
    record.last_time_local = 1;
    table.insert(record);
    table.save();
}

}  // namespace

int main(int argc, char** argv) {
    utils::imbue_utf8_locale();
    kill_step = std::getenv("SYNCER_HELPER_KILL_AT");
    if (kill_step) serializer::file_serializer::set_step_hook(kill_at_step);
    try {
        const std::string command = argc > 1 ? argv[1] : "";
        if (command == "add" && argc == 5) {
            add_bindings(widen(argv[2]), widen(argv[3]), std::atoi(argv[4]));
        } else if (command == "add-item" && argc == 5) {
            add_item(widen(argv[2]), widen(argv[3]), widen(argv[4]));
        } else {
            std::cerr << "usage: syncer_table_helper add <user> <prefix> <count>\n"
                         "       syncer_table_helper add-item <user> <items file> <name>\n";
            return 2;
        }
    } catch (const std::exception& failure) {
        std::cerr << failure.what() << '\n';
        return 1;
    }
    return 0;
}

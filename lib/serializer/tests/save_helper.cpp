// Saves a settings tree as a separate process: save_helper <path> <value>
// <keep_backup 0|1>. The tree is a "sync_items" node with one "item" child
// holding the value. When SAVE_HELPER_KILL_AT names a step of the save, the
// process kills itself (SIGKILL) as soon as that step is done.
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <iostream>

#include "serializer/file_serializer.h"
#include "utils/locale.h"

namespace {

const char* kill_step = nullptr;

void kill_at_step(const char* step) {
    if (std::strcmp(step, kill_step) == 0) std::raise(SIGKILL);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::cerr << "usage: save_helper <path> <value> <keep_backup 0|1>\n";
        return 2;
    }
    utils::imbue_utf8_locale();
    kill_step = std::getenv("SAVE_HELPER_KILL_AT");
    if (kill_step) serializer::file_serializer::set_step_hook(kill_at_step);

    serializer::node tree(L"sync_items", L"");
    tree.add(L"item", std::wstring(argv[2], argv[2] + std::strlen(argv[2])));
    try {
        serializer::file_serializer::save_cached(argv[1], tree, std::strcmp(argv[3], "1") == 0);
    } catch (const std::exception& e) {
        std::cerr << e.what() << '\n';
        return 1;
    }
    return 0;
}

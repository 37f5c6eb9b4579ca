// The test API of COM: the counts a test reads to see that code undid what
// it did (initialisations, task memory, loaded servers).
#include "com/com_internal.h"
#include "win/test_journal.h"

namespace win_test {

int com_initialize_count() {
    return win_com::thread_initialize_count();
}

long live_task_allocations() {
    return win_com::live_task_blocks();
}

std::vector<std::string> loaded_com_servers() {
    return win_com::loaded_server_paths();
}

}  // namespace win_test

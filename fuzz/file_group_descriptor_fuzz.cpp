// Virtual-file descriptor groups as another program's data object hands
// them over: any bytes as the "FileGroupDescriptorW" block. A group is read
// only when the block holds every descriptor it counts, and a descriptor's
// name only when it ends within its 260 units; a name written back reads
// the same.
#include <cstddef>
#include <cstdint>

#include "fuzz_support.h"
#include "win/shell_dragdrop.h"

using calvimora_fuzz::require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto group = win_shell::read_file_group_descriptor(data, size);
    if (!group) return 0;
    require(4 + group->size() * sizeof(FILEDESCRIPTORW) <= size, "a group read past its block");
    for (const FILEDESCRIPTORW& descriptor : *group) {
        const auto name = win_shell::file_descriptor_name(descriptor);
        if (!name) continue;
        require(name->size() < FILE_DESCRIPTOR_NAME_UNITS, "a name longer than its field");
        FILEDESCRIPTORW copy{};
        require(win_shell::set_file_descriptor_name(copy, *name), "a name read does not fit");
        const auto again = win_shell::file_descriptor_name(copy);
        require(again && *again == *name, "a name written back reads differently");
    }
    return 0;
}

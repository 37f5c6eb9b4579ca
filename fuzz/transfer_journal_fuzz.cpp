// The journal of a binding's transfers as its file holds it, which a crash
// may cut short and any program of the user can write: any bytes, read as
// the sync engine reads them. Every entry read, written again, reads back as
// that one entry alone; the entries written one after another read back the
// same; and each entry's line ends after the one before, within the bytes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_support.h"
#include "syncer/tables/transfer_journal.h"
#include "syncer/tasks/task_local_files.h"

using calvimora_fuzz::require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::vector<syncer::journal_line> lines = syncer::parse_journal(bytes);
    std::string written;
    std::uint64_t previous_end = 0;
    for (const syncer::journal_line& line : lines) {
        require(line.end > previous_end && line.end <= size, "a line ends out of order");
        previous_end = line.end;
        std::string alone;
        try {
            alone = syncer::encode_entry(line.entry);
        } catch (const syncer::local_error&) {
            require(false, "an entry read cannot be written again");
        }
        const auto again = syncer::parse_journal(alone);
        require(again.size() == 1 && again.front().entry == line.entry,
                "an entry written again reads back as another");
        written += alone;
    }
    const auto all = syncer::parse_journal(written);
    require(all.size() == lines.size(), "entries written together read back as others");
    for (std::size_t index = 0; index < all.size(); ++index)
        require(all[index].entry == lines[index].entry,
                "entries written together read back as others");
    return 0;
}

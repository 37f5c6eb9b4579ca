// The part files of copies out into a local folder: each file is written
// beside its target as ".download-PID-N.part" and takes the target's place
// only when whole. Its writer holds a lock on it for as long as it writes,
// so a part file nobody holds is one a broken-off copy left (a host that
// was interrupted or killed), and the next copy into that folder removes it.
#pragma once

#include <filesystem>
#include <string>

namespace shell_host {

// The name of this process's part file of that number.
std::string part_file_name(unsigned number);

// Removes the part files in the folder that no copy writes any more: nobody
// holds their lock, and their writer has ended (or, its number taken by
// another process, left the file untouched for a minute, which no writer
// does). Anything else of the folder, and every file in use, stays.
void remove_abandoned_part_files(const std::filesystem::path& folder);

}  // namespace shell_host

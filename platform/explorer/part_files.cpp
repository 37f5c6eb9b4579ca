#include "part_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <optional>

namespace shell_host {

namespace {

const std::string prefix = ".download-";
const std::string suffix = ".part";
constexpr std::time_t untouched_seconds = 60;

bool all_digits(const std::string& text) {
    return !text.empty() && text.size() <= 9 &&
           text.find_first_not_of("0123456789") == std::string::npos;
}

// The process number in a part file's name; none for any other name.
std::optional<pid_t> writer_of(const std::string& name) {
    if (name.size() <= prefix.size() + suffix.size() ||
        name.compare(0, prefix.size(), prefix) != 0 ||
        name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
        return std::nullopt;
    const std::string middle =
        name.substr(prefix.size(), name.size() - prefix.size() - suffix.size());
    const size_t dash = middle.find('-');
    if (dash == std::string::npos || !all_digits(middle.substr(0, dash)) ||
        !all_digits(middle.substr(dash + 1)))
        return std::nullopt;
    return static_cast<pid_t>(std::atoi(middle.substr(0, dash).c_str()));
}

// Whether the file's writer is gone: its process has ended, or a process
// under its number holds no lock on a file untouched for a minute (a writer
// locks its file as soon as it made it).
bool writer_gone(pid_t writer, const struct stat& file) {
    if (writer > 0 && ::kill(writer, 0) != 0 && errno == ESRCH) return true;
    return std::time(nullptr) - file.st_mtime > untouched_seconds;
}

}  // namespace

std::string part_file_name(unsigned number) {
    return prefix + std::to_string(getpid()) + "-" + std::to_string(number) + suffix;
}

void remove_abandoned_part_files(const std::filesystem::path& folder) {
    const std::unique_ptr<DIR, int (*)(DIR*)> listing(::opendir(folder.c_str()), ::closedir);
    if (!listing) return;
    const int at = ::dirfd(listing.get());
    while (const dirent* entry = ::readdir(listing.get())) {
        const std::string name = entry->d_name;
        const std::optional<pid_t> writer = writer_of(name);
        if (!writer) continue;
        const int file = ::openat(at, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (file < 0) continue;
        struct stat opened {};
        struct stat named {};
        // Locked here, the file is nobody's: it is removed only if the name
        // still leads to it.
        if (::fstat(file, &opened) == 0 && S_ISREG(opened.st_mode) &&
            ::flock(file, LOCK_EX | LOCK_NB) == 0 && writer_gone(*writer, opened) &&
            ::fstatat(at, name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
            named.st_dev == opened.st_dev && named.st_ino == opened.st_ino)
            ::unlinkat(at, name.c_str(), 0);
        ::close(file);
    }
}

}  // namespace shell_host

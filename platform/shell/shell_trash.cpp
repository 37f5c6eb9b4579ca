// Deleting one item: into the freedesktop trash ("files/<name>" with its
// "info/<name>.trashinfo" record), or for good.
#include "shell/shell_trash.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <memory>

#include "win/machine.h"
#include "win/shell_file_operation.h"

namespace win_shell {

namespace {

// The name of a record: the entry's name and this suffix.
const char* const record_suffix = ".trashinfo";
// Room kept in a name for the suffix and a number that makes it unique.
constexpr std::size_t longest_entry_name = NAME_MAX - 10 - 12;

std::string parent_of(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string leaf_of(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool is_folder(const std::string& path) {
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

// The result code of a failed call on the path, from its errno.
int result_of(int error, const std::string& path) {
    switch (error) {
        case ENOENT:
            return is_folder(parent_of(path)) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
        case ENOTDIR:
        case ENAMETOOLONG:
        case ELOOP:
            return ERROR_PATH_NOT_FOUND;
        case ENOSPC:
        case EDQUOT:
            return ERROR_DISK_FULL;
        case EINVAL:
            return DE_DESTSUBTREE;
        default:
            return DE_ACCESSDENIEDSRC;
    }
}

// Drops trailing separators; "/" stays "/".
std::string without_trailing_separators(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

// The path with its folders resolved, the last element kept as it is (a
// link is trashed itself, never what it points to).
std::string resolved(const std::string& path) {
    char* parent = ::realpath(parent_of(path).c_str(), nullptr);
    if (!parent) return path;
    std::string result(parent);
    std::free(parent);
    return (result == "/" ? "" : result) + "/" + leaf_of(path);
}

bool holds_or_is(const std::string& folder, const std::string& path) {
    return path == folder || path.starts_with(folder + "/");
}

// The original path as a record keeps it: every byte but the unreserved
// ones and "/" percent-encoded.
std::string escaped_path(const std::string& path) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (const unsigned char c : path) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || c == '/' || c == '-' || c == '_' || c == '.' ||
                           c == '~' || c == '!' || c == '*' || c == '\'' || c == '(' || c == ')';
        if (plain) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += digits[c >> 4];
            out += digits[c & 0xF];
        }
    }
    return out;
}

std::string deletion_date() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[32] = {};
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
    return text;
}

// The leaf name cut to leave room for the suffix and a number, at a
// character boundary of its UTF-8.
std::string entry_base(const std::string& leaf) {
    if (leaf.size() <= longest_entry_name) return leaf;
    std::size_t end = longest_entry_name;
    while (end > 0 && (static_cast<unsigned char>(leaf[end]) & 0xC0) == 0x80) --end;
    return leaf.substr(0, end);
}

bool write_all(int descriptor, const char* data, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const ssize_t put = ::write(descriptor, data + done, size - done);
        if (put < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<std::size_t>(put);
    }
    return true;
}

void sync_folder(const std::string& folder) {
    const int descriptor = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor < 0) return;
    ::fsync(descriptor);
    ::close(descriptor);
}

// Sets the times of the copy to the original's, a link's own included.
bool copy_times(const struct stat& original, const std::string& copy) {
    const timespec times[2] = {original.st_atim, original.st_mtim};
    return ::utimensat(AT_FDCWD, copy.c_str(), times, AT_SYMLINK_NOFOLLOW) == 0;
}

bool copy_file_contents(const std::string& from, const std::string& to, mode_t mode) {
    const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return false;
    const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode & 07777);
    if (out < 0) {
        ::close(in);
        return false;
    }
    char buffer[1 << 16];
    bool complete = true;
    for (;;) {
        const ssize_t got = ::read(in, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) {
            complete = got == 0;
            break;
        }
        if (!write_all(out, buffer, static_cast<std::size_t>(got))) {
            complete = false;
            break;
        }
    }
    complete = ::fsync(out) == 0 && complete;
    complete = ::close(out) == 0 && complete;
    ::close(in);
    return complete;
}

// Copies the item whole; errno tells why when it cannot.
bool copy_tree(const std::string& from, const std::string& to) {
    struct stat status {};
    if (::lstat(from.c_str(), &status) != 0) return false;
    if (S_ISLNK(status.st_mode)) {
        std::string target(static_cast<std::size_t>(status.st_size) + 1, '\0');
        const ssize_t length = ::readlink(from.c_str(), target.data(), target.size());
        if (length < 0) return false;
        target.resize(static_cast<std::size_t>(length));
        return ::symlink(target.c_str(), to.c_str()) == 0 && copy_times(status, to);
    }
    if (S_ISREG(status.st_mode))
        return copy_file_contents(from, to, status.st_mode) && copy_times(status, to);
    if (!S_ISDIR(status.st_mode)) {
        errno = EPERM;
        return false;
    }
    if (::mkdir(to.c_str(), 0700) != 0) return false;
    std::unique_ptr<DIR, int (*)(DIR*)> listing(::opendir(from.c_str()), ::closedir);
    if (!listing) return false;
    for (errno = 0; const dirent* entry = ::readdir(listing.get()); errno = 0) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        if (!copy_tree(from + "/" + name, to + "/" + name)) return false;
    }
    if (errno != 0) return false;
    return ::chmod(to.c_str(), status.st_mode & 07777) == 0 && copy_times(status, to);
}

// Moves the item to the entry; false with errno when it cannot.
bool move_item(const std::string& from, const std::string& entry) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, entry.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL) return false;
    // The file system knows no rename without replacing: the entry's name
    // was free a moment ago, when its record was made.
    struct stat taken {};
    if (::lstat(entry.c_str(), &taken) == 0) {
        errno = EEXIST;
        return false;
    }
    return ::rename(from.c_str(), entry.c_str()) == 0;
}

}  // namespace

int move_to_trash(const std::string& native) {
    const std::string path = without_trailing_separators(native);
    if (path == "/") return DE_ROOTDIR;
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0) return result_of(errno, path);
    const std::string trash = win_machine::trash_dir();
    const std::string files = trash + "/files";
    const std::string info = trash + "/info";
    ::mkdir(files.c_str(), 0700);
    ::mkdir(info.c_str(), 0700);
    char* real_trash = ::realpath(trash.c_str(), nullptr);
    const std::string trash_path = real_trash ? real_trash : trash;
    std::free(real_trash);
    const std::string original = resolved(path);
    if (holds_or_is(original, trash_path)) return DE_DESTSUBTREE;

    const std::string record_text =
        "[Trash Info]\nPath=" + escaped_path(original) + "\nDeletionDate=" + deletion_date() + "\n";
    const std::string base = entry_base(leaf_of(original));
    for (int number = 1; number < INT_MAX; ++number) {
        const std::string name = number == 1 ? base : base + "." + std::to_string(number);
        const std::string record = info + "/" + name + record_suffix;
        const std::string entry = files + "/" + name;
        // The record first, made exclusively: it reserves the name.
        const int descriptor =
            ::open(record.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (descriptor < 0) {
            if (errno == EEXIST) continue;
            return result_of(errno, record);
        }
        const bool written = write_all(descriptor, record_text.data(), record_text.size()) &&
                             ::fsync(descriptor) == 0;
        const bool closed = ::close(descriptor) == 0;
        if (!written || !closed) {
            const int error = errno;
            ::unlink(record.c_str());
            return result_of(error, record);
        }
        struct stat taken {};
        if (::lstat(entry.c_str(), &taken) == 0) {
            // An entry left without its record: its name stays taken.
            ::unlink(record.c_str());
            continue;
        }
        if (move_item(path, entry)) {
            sync_folder(files);
            sync_folder(parent_of(path));
            return 0;
        }
        const int error = errno;
        if (error == EXDEV && copy_tree(path, entry)) {
            // The copy is whole and has its record, whatever becomes of the
            // original's deletion.
            sync_folder(files);
            return delete_for_good(path);
        }
        const int copy_error = errno;
        std::error_code ignored;
        if (error == EXDEV) std::filesystem::remove_all(entry, ignored);
        ::unlink(record.c_str());
        if (error == EEXIST) continue;
        return result_of(error == EXDEV ? copy_error : error, path);
    }
    return DE_ACCESSDENIEDSRC;
}

int delete_for_good(const std::string& native) {
    const std::string path = without_trailing_separators(native);
    if (path == "/") return DE_ROOTDIR;
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0) return result_of(errno, path);
    std::error_code failure;
    std::filesystem::remove_all(path, failure);
    if (failure) return result_of(failure.value(), path);
    return 0;
}

}  // namespace win_shell

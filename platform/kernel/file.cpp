// Files over POSIX descriptors, with the read-only and hidden attributes kept
// explicitly so they hold whoever runs the program.
#include "win/file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "file_sharing.h"
#include "handle_table.h"
#include "wide_text.h"

namespace {

// Hidden files carry this extended attribute.
const char* const hidden_attribute = "user.calvimora.hidden";

constexpr mode_t all_write_bits = S_IWUSR | S_IWGRP | S_IWOTH;

class file_object : public win_detail::kernel_object {
public:
    // Made with the claims' lock held.
    file_object(int fd, bool readable, bool writable, const win_file::file_identity& identity,
                const win_file::share_claim& claim)
        : fd_(fd), readable_(readable), writable_(writable), claim_(identity, claim) {}
    ~file_object() override { ::close(fd_); }
    file_object(const file_object&) = delete;
    file_object& operator=(const file_object&) = delete;

    int fd() const { return fd_; }
    bool readable() const { return readable_; }
    bool writable() const { return writable_; }

private:
    int fd_;
    bool readable_;
    bool writable_;
    win_file::held_claim claim_;
};

win_file::file_identity identity_of(const struct stat& st) {
    return {st.st_dev, st.st_ino};
}

bool folder_exists(const std::string& native) {
    const std::filesystem::path parent = std::filesystem::path(native).parent_path();
    if (parent.empty()) return true;
    struct stat st {};
    return ::stat(parent.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The system's code for a failed call on the path.
DWORD error_for(int error, const std::string& native) {
    switch (error) {
        case ENOENT:
            return folder_exists(native) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
        case ENOTDIR:
            return ERROR_PATH_NOT_FOUND;
        case EACCES:
        case EPERM:
        case EROFS:
        case EISDIR:
        case ETXTBSY:
            return ERROR_ACCESS_DENIED;
        case EEXIST:
            return ERROR_FILE_EXISTS;
        case ENOSPC:
        case EDQUOT:
            return ERROR_DISK_FULL;
        case ENAMETOOLONG:
            return ERROR_FILENAME_EXCED_RANGE;
        case EMFILE:
        case ENFILE:
            return ERROR_TOO_MANY_OPEN_FILES;
        case ENOMEM:
            return ERROR_NOT_ENOUGH_MEMORY;
        case ENOTSUP:
            return ERROR_NOT_SUPPORTED;
        case EINVAL:
            return ERROR_INVALID_NAME;
        default:
            return ERROR_GEN_FAILURE;
    }
}

DWORD io_error(int error, DWORD fault) {
    if (error == ENOSPC || error == EDQUOT) return ERROR_DISK_FULL;
    if (error == EIO) return fault;
    return ERROR_GEN_FAILURE;
}

bool is_read_only(const struct stat& st) {
    return (st.st_mode & S_IWUSR) == 0;
}

// Sets or clears the hidden mark; 0 or the system's code.
DWORD set_hidden(const std::string& native, bool hidden) {
    if (hidden) {
        if (::setxattr(native.c_str(), hidden_attribute, "1", 1, 0) == 0) return 0;
        return errno == ENOTSUP ? static_cast<DWORD>(ERROR_NOT_SUPPORTED)
                                : error_for(errno, native);
    }
    if (::removexattr(native.c_str(), hidden_attribute) == 0 || errno == ENODATA ||
        errno == ENOTSUP)
        return 0;
    return error_for(errno, native);
}

DWORD set_read_only(const std::string& native, const struct stat& st, bool read_only) {
    if (S_ISDIR(st.st_mode) || read_only == is_read_only(st)) return 0;
    const mode_t mode = read_only ? (st.st_mode & ~all_write_bits) : (st.st_mode | S_IWUSR);
    return ::chmod(native.c_str(), mode & 07777) == 0 ? 0 : error_for(errno, native);
}

HANDLE fail(DWORD error) {
    SetLastError(error);
    return INVALID_HANDLE_VALUE;
}

}  // namespace

namespace win_file {

std::string native_path(const std::wstring& path) {
    std::string native = win_detail::to_utf8(path);
    for (char& c : native)
        if (c == '\\') c = '/';
    return native;
}

bool is_hidden(const std::string& native) {
    return ::getxattr(native.c_str(), hidden_attribute, nullptr, 0) >= 0;
}

}  // namespace win_file

HANDLE CreateFileW(LPCWSTR path, DWORD access, DWORD share_mode, LPSECURITY_ATTRIBUTES,
                   DWORD disposition, DWORD flags_and_attributes, HANDLE) {
    if (!path) return fail(ERROR_INVALID_PARAMETER);
    if (!*path) return fail(ERROR_PATH_NOT_FOUND);
    if (disposition < CREATE_NEW || disposition > TRUNCATE_EXISTING)
        return fail(ERROR_INVALID_PARAMETER);
    const bool read = access & (GENERIC_READ | GENERIC_ALL | FILE_READ_DATA);
    const bool write = access & (GENERIC_WRITE | GENERIC_ALL | FILE_WRITE_DATA | FILE_APPEND_DATA);
    const bool append_only =
        (access & FILE_APPEND_DATA) && !(access & (GENERIC_WRITE | GENERIC_ALL | FILE_WRITE_DATA));
    const bool truncates = disposition == CREATE_ALWAYS || disposition == TRUNCATE_EXISTING;
    if (disposition == TRUNCATE_EXISTING && !write) return fail(ERROR_INVALID_PARAMETER);
    const bool want_hidden = flags_and_attributes & FILE_ATTRIBUTE_HIDDEN;
    const bool want_read_only = flags_and_attributes & FILE_ATTRIBUTE_READONLY;

    const std::string native = win_file::native_path(path);
    // Checked and opened under the lock, so that no other open of this
    // process comes between.
    auto claims = win_file::lock_claims();
    struct stat st {};
    const bool existed = ::stat(native.c_str(), &st) == 0;
    if (!existed && errno != ENOENT) return fail(error_for(errno, native));
    if (existed) {
        if (S_ISDIR(st.st_mode)) return fail(ERROR_ACCESS_DENIED);
        if (disposition == CREATE_NEW) return fail(ERROR_FILE_EXISTS);
        // Permission bits do not stop every user, so the attributes are
        // checked here.
        if (is_read_only(st) && (write || truncates)) return fail(ERROR_ACCESS_DENIED);
        if (disposition == CREATE_ALWAYS && win_file::is_hidden(native) && !want_hidden)
            return fail(ERROR_ACCESS_DENIED);
    } else if (disposition == OPEN_EXISTING || disposition == TRUNCATE_EXISTING) {
        return fail(error_for(ENOENT, native));
    }
    // Truncating counts as writing, whatever access was asked for.
    const win_file::share_claim claim{read, write || (existed && truncates),
                                      (access & (DELETE | GENERIC_ALL)) != 0, share_mode};
    if (existed && !win_file::claim_allowed(identity_of(st), claim))
        return fail(ERROR_SHARING_VIOLATION);

    int flags = O_CLOEXEC;
    if (write || truncates)
        flags |= read || !write ? O_RDWR : O_WRONLY;
    else
        flags |= O_RDONLY;
    if (append_only) flags |= O_APPEND;
    if (disposition == CREATE_NEW) flags |= O_CREAT | O_EXCL;
    if (disposition == CREATE_ALWAYS || disposition == OPEN_ALWAYS) flags |= O_CREAT;
    if (truncates) flags |= O_TRUNC;

    const int fd = ::open(native.c_str(), flags, 0666);
    if (fd < 0) return fail(error_for(errno, native));
    struct stat opened {};
    if (::fstat(fd, &opened) != 0 || S_ISDIR(opened.st_mode)) {
        ::close(fd);
        return fail(ERROR_ACCESS_DENIED);
    }

    // A created or replaced file takes the attributes it was created with.
    if (!existed || disposition == CREATE_ALWAYS) {
        DWORD error = set_hidden(native, want_hidden);
        if (!error) error = set_read_only(native, opened, want_read_only);
        if (error) {
            ::close(fd);
            if (!existed) ::unlink(native.c_str());
            return fail(error);
        }
    }

    auto object = std::make_shared<file_object>(fd, read, write, identity_of(opened), claim);
    claims.unlock();  // the object's end takes the lock
    HANDLE handle = win_detail::register_handle(std::move(object));
    const bool found = existed && (disposition == CREATE_ALWAYS || disposition == OPEN_ALWAYS);
    SetLastError(found ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return handle;
}

BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD count, LPDWORD read, LPOVERLAPPED overlapped) {
    if (read) *read = 0;
    if (overlapped || (!buffer && count != 0)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    auto object = win_detail::lookup_handle_as<file_object>(file);
    if (!object) return FALSE;
    if (!object->readable()) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    DWORD done = 0;
    while (done < count) {
        const ssize_t n = ::read(object->fd(), static_cast<char*>(buffer) + done, count - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            SetLastError(io_error(errno, ERROR_READ_FAULT));
            if (read) *read = done;
            return FALSE;
        }
        if (n == 0) break;
        done += static_cast<DWORD>(n);
    }
    if (read) *read = done;
    return TRUE;
}

BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD count, LPDWORD written, LPOVERLAPPED overlapped) {
    if (written) *written = 0;
    if (overlapped || (!buffer && count != 0)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    auto object = win_detail::lookup_handle_as<file_object>(file);
    if (!object) return FALSE;
    if (!object->writable()) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    DWORD done = 0;
    while (done < count) {
        const ssize_t n =
            ::write(object->fd(), static_cast<const char*>(buffer) + done, count - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            SetLastError(n == 0 ? ERROR_DISK_FULL : io_error(errno, ERROR_WRITE_FAULT));
            if (written) *written = done;
            return FALSE;
        }
        done += static_cast<DWORD>(n);
    }
    if (written) *written = done;
    return TRUE;
}

BOOL SetFileAttributesW(LPCWSTR path, DWORD attributes) {
    if (!path) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const std::string native = win_file::native_path(path);
    struct stat st {};
    if (::stat(native.c_str(), &st) != 0) {
        SetLastError(error_for(errno, native));
        return FALSE;
    }
    DWORD error = set_hidden(native, attributes & FILE_ATTRIBUTE_HIDDEN);
    if (!error) error = set_read_only(native, st, attributes & FILE_ATTRIBUTE_READONLY);
    if (error) {
        SetLastError(error);
        return FALSE;
    }
    return TRUE;
}

BOOL CreateDirectoryW(LPCWSTR path, LPSECURITY_ATTRIBUTES) {
    if (!path || !*path) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    const std::string native = win_file::native_path(path);
    if (::mkdir(native.c_str(), 0777) == 0) return TRUE;
    SetLastError(errno == EEXIST ? ERROR_ALREADY_EXISTS : error_for(errno, native));
    return FALSE;
}

DWORD GetFileAttributesW(LPCWSTR path) {
    if (!path) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_FILE_ATTRIBUTES;
    }
    const std::string native = win_file::native_path(path);
    struct stat st {};
    if (::stat(native.c_str(), &st) != 0) {
        SetLastError(error_for(errno, native));
        return INVALID_FILE_ATTRIBUTES;
    }
    DWORD attributes = 0;
    if (S_ISDIR(st.st_mode)) attributes |= FILE_ATTRIBUTE_DIRECTORY;
    if (is_read_only(st)) attributes |= FILE_ATTRIBUTE_READONLY;
    if (win_file::is_hidden(native)) attributes |= FILE_ATTRIBUTE_HIDDEN;
    return attributes ? attributes : FILE_ATTRIBUTE_NORMAL;
}

namespace {

// 100-nanosecond intervals since 1601 of a POSIX time.
FILETIME file_time_of(const timespec& time) {
    constexpr std::int64_t seconds_1601_to_1970 = 11644473600;
    const std::int64_t ticks = (time.tv_sec + seconds_1601_to_1970) * 10000000 + time.tv_nsec / 100;
    return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

}  // namespace

BOOL GetFileTime(HANDLE file, LPFILETIME creation, LPFILETIME access, LPFILETIME write) {
    auto object = win_detail::lookup_handle_as<file_object>(file);
    if (!object) return FALSE;
    struct stat st {};
    if (::fstat(object->fd(), &st) != 0) {
        SetLastError(io_error(errno, ERROR_READ_FAULT));
        return FALSE;
    }
    if (creation) *creation = file_time_of(st.st_ctim);
    if (access) *access = file_time_of(st.st_atim);
    if (write) *write = file_time_of(st.st_mtim);
    return TRUE;
}

BOOL FlushFileBuffers(HANDLE file) {
    auto object = win_detail::lookup_handle_as<file_object>(file);
    if (!object) return FALSE;
    if (::fsync(object->fd()) != 0) {
        SetLastError(io_error(errno, ERROR_WRITE_FAULT));
        return FALSE;
    }
    return TRUE;
}

BOOL DeleteFileW(LPCWSTR path) {
    if (!path || !*path) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return FALSE;
    }
    const std::string native = win_file::native_path(path);
    const auto claims = win_file::lock_claims();
    struct stat st {};
    const bool exists = ::stat(native.c_str(), &st) == 0;
    if (exists && S_ISDIR(st.st_mode)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    // Every handle of the file must share deleting.
    if (exists && !win_file::claim_allowed(identity_of(st), win_file::removal_claim())) {
        SetLastError(ERROR_SHARING_VIOLATION);
        return FALSE;
    }
    if (::unlink(native.c_str()) == 0) return TRUE;
    SetLastError(error_for(errno, native));
    return FALSE;
}

BOOL MoveFileExW(LPCWSTR existing, LPCWSTR target, DWORD flags) {
    if (!existing || !target) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const std::string from = win_file::native_path(existing);
    const std::string to = win_file::native_path(target);
    const auto claims = win_file::lock_claims();
    struct stat st {};
    if (::stat(from.c_str(), &st) != 0) {
        SetLastError(error_for(errno, from));
        return FALSE;
    }
    // The file moved, and a file it replaces, must be shared for deleting
    // by every handle of theirs.
    if (!win_file::claim_allowed(identity_of(st), win_file::removal_claim())) {
        SetLastError(ERROR_SHARING_VIOLATION);
        return FALSE;
    }
    struct stat replaced {};
    if (::stat(to.c_str(), &replaced) == 0) {
        if (!(flags & MOVEFILE_REPLACE_EXISTING)) {
            SetLastError(ERROR_ALREADY_EXISTS);
            return FALSE;
        }
        if (!win_file::claim_allowed(identity_of(replaced), win_file::removal_claim())) {
            SetLastError(ERROR_ACCESS_DENIED);
            return FALSE;
        }
    }
    if (::rename(from.c_str(), to.c_str()) == 0) return TRUE;
    SetLastError(errno == EISDIR ? ERROR_ACCESS_DENIED : error_for(errno, to));
    return FALSE;
}

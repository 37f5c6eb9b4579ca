#include "registry_store.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

namespace win_detail {

namespace {

// Hives larger than this are not ours.
constexpr off_t max_hive_size = 256 * 1024 * 1024;

bool same_time(const struct timespec& a, const struct timespec& b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

// The same file, unchanged since it was loaded. Holding the loaded file open
// keeps its inode number from being reused; the sizes and times catch a file
// that someone rewrote in place.
bool same_file(const struct stat& loaded, const struct stat& now) {
    return loaded.st_dev == now.st_dev && loaded.st_ino == now.st_ino &&
           loaded.st_size == now.st_size && same_time(loaded.st_mtim, now.st_mtim) &&
           same_time(loaded.st_ctim, now.st_ctim);
}

bool read_all(int fd, std::string& out) {
    struct stat st {};
    if (fstat(fd, &st) != 0 || st.st_size > max_hive_size) return false;
    out.clear();
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) return true;
        out.append(buffer, static_cast<size_t>(n));
        if (out.size() > static_cast<size_t>(max_hive_size)) return false;
    }
}

LONG write_error() {
    return errno == ENOSPC || errno == EDQUOT ? ERROR_DISK_FULL : ERROR_CANTWRITE;
}

bool write_all(int fd, const std::string& data) {
    size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

void sync_folder(const std::string& file_path) {
    const std::string folder = std::filesystem::path(file_path).parent_path().string();
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

// The writers' lock, released when the object goes (and by the kernel when
// the process dies).
class writer_lock {
public:
    writer_lock(const std::string& hive_path, mode_t mode) {
        fd_ = ::open((hive_path + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, mode);
        if (fd_ < 0) return;
        while (::flock(fd_, LOCK_EX) != 0) {
            if (errno != EINTR) {
                ::close(fd_);
                fd_ = -1;
                return;
            }
        }
    }
    ~writer_lock() {
        if (fd_ >= 0) ::close(fd_);
    }
    writer_lock(const writer_lock&) = delete;
    writer_lock& operator=(const writer_lock&) = delete;

    bool held() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

}  // namespace

registry_store::~registry_store() {
    forget();
}

void registry_store::forget() {
    if (file_ >= 0) ::close(file_);
    file_ = -1;
    root_.reset();
    corrupt_ = false;
    path_.clear();
}

LONG registry_store::refresh(const std::string& hive_path) {
    if (hive_path != path_) forget();
    path_ = hive_path;

    const int fd = ::open(hive_path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno != ENOENT) return ERROR_CANTREAD;
        if (file_ >= 0 || !root_) {
            forget();
            path_ = hive_path;
            root_ = std::make_unique<registry_key>();
        }
        return ERROR_SUCCESS;
    }
    struct stat st {};
    if (fstat(fd, &st) != 0) {
        ::close(fd);
        return ERROR_CANTREAD;
    }
    if (file_ >= 0 && same_file(loaded_, st)) {
        ::close(fd);
        return corrupt_ ? ERROR_BADDB : ERROR_SUCCESS;
    }
    forget();
    path_ = hive_path;
    file_ = fd;
    loaded_ = st;
    std::string bytes;
    if (!read_all(fd, bytes)) {
        forget();
        return ERROR_CANTREAD;
    }
    root_ = parse_hive(bytes);
    corrupt_ = !root_;
    return corrupt_ ? ERROR_BADDB : ERROR_SUCCESS;
}

LONG registry_store::read(const std::string& hive_path,
                          const std::function<LONG(const registry_key&)>& visit) {
    const LONG status = refresh(hive_path);
    if (status != ERROR_SUCCESS) return status;
    return visit(*root_);
}

LONG registry_store::update(const std::string& hive_path,
                            const std::function<LONG(registry_key&, bool& changed)>& change) {
    writer_lock lock(hive_path, file_mode_);
    if (!lock.held()) return ERROR_CANTWRITE;
    const LONG status = refresh(hive_path);
    if (status != ERROR_SUCCESS) return status;
    bool changed = false;
    const LONG result = change(*root_, changed);
    if (!changed) return result;
    if (read_only_) {
        // The tree in memory was changed; load it afresh next time.
        forget();
        return ERROR_ACCESS_DENIED;
    }
    const LONG saved = save(hive_path);
    if (saved != ERROR_SUCCESS) {
        // The tree in memory no longer matches the file; load it afresh next
        // time.
        forget();
        return saved;
    }
    return result;
}

LONG registry_store::save(const std::string& hive_path) {
    const std::string temporary = hive_path + ".tmp";
    const std::string bytes = serialize_hive(*root_);
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, file_mode_);
    if (fd < 0) return write_error();
    // A temporary file left by an earlier run keeps its old permissions.
    if (::fchmod(fd, file_mode_) != 0 || !write_all(fd, bytes) || ::fsync(fd) != 0) {
        const LONG error = write_error();
        ::close(fd);
        ::unlink(temporary.c_str());
        return error;
    }
    ::close(fd);
    if (::rename(temporary.c_str(), hive_path.c_str()) != 0) {
        const LONG error = write_error();
        ::unlink(temporary.c_str());
        return error;
    }
    sync_folder(hive_path);

    // We hold the writers' lock, so the file at the path is the one just
    // written: keep it open as the cache's identity.
    const int loaded = ::open(hive_path.c_str(), O_RDONLY | O_CLOEXEC);
    if (file_ >= 0) ::close(file_);
    file_ = loaded;
    if (loaded < 0 || fstat(loaded, &loaded_) != 0) forget();
    return ERROR_SUCCESS;
}

}  // namespace win_detail

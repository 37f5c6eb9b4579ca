#include "kernel_memory.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <deque>
#include <mutex>
#include <new>
#include <optional>
#include <string>
#include <unordered_map>

#include "kernel_names.h"
#include "win/machine.h"

namespace win_kernel {

namespace {

constexpr uint32_t object_magic = 0x316a626b;  // "kbj1"

struct object_header {
    uint32_t magic;
    uint32_t kind;
    uint64_t data_size;
};
static_assert(sizeof(object_header) <= object_memory::state_offset);

// Larger objects are refused before the file system or mmap is asked.
constexpr uint64_t largest_data_size = uint64_t{1} << 40;

DWORD error_from_errno(int error) {
    switch (error) {
        case ENOENT:
            return ERROR_FILE_NOT_FOUND;
        case EACCES:
        case EPERM:
        case EROFS:
        case ELOOP:  // a link where an object file should be
            return ERROR_ACCESS_DENIED;
        case ENOSPC:
        case EDQUOT:
        case EFBIG:
            return ERROR_DISK_FULL;
        case ENOMEM:
            return ERROR_NOT_ENOUGH_MEMORY;
        case EMFILE:
        case ENFILE:
            return ERROR_TOO_MANY_OPEN_FILES;
        default:
            return ERROR_INVALID_FUNCTION;
    }
}

void set_error_from_errno() {
    SetLastError(error_from_errno(errno));
}

std::byte* map_shared(int fd, size_t length) {
    void* base = mmap(nullptr, length, PROT_READ | PROT_WRITE,
                      MAP_SHARED | (fd < 0 ? MAP_ANONYMOUS : 0), fd, 0);
    return base == MAP_FAILED ? nullptr : static_cast<std::byte*>(base);
}

void write_header(std::byte* base, object_kind kind, uint64_t data_size) {
    new (base) object_header{object_magic, static_cast<uint32_t>(kind), data_size};
}

class unnamed_memory : public object_memory {
public:
    unnamed_memory(std::byte* base, size_t length) : object_memory(base, length) {}
    ~unnamed_memory() override { munmap(base(), length()); }
};

class named_memory;

// The session folder's lock file, opened once and kept.
struct namespace_file {
    std::string dir;
    int fd = -1;
    dev_t device = 0;
    ino_t inode = 0;
};

// An object whose last handle and view in this process went while other
// processes still held it: its file stays open and mapped, without a hold on
// it, so that opening it again neither maps nor unmaps anything (unmapping
// costs every thread of the process a flush of its address translations).
// Whether it still lives is asked of its file lock when it is opened again.
struct released_object {
    std::string path;
    int fd = -1;
    std::byte* base = nullptr;
    size_t length = 0;
    dev_t device = 0;
    ino_t inode = 0;
};

// Session folders and released objects kept at most; the oldest go first.
constexpr size_t kept_namespace_files = 8;
constexpr size_t kept_released_objects = 32;

// The named objects this process has mapped, by file path: one mapping per
// object and process, so every handle of the process sees the same
// addresses (a process-shared mutex must not live at two addresses of one
// process). The lock also serialises this process's threads in front of the
// namespace's file lock, which does not exclude threads of one process.
struct process_registry {
    std::mutex lock;
    std::unordered_map<std::string, std::weak_ptr<named_memory>> mapped;
    std::deque<namespace_file> namespace_files;  // most recently opened last
    std::deque<released_object> released;        // most recently released last
};

process_registry& registry() {
    static process_registry* r = new process_registry;  // outlives static destructors
    return *r;
}

bool same_file(const struct stat& status, dev_t device, ino_t inode) {
    return status.st_dev == device && status.st_ino == inode;
}

// The lock file of the session folder, opened when this process has none
// of it yet or when the file at its path is another one (the folder was made
// anew). Under the registry lock.
int namespace_descriptor(const std::string& dir) {
    const std::string path = dir + "/.namespace.lock";
    auto& files = registry().namespace_files;
    struct stat status {};
    const bool exists = ::stat(path.c_str(), &status) == 0;
    for (auto it = files.begin(); it != files.end(); ++it) {
        if (it->dir != dir) continue;
        if (exists && same_file(status, it->device, it->inode)) return it->fd;
        close(it->fd);
        files.erase(it);
        break;
    }
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0 || fstat(fd, &status) != 0) {
        set_error_from_errno();
        if (fd >= 0) close(fd);
        return -1;
    }
    if (files.size() >= kept_namespace_files) {
        close(files.front().fd);
        files.pop_front();
    }
    files.push_back({dir, fd, status.st_dev, status.st_ino});
    return fd;
}

// Exclusive hold on one session folder's namespace.
class namespace_lock {
public:
    explicit namespace_lock(const std::string& dir) : local_(registry().lock) {
        fd_ = namespace_descriptor(dir);
        if (fd_ < 0) return;
        while (flock(fd_, LOCK_EX) < 0 && errno == EINTR) {
        }
    }
    ~namespace_lock() {
        if (fd_ >= 0) flock(fd_, LOCK_UN);
    }
    namespace_lock(const namespace_lock&) = delete;
    namespace_lock& operator=(const namespace_lock&) = delete;

    bool acquired() const { return fd_ >= 0; }

private:
    std::lock_guard<std::mutex> local_;
    int fd_ = -1;
};

void unmap_and_close(const released_object& object) {
    munmap(object.base, object.length);
    close(object.fd);
}

// Keeps a released object, in place of one of the same path kept before.
// Under the registry lock.
void keep_released(released_object object) {
    auto& released = registry().released;
    for (auto it = released.begin(); it != released.end(); ++it) {
        if (it->path == object.path) {
            unmap_and_close(*it);
            released.erase(it);
            break;
        }
    }
    if (released.size() >= kept_released_objects) {
        unmap_and_close(released.front());
        released.pop_front();
    }
    released.push_back(std::move(object));
}

// The released object of that path, taken out of the kept ones. Under the
// registry lock.
std::optional<released_object> take_released(const std::string& path) {
    auto& released = registry().released;
    for (auto it = released.begin(); it != released.end(); ++it) {
        if (it->path != path) continue;
        released_object taken = std::move(*it);
        released.erase(it);
        return taken;
    }
    return std::nullopt;
}

class named_memory : public object_memory {
public:
    named_memory(std::string dir, std::string path, int fd, std::byte* base, size_t length,
                 const struct stat& status)
        : object_memory(base, length),
          dir_(std::move(dir)),
          path_(std::move(path)),
          fd_(fd),
          device_(status.st_dev),
          inode_(status.st_ino) {}

    // The process's last handle or view is gone: when no other process holds
    // the object it ends and its file goes; else the file stays mapped for
    // the next open.
    ~named_memory() override {
        namespace_lock guard(dir_);
        auto& mapped = registry().mapped;
        if (auto it = mapped.find(path_); it != mapped.end() && it->second.expired())
            mapped.erase(it);
        const released_object object{path_, fd_, base(), length(), device_, inode_};
        flock(fd_, LOCK_UN);
        if (!guard.acquired()) {
            unmap_and_close(object);
            return;
        }
        if (flock(fd_, LOCK_EX | LOCK_NB) == 0) {
            struct stat status {};
            if (::stat(path_.c_str(), &status) == 0 && same_file(status, device_, inode_))
                unlink(path_.c_str());
            unmap_and_close(object);
            return;
        }
        keep_released(object);
    }

private:
    std::string dir_;
    std::string path_;
    int fd_;
    dev_t device_;
    ino_t inode_;
};

enum class lookup { missing, found, failed };

struct object_location {
    std::string dir;
    std::string path;
};

std::optional<object_location> locate(LPCWSTR name) {
    const std::optional<std::string> file_name = object_file_name(name);
    if (!file_name) return std::nullopt;
    std::string dir = win_machine::session_dir();
    std::string path = dir + "/" + *file_name;
    return object_location{std::move(dir), std::move(path)};
}

// Whether the mapped bytes hold an object of that kind (and not another kind
// of object, or something that is no object at all).
bool holds_object_of(const std::byte* base, size_t length, object_kind kind) {
    const auto* header = reinterpret_cast<const object_header*>(base);
    return header && header->magic == object_magic && header->kind == static_cast<uint32_t>(kind) &&
           header->data_size == length - object_memory::header_size;
}

// Maps a live object file the caller has opened and share-locked; takes
// over fd. Under the namespace lock.
lookup map_live_file(const object_location& where, int fd, object_kind kind,
                     std::shared_ptr<named_memory>& found) {
    struct stat status {};
    std::byte* base = nullptr;
    size_t length = 0;
    if (fstat(fd, &status) == 0 &&
        status.st_size >= static_cast<off_t>(object_memory::header_size)) {
        length = static_cast<size_t>(status.st_size);
        base = map_shared(fd, length);
    }
    if (!holds_object_of(base, length, kind)) {
        if (base) munmap(base, length);
        close(fd);
        SetLastError(ERROR_INVALID_HANDLE);
        return lookup::failed;
    }
    found = std::make_shared<named_memory>(where.dir, where.path, fd, base, length, status);
    registry().mapped[where.path] = found;
    return lookup::found;
}

// The object this process released at the location, when it is still the
// file there and another process still holds it; a stale one is removed.
// Under the namespace lock.
lookup find_released(const object_location& where, object_kind kind,
                     std::shared_ptr<named_memory>& found) {
    std::optional<released_object> kept = take_released(where.path);
    if (!kept) return lookup::missing;
    struct stat status {};
    if (::stat(where.path.c_str(), &status) == 0 && same_file(status, kept->device, kept->inode)) {
        if (flock(kept->fd, LOCK_EX | LOCK_NB) == 0) {
            // Nobody holds it: its last holder ended.
            unlink(where.path.c_str());
            unmap_and_close(*kept);
            return lookup::missing;
        }
        if (!holds_object_of(kept->base, kept->length, kind)) {
            keep_released(std::move(*kept));
            SetLastError(ERROR_INVALID_HANDLE);
            return lookup::failed;
        }
        if (flock(kept->fd, LOCK_SH | LOCK_NB) == 0) {
            found = std::make_shared<named_memory>(where.dir, where.path, kept->fd, kept->base,
                                                   kept->length, status);
            registry().mapped[where.path] = found;
            return lookup::found;
        }
    }
    // Another file holds the name now: it is looked at afresh.
    unmap_and_close(*kept);
    return lookup::missing;
}

// The object of that location this process maps already, if any: it lives
// while the process holds it, so neither the namespace nor the file is asked.
// found may receive the last reference of a mapping that is going away, so
// the caller keeps it until the registry's lock is released.
lookup find_held(const object_location& where, object_kind kind,
                 std::shared_ptr<named_memory>& found) {
    std::lock_guard<std::mutex> guard(registry().lock);
    auto& mapped = registry().mapped;
    const auto it = mapped.find(where.path);
    if (it == mapped.end() || !(found = it->second.lock())) return lookup::missing;
    if (found->kind() == kind) return lookup::found;
    SetLastError(ERROR_INVALID_HANDLE);
    return lookup::failed;
}

// The live object at the location, mapped by this process already, released
// by it and still held by another, or held by another. A stale file is
// removed. Under the namespace lock; found may receive the last reference of
// a mapping that is going away, so the caller keeps it until the lock is
// released.
lookup find_live(const object_location& where, object_kind kind,
                 std::shared_ptr<named_memory>& found) {
    auto& mapped = registry().mapped;
    if (auto it = mapped.find(where.path); it != mapped.end()) {
        found = it->second.lock();
        if (found) {
            if (found->kind() == kind) return lookup::found;
            SetLastError(ERROR_INVALID_HANDLE);
            return lookup::failed;
        }
    }
    if (const lookup kept = find_released(where, kind, found); kept != lookup::missing) return kept;
    const int fd = ::open(where.path.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) {
        if (errno == ENOENT) return lookup::missing;
        set_error_from_errno();
        return lookup::failed;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) == 0) {
        // Nobody holds it: left by a process that ended.
        unlink(where.path.c_str());
        close(fd);
        return lookup::missing;
    }
    if (flock(fd, LOCK_SH | LOCK_NB) != 0) {
        set_error_from_errno();
        close(fd);
        return lookup::failed;
    }
    return map_live_file(where, fd, kind, found);
}

// Creates the object file with its state set up and share-locked. Under the
// namespace lock, with no file at the path.
std::shared_ptr<named_memory> create_file(const object_location& where, object_kind kind,
                                          uint64_t data_size, const state_initializer& initialize) {
    const int fd =
        ::open(where.path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        set_error_from_errno();
        return nullptr;
    }
    const size_t length = object_memory::header_size + data_size;
    std::byte* base = nullptr;
    if (flock(fd, LOCK_SH) == 0 && ftruncate(fd, static_cast<off_t>(length)) == 0)
        base = map_shared(fd, length);
    if (!base) {
        set_error_from_errno();
        unlink(where.path.c_str());
        close(fd);
        return nullptr;
    }
    write_header(base, kind, data_size);
    struct stat status {};
    fstat(fd, &status);
    auto memory = std::make_shared<named_memory>(where.dir, where.path, fd, base, length, status);
    if (initialize) initialize(memory->state());
    registry().mapped[where.path] = memory;
    return memory;
}

// An object private to the process.
std::shared_ptr<object_memory> make_unnamed_object(object_kind kind, uint64_t data_size,
                                                   const state_initializer& initialize) {
    const size_t length = object_memory::header_size + data_size;
    std::byte* base = map_shared(-1, length);
    if (!base) {
        set_error_from_errno();
        return nullptr;
    }
    write_header(base, kind, data_size);
    auto memory = std::make_shared<unnamed_memory>(base, length);
    if (initialize) initialize(memory->state());
    return memory;
}

}  // namespace

object_memory::~object_memory() = default;

object_kind object_memory::kind() const {
    return static_cast<object_kind>(reinterpret_cast<const object_header*>(base_)->kind);
}

created_object create_object(LPCWSTR name, object_kind kind, uint64_t data_size,
                             const state_initializer& initialize) {
    if (data_size > largest_data_size) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return {};
    }
    if (is_unnamed(name)) return {make_unnamed_object(kind, data_size, initialize), false};
    const std::optional<object_location> where = locate(name);
    if (!where) return {};
    std::shared_ptr<named_memory> found;  // released after the lock
    switch (find_held(*where, kind, found)) {
        case lookup::found:
            return {found, true};
        case lookup::failed:
            return {};
        case lookup::missing:
            break;
    }
    created_object result;
    {
        namespace_lock guard(where->dir);
        if (!guard.acquired()) return {};
        switch (find_live(*where, kind, found)) {
            case lookup::found:
                result.memory = found;
                result.existed = true;
                break;
            case lookup::missing:
                result.memory = create_file(*where, kind, data_size, initialize);
                break;
            case lookup::failed:
                break;
        }
    }
    return result;
}

std::shared_ptr<object_memory> open_object(LPCWSTR name, object_kind kind) {
    if (is_unnamed(name)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const std::optional<object_location> where = locate(name);
    if (!where) return nullptr;
    std::shared_ptr<named_memory> found;  // released after the lock
    switch (find_held(*where, kind, found)) {
        case lookup::found:
            return found;
        case lookup::failed:
            return nullptr;
        case lookup::missing:
            break;
    }
    {
        namespace_lock guard(where->dir);
        if (!guard.acquired()) return nullptr;
        switch (find_live(*where, kind, found)) {
            case lookup::found:
                return found;
            case lookup::missing:
                SetLastError(ERROR_FILE_NOT_FOUND);
                break;
            case lookup::failed:
                break;
        }
    }
    return nullptr;
}

}  // namespace win_kernel

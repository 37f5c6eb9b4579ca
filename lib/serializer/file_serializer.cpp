#include "serializer/file_serializer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <boost/filesystem/operations.hpp>
#include <cerrno>
#include <ctime>
#include <map>
#include <mutex>
#include <optional>
#include <sstream>

#include "serializer/descriptor_stream.h"

namespace serializer {

namespace fs = boost::filesystem;

namespace {

using file_stamp = file_serializer::file_version;

file_stamp stamp_from(const struct stat& info) {
    return {info.st_dev, info.st_ino, info.st_size, static_cast<std::int64_t>(info.st_mtim.tv_sec),
            info.st_mtim.tv_nsec};
}

std::optional<file_stamp> stamp_of(const fs::path& path) {
    struct stat info;
    if (::stat(path.c_str(), &info) != 0) return std::nullopt;
    return stamp_from(info);
}

struct cache_entry {
    node tree;
    std::optional<file_stamp> stamp;  // empty: unknown, the file must be read or written
    std::int64_t last_access = -1;
};

std::mutex cache_mutex;
std::map<fs::path, cache_entry> cache;

std::int64_t system_clock() {
    return static_cast<std::int64_t>(std::time(nullptr));
}
std::atomic<file_serializer::clock_function> current_clock{system_clock};
std::atomic<file_serializer::step_hook> current_hook{nullptr};

void step_done(const char* step) {
    if (const auto function = current_hook.load()) function(step);
}

void purge_cache(std::int64_t now) {
    for (auto entry = cache.begin(); entry != cache.end();) {
        if (entry->second.last_access < now - file_serializer::cache_lifetime)
            entry = cache.erase(entry);
        else
            ++entry;
    }
}

fs::path companion(const fs::path& path, const char* suffix) {
    return fs::path(path.native() + suffix);
}

// Closes the descriptor on every path out of a scope.
class file_descriptor {
public:
    explicit file_descriptor(int fd) : fd_(fd) {}
    ~file_descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    file_descriptor(const file_descriptor&) = delete;
    file_descriptor& operator=(const file_descriptor&) = delete;

    int get() const { return fd_; }
    // Closes now, reporting the result (a failed close may mean lost data).
    bool close() {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

private:
    int fd_;
};

// The whole content of an open file and the stamp of what was read.
bool read_all(int fd, std::string& bytes, file_stamp& stamp) {
    struct stat info;
    if (::fstat(fd, &info) != 0) return false;
    stamp = stamp_from(info);
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got == 0) return true;
        if (got < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes.append(buffer, static_cast<std::size_t>(got));
    }
}

// Writes what write puts into the stream, flushes it to the disk and reports
// the stamp of the written file.
bool write_all(int fd, const std::function<void(std::ostream&)>& write, file_stamp& stamp) {
    descriptor_output buffer(fd);
    std::ostream out(&buffer);
    write(out);
    if (!buffer.flush_all() || !out) return false;
    struct stat info;
    if (::fsync(fd) != 0 || ::fstat(fd, &info) != 0) return false;
    stamp = stamp_from(info);
    return true;
}

// The previous file becomes the backup while the file itself stays in place:
// a second name for the same contents, or a copy where links are not
// supported.
void make_backup(const fs::path& path, const fs::path& backup) {
    boost::system::error_code link_error;
    fs::create_hard_link(path, backup, link_error);
    if (link_error) fs::copy_file(path, backup, fs::copy_options::overwrite_existing);
}

// Makes the file hold what write produces: the ".tmp" companion written in
// full and flushed, the backup kept or dropped, then the companion renamed
// over the file. context names the caller in the exception texts. Returns the
// stamp of the new file.
file_stamp replace_file(const fs::path& path, bool keep_backup,
                        const std::function<void(std::ostream&)>& write, const char* context) {
    const auto current = stamp_of(path);
    const fs::path temporary = companion(path, ".tmp");
    const fs::path backup = companion(path, ".bak");
    file_descriptor file(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    if (file.get() < 0) throw serializer_exception(context, "Stream can not be opened for writing");
    step_done("temporary_opened");
    file_stamp written;
    bool complete = false;
    try {
        complete = write_all(file.get(), write, written) && file.close();
    } catch (...) {
        boost::system::error_code ignored;
        fs::remove(temporary, ignored);
        throw;
    }
    if (!complete) {
        boost::system::error_code ignored;
        fs::remove(temporary, ignored);
        throw serializer_exception(context, "Stream can not be written");
    }
    step_done("temporary_written");

    if (fs::exists(backup)) {
        fs::remove(backup);
        step_done("backup_removed");
    }
    if (keep_backup && current) {
        make_backup(path, backup);
        step_done("backup_made");
    }
    fs::rename(temporary, path);
    step_done("file_replaced");
    return written;
}

// Reads with parse, naming the file in the text of a format error, so that
// whoever sees the error learns which settings file is damaged.
template <class Parse>
void parse_naming_file(const fs::path& path, Parse&& parse) {
    try {
        parse();
    } catch (const wrong_format_exception& failure) {
        throw wrong_format_exception(failure.what(),
                                     "in the settings file \"" + path.string() + "\"");
    }
}

}  // namespace

std::optional<file_serializer::file_version> file_serializer::version_of(const fs::path& path) {
    return stamp_of(path);
}

file_serializer::file_version file_serializer::load_children(
    const fs::path& path, node& root, const node::child_handler& each_child) {
    {
        std::lock_guard<std::mutex> lock(cache_mutex);
        cache.erase(path);
    }
    file_descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.get() < 0) {
        if (errno == ENOENT)
            throw fs::filesystem_error(
                "serializer::file_serializer::load_children", path,
                boost::system::error_code(errno, boost::system::system_category()));
        throw serializer_exception(__PRETTY_FUNCTION__, "Stream can not be opened for reading");
    }
    struct stat info;
    if (::fstat(file.get(), &info) != 0)
        throw serializer_exception(__PRETTY_FUNCTION__, "Stream can not be read");
    descriptor_input buffer(file.get());
    std::istream in(&buffer);
    parse_naming_file(path, [&] { root.deserialize_children(in, each_child); });
    if (buffer.failed()) throw serializer_exception(__PRETTY_FUNCTION__, "Stream can not be read");
    return stamp_from(info);
}

file_serializer::file_version file_serializer::save_children(
    const fs::path& path, const node& root,
    const std::function<void(const node::child_emitter&)>& produce, bool keep_backup) {
    std::lock_guard<std::mutex> lock(cache_mutex);
    cache.erase(path);
    return replace_file(
        path, keep_backup, [&](std::ostream& out) { root.serialize_children(out, produce); },
        __PRETTY_FUNCTION__);
}

node file_serializer::load_cached(const fs::path& path) {
    std::lock_guard<std::mutex> lock(cache_mutex);
    cache_entry& entry = cache[path];

    const auto current = stamp_of(path);
    if (!current)
        throw fs::filesystem_error(
            "serializer::file_serializer::load_cached", path,
            boost::system::error_code(errno, boost::system::system_category()));
    if (entry.stamp != current) {
        file_descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
        if (file.get() < 0)
            throw serializer_exception(__PRETTY_FUNCTION__, "Stream can not be opened for reading");
        std::string bytes;
        file_stamp read_stamp;
        const bool read = read_all(file.get(), bytes, read_stamp);
        entry.stamp.reset();
        entry.tree.clear();
        if (!read) throw serializer_exception(__PRETTY_FUNCTION__, "Stream can not be read");
        std::istringstream in(bytes);
        try {
            parse_naming_file(path, [&] { entry.tree.deserialize(in); });
        } catch (...) {
            entry.tree.clear();
            throw;
        }
        entry.stamp = read_stamp;
    }

    const std::int64_t now = current_clock.load()();
    entry.last_access = now;
    node result = entry.tree;
    purge_cache(now);
    return result;
}

void file_serializer::save_cached(const fs::path& path, const node& tree, bool keep_backup) {
    std::lock_guard<std::mutex> lock(cache_mutex);
    cache_entry& entry = cache[path];

    const bool unchanged = entry.stamp && entry.stamp == stamp_of(path) && entry.tree == tree;
    if (!unchanged) {
        entry.stamp = replace_file(
            path, keep_backup, [&](std::ostream& out) { tree.serialize(out); },
            __PRETTY_FUNCTION__);
        entry.tree = tree;
    }

    const std::int64_t now = current_clock.load()();
    entry.last_access = now;
    purge_cache(now);
}

bool file_serializer::restore_backup(const fs::path& path) {
    const fs::path backup = companion(path, ".bak");
    if (!fs::exists(backup)) return false;
    fs::rename(backup, path);
    return true;
}

void file_serializer::remove(const fs::path& path) {
    fs::remove(path);
    fs::remove(companion(path, ".bak"));
}

void file_serializer::set_clock(clock_function now) {
    current_clock = now ? now : system_clock;
}

void file_serializer::set_step_hook(step_hook function) {
    current_hook = function;
}

}  // namespace serializer

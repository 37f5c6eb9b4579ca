#include "syncer/tasks/task_local_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utf8.h>

#include <algorithm>
#include <boost/filesystem/operations.hpp>
#include <cerrno>
#include <cstring>
#include <iterator>
#include <string_view>
#include <vector>

#include "syncer/core/paths.h"
#include "win/file.h"
#include "win/shell_file_operation.h"

namespace syncer {

namespace {

// The files replace_file writes: prefix, a decimal number, suffix.
const char* const replacement_prefix = ".calvimora-";
const char* const replacement_suffix = ".tmp";

// The description of the last failed system call on a path.
local_error system_failure(const char* call, const boost::filesystem::path& path) {
    const int error = errno;
    return local_error(
        decode_utf8(std::string(call) + " \"" + path.string() + "\": " + std::strerror(error)));
}

template <class Operation>
auto with_local_errors(Operation&& operation) -> decltype(operation()) {
    try {
        return operation();
    } catch (const boost::filesystem::filesystem_error& failure) {
        throw local_error(decode_utf8(failure.what()));
    }
}

std::vector<std::wstring> path_elements(const std::wstring& path) {
    std::vector<std::wstring> elements;
    std::wstring current;
    for (const wchar_t character : path) {
        if (character == L'/' || character == L'\\') {
            if (!current.empty()) elements.push_back(current);
            current.clear();
        } else {
            current += character;
        }
    }
    if (!current.empty()) elements.push_back(current);
    return elements;
}

// Returns how many bytes went across.
std::int64_t copy_contents(int from, int to, const boost::filesystem::path& source,
                           const boost::filesystem::path& target) {
    std::vector<char> buffer(1 << 16);
    std::int64_t copied = 0;
    for (;;) {
        const ssize_t got = ::read(from, buffer.data(), buffer.size());
        if (got < 0) {
            if (errno == EINTR) continue;
            throw system_failure("read", source);
        }
        if (got == 0) return copied;
        copied += got;
        for (ssize_t done = 0; done < got;) {
            const ssize_t put = ::write(to, buffer.data() + done, static_cast<size_t>(got - done));
            if (put < 0) {
                if (errno == EINTR) continue;
                throw system_failure("write", target);
            }
            done += put;
        }
    }
}

// Flushes a folder's entries, so a rename in it survives a crash.
void sync_folder(const boost::filesystem::path& folder) {
    const int descriptor = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor < 0) return;
    ::fsync(descriptor);
    ::close(descriptor);
}

// Sets or clears the hidden attribute where the file system can keep it; the
// scan skips hidden files, so a half-written replacement is never taken for
// a new file of the user's.
bool set_hidden(const boost::filesystem::path& path, bool hidden) {
    return SetFileAttributesW(path.wstring().c_str(),
                              hidden ? FILE_ATTRIBUTE_HIDDEN : FILE_ATTRIBUTE_NORMAL) != FALSE;
}

}  // namespace

boost::filesystem::path local_path(const std::wstring& path) {
    return boost::filesystem::path(win_file::native_path(path));
}

boost::filesystem::path local_path(const std::wstring& folder, const std::wstring& name) {
    return local_path(join_path(folder, name));
}

bool is_safe_local_folder(const std::wstring& folder) {
    if (folder.find(L'\0') != std::wstring::npos) return false;
    const auto elements = path_elements(folder);
    for (const auto& element : elements) {
        if (element == L"." || element == L"..") return false;
    }
    const bool drive_first = !elements.empty() && elements.front().back() == L':';
    return elements.size() > (drive_first ? 1u : 0u);
}

bool is_replacement_name(const std::wstring& name) {
    const std::string_view prefix(replacement_prefix);
    const std::string_view suffix(replacement_suffix);
    if (name.size() <= prefix.size() + suffix.size()) return false;
    const auto same = [](std::wstring_view wide, std::string_view narrow) {
        return std::equal(wide.begin(), wide.end(), narrow.begin(), narrow.end(),
                          [](wchar_t a, char b) { return a == static_cast<wchar_t>(b); });
    };
    const std::wstring_view whole(name);
    const std::wstring_view number =
        whole.substr(prefix.size(), whole.size() - prefix.size() - suffix.size());
    return same(whole.substr(0, prefix.size()), prefix) &&
           same(whole.substr(whole.size() - suffix.size()), suffix) &&
           std::all_of(number.begin(), number.end(),
                       [](wchar_t c) { return c >= L'0' && c <= L'9'; });
}

std::optional<local_file_state> file_state(const boost::filesystem::path& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        if (errno == ENOENT || errno == ENOTDIR) return std::nullopt;
        throw system_failure("stat", path);
    }
    if (!S_ISREG(status.st_mode)) return std::nullopt;
    return local_file_state::from_stat(status);
}

bool path_exists(const boost::filesystem::path& path) {
    return with_local_errors([&] { return boost::filesystem::exists(path); });
}

namespace {

// Whether the tree holds nothing but folders. When it holds more, its
// sub-trees of nothing but folders go to the trash, each as one item.
bool holds_only_folders(const boost::filesystem::path& folder) {
    namespace fs = boost::filesystem;
    bool only_folders = true;
    std::vector<fs::path> empty_trees;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
        if (fs::is_directory(entry.symlink_status()) && holds_only_folders(entry.path())) {
            empty_trees.push_back(entry.path());
        } else {
            only_folders = false;
        }
    }
    if (!only_folders) {
        for (const fs::path& tree : empty_trees) move_to_trash(tree);
    }
    return only_folders;
}

}  // namespace

void move_to_trash(const boost::filesystem::path& path) {
    const std::string native = path.string();
    if (!utf8::is_valid(native.begin(), native.end()))
        throw local_error(L"\"" + decode_utf8(native) + L"\" cannot be moved to the trash");
    std::wstring items;
    utf8::utf8to32(native.begin(), native.end(), std::back_inserter(items));
    // The list ends with a second NUL: the string's own.
    items.push_back(L'\0');
    SHFILEOPSTRUCTW operation{};
    operation.wFunc = FO_DELETE;
    operation.pFrom = items.c_str();
    operation.fFlags = FOF_ALLOWUNDO | FOF_NO_UI;
    const int result = SHFileOperationW(&operation);
    if (result == ERROR_FILE_NOT_FOUND) return;
    if (result != 0 || operation.fAnyOperationsAborted)
        throw local_error(L"Moving \"" + decode_utf8(native) + L"\" to the trash failed (" +
                          std::to_wstring(result) + L")");
}

void remove_empty_tree(const boost::filesystem::path& path) {
    with_local_errors([&] {
        if (!holds_only_folders(path))
            throw local_error(L"\"" + decode_utf8(path.string()) + L"\" is not empty");
        move_to_trash(path);
    });
}

void create_folders(const boost::filesystem::path& path) {
    with_local_errors([&] { boost::filesystem::create_directories(path); });
}

void remove_quietly(const boost::filesystem::path& path) noexcept {
    if (!path.empty()) ::unlink(path.c_str());
}

int create_unique_file(const boost::filesystem::path& folder, const std::string& prefix,
                       const std::string& suffix, boost::filesystem::path& created) {
    constexpr int most_candidates = 1000000;
    for (int number = 0; number < most_candidates; ++number) {
        const auto candidate = folder / (prefix + std::to_string(number) + suffix);
        const int descriptor =
            ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (descriptor >= 0) {
            created = candidate;
            return descriptor;
        }
        if (errno != EEXIST) throw system_failure("open", candidate);
    }
    errno = EEXIST;
    throw system_failure("open", folder / (prefix + "N" + suffix));
}

local_file::local_file(const boost::filesystem::path& path, mode how)
    : writable_(how == mode::write) {
    const int flags =
        how == mode::read ? O_RDONLY | O_CLOEXEC : O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC;
    descriptor_ = ::open(path.c_str(), flags, 0644);
    if (descriptor_ < 0) throw system_failure("open", path);
}

local_file::~local_file() {
    if (descriptor_ >= 0) ::close(descriptor_);
}

std::size_t local_file::read_at(void* buffer, std::size_t length, std::int64_t offset) {
    std::size_t done = 0;
    while (done < length) {
        const ssize_t got = ::pread(descriptor_, static_cast<char*>(buffer) + done, length - done,
                                    static_cast<off_t>(offset) + static_cast<off_t>(done));
        if (got < 0) {
            if (errno == EINTR) continue;
            throw local_error(L"");
        }
        if (got == 0) break;
        done += static_cast<std::size_t>(got);
    }
    return done;
}

void local_file::write_at(const void* buffer, std::size_t length, std::int64_t offset) {
    std::size_t done = 0;
    while (done < length) {
        const ssize_t put =
            ::pwrite(descriptor_, static_cast<const char*>(buffer) + done, length - done,
                     static_cast<off_t>(offset) + static_cast<off_t>(done));
        if (put < 0) {
            if (errno == EINTR) continue;
            throw local_error(L"");
        }
        done += static_cast<std::size_t>(put);
    }
}

void local_file::truncate(std::int64_t size) {
    if (::ftruncate(descriptor_, static_cast<off_t>(size)) != 0) throw local_error(L"");
}

void local_file::close() {
    const int descriptor = descriptor_;
    descriptor_ = -1;
    const bool synced = !writable_ || ::fsync(descriptor) == 0;
    const bool closed = ::close(descriptor) == 0;
    if (!synced || !closed) throw local_error(L"");
}

std::optional<local_file_state> replace_file(
    const boost::filesystem::path& source, const boost::filesystem::path& target,
    std::int64_t last_write_time, const std::function<bool()>& target_unchanged,
    const std::function<void(const boost::filesystem::path&, const local_file_state&)>& renaming) {
    const int from = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
    if (from < 0) throw system_failure("open", source);
    boost::filesystem::path sibling;
    int to = -1;
    bool renamed = false;
    struct stat placed {};
    bool written_by_others = false;
    try {
        to = create_unique_file(target.parent_path(), replacement_prefix, replacement_suffix,
                                sibling);
        const bool hidden = set_hidden(sibling, true);
        const std::int64_t size = copy_contents(from, to, source, sibling);
        const timespec times[2] = {{static_cast<time_t>(last_write_time), 0},
                                   {static_cast<time_t>(last_write_time), 0}};
        if (::futimens(to, times) != 0) throw system_failure("futimens", sibling);
        if (::fsync(to) != 0) throw system_failure("fsync", sibling);
        if (!target_unchanged()) {
            ::close(to);
            remove_quietly(sibling);
            ::close(from);
            return std::nullopt;
        }
        if (hidden) set_hidden(sibling, false);
        if (renaming) {
            if (::fstat(to, &placed) != 0) throw system_failure("fstat", sibling);
            renaming(sibling, local_file_state::from_stat(placed));
        }
        if (::rename(sibling.c_str(), target.c_str()) != 0) throw system_failure("rename", target);
        renamed = true;
        // The file's own state (the rename moved its change time), whatever
        // is renamed over the target since.
        if (::fstat(to, &placed) != 0) throw system_failure("fstat", target);
        const int descriptor = to;
        to = -1;
        if (::close(descriptor) != 0) throw system_failure("close", target);
        written_by_others = placed.st_size != size || placed.st_mtim.tv_sec != last_write_time ||
                            placed.st_mtim.tv_nsec != 0;
    } catch (...) {
        if (to >= 0) ::close(to);
        // Once renamed, the name may be another replacement's already.
        if (!renamed) remove_quietly(sibling);
        ::close(from);
        throw;
    }
    ::close(from);
    sync_folder(target.parent_path());
    local_file_state state = local_file_state::from_stat(placed);
    if (written_by_others) state.change_time_ns = -1;
    return state;
}

}  // namespace syncer

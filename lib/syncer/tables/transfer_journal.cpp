#include "syncer/tables/transfer_journal.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utf8.h>

#include <array>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <iterator>
#include <optional>

#include "syncer/core/local_error.h"
#include "syncer/tables/items_manager.h"

namespace syncer {

namespace {

namespace fs = boost::filesystem;
using kind = journal_entry::kind;

const wchar_t* const journal_suffix = L".journal";
const char* const line_end_marker = "end";
// The text of an empty field; '~' is always escaped elsewhere.
const char* const empty_text = "~";

constexpr std::array<std::pair<kind, const char*>, 6> kind_names{{
    {kind::creating, "creating"},
    {kind::created, "created"},
    {kind::closing, "closing"},
    {kind::replacing, "replacing"},
    {kind::synced, "synced"},
    {kind::abandoned, "abandoned"},
}};

local_error journal_failure(const char* call, const fs::path& path) {
    const int error = errno;
    return local_error(decode_utf8(std::string("Cannot record the transfer: ") + call + " \"" +
                                   path.string() + "\": " + std::strerror(error)));
}

// --- encoding

bool is_plain_byte(unsigned char byte) {
    return byte > 0x20 && byte != 0x7F && byte != '%' && byte != '~';
}

void add_text(std::string& line, const std::wstring& text) {
    line += ' ';
    if (text.empty()) {
        line += empty_text;
        return;
    }
    std::string bytes;
    try {
        utf8::utf32to8(text.begin(), text.end(), std::back_inserter(bytes));
    } catch (const utf8::exception&) {
        throw local_error(L"Cannot record the transfer: a name is no text");
    }
    static const char* const digits = "0123456789ABCDEF";
    for (const char character : bytes) {
        const auto byte = static_cast<unsigned char>(character);
        if (is_plain_byte(byte)) {
            line += character;
        } else {
            line += '%';
            line += digits[byte >> 4];
            line += digits[byte & 0xF];
        }
    }
}

void add_number(std::string& line, std::int64_t number) {
    line += ' ';
    line += std::to_string(number);
}

void add_state(std::string& line, const local_file_state& state, bool with_inode) {
    add_number(line, state.size);
    add_number(line, state.write_time_ns);
    add_number(line, state.change_time_ns);
    if (with_inode) {
        line += ' ';
        line += std::to_string(state.inode);
    }
}

// --- parsing

class token_reader {
public:
    explicit token_reader(std::string_view line) : line_(line) {}

    std::optional<std::string_view> next() {
        if (at_ > line_.size()) return std::nullopt;
        const std::size_t end = std::min(line_.find(' ', at_), line_.size());
        const std::string_view token = line_.substr(at_, end - at_);
        at_ = end + 1;
        if (token.empty()) return std::nullopt;
        return token;
    }
    bool at_end() const { return at_ > line_.size(); }

    bool text(std::wstring& result) {
        const auto token = next();
        if (!token) return false;
        result.clear();
        if (*token == empty_text) return true;
        std::string bytes;
        for (std::size_t at = 0; at < token->size(); ++at) {
            const auto byte = static_cast<unsigned char>((*token)[at]);
            if (byte == '%') {
                if (at + 2 >= token->size()) return false;
                unsigned value = 0;
                const auto [end, failure] =
                    std::from_chars(token->data() + at + 1, token->data() + at + 3, value, 16);
                if (failure != std::errc() || end != token->data() + at + 3) return false;
                bytes += static_cast<char>(value);
                at += 2;
            } else if (is_plain_byte(byte) || byte >= 0x80) {
                bytes += static_cast<char>(byte);
            } else {
                return false;
            }
        }
        if (bytes.find('\0') != std::string::npos || !utf8::is_valid(bytes.begin(), bytes.end()))
            return false;
        utf8::utf8to32(bytes.begin(), bytes.end(), std::back_inserter(result));
        return true;
    }

    template <typename Number>
    bool number(Number& result) {
        const auto token = next();
        if (!token) return false;
        const auto [end, failure] =
            std::from_chars(token->data(), token->data() + token->size(), result);
        return failure == std::errc() && end == token->data() + token->size();
    }

    bool state(local_file_state& result, bool with_inode) {
        result = local_file_state{};
        return number(result.size) && result.size >= 0 && number(result.write_time_ns) &&
               number(result.change_time_ns) && (!with_inode || number(result.inode));
    }

private:
    std::string_view line_;
    std::size_t at_ = 0;
};

std::optional<journal_entry> parse_line(std::string_view line) {
    token_reader tokens(line);
    const auto name = tokens.next();
    if (!name) return std::nullopt;
    journal_entry entry;
    bool known = false;
    for (const auto& [what, text] : kind_names) {
        if (*name == text) {
            entry.what = what;
            known = true;
        }
    }
    if (!known || !tokens.text(entry.dir_remote) || !tokens.text(entry.dir_local) ||
        !tokens.text(entry.filename))
        return std::nullopt;
    bool fields = true;
    switch (entry.what) {
        case kind::creating:
            fields = tokens.number(entry.size) && entry.size >= 0;
            break;
        case kind::created:
            fields = tokens.text(entry.remote_id);
            break;
        case kind::closing:
            fields = tokens.text(entry.remote_id) && tokens.number(entry.time) &&
                     tokens.number(entry.size) && entry.size >= 0 &&
                     tokens.state(entry.local, false);
            break;
        case kind::replacing:
            fields = tokens.number(entry.time) && tokens.number(entry.size) && entry.size >= 0 &&
                     tokens.state(entry.local, true) && tokens.text(entry.copy_name);
            break;
        case kind::synced:
            fields = tokens.number(entry.time) && tokens.state(entry.local, false);
            break;
        case kind::abandoned:
            break;
    }
    // A line cut short ends before its marker.
    const auto marker = tokens.next();
    if (!fields || !marker || *marker != line_end_marker || !tokens.at_end()) return std::nullopt;
    return entry;
}

// --- the file

class descriptor {
public:
    explicit descriptor(int value) : value_(value) {}
    ~descriptor() {
        if (value_ >= 0) ::close(value_);
    }
    descriptor(const descriptor&) = delete;
    descriptor& operator=(const descriptor&) = delete;
    int get() const { return value_; }
    explicit operator bool() const { return value_ >= 0; }

private:
    int value_;
};

void lock(int file, int how, const fs::path& path) {
    while (::flock(file, how) != 0) {
        if (errno != EINTR) throw journal_failure("flock", path);
    }
}

void write_all(int file, std::string_view bytes, const fs::path& path) {
    while (!bytes.empty()) {
        const ssize_t put = ::write(file, bytes.data(), bytes.size());
        if (put < 0) {
            if (errno == EINTR) continue;
            throw journal_failure("write", path);
        }
        bytes.remove_prefix(static_cast<std::size_t>(put));
    }
}

std::string read_all(int file, const fs::path& path) {
    std::string bytes;
    std::array<char, 65536> buffer{};
    for (;;) {
        const ssize_t got = ::read(file, buffer.data(), buffer.size());
        if (got < 0) {
            if (errno == EINTR) continue;
            throw journal_failure("read", path);
        }
        if (got == 0) return bytes;
        bytes.append(buffer.data(), static_cast<std::size_t>(got));
    }
}

void sync_folder(const fs::path& folder) {
    const descriptor handle(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (handle) ::fsync(handle.get());
}

// Whether the open file is still the one the path names: a cut puts another
// file in its place, or removes it.
bool still_named(int file, const fs::path& path, struct stat& opened) {
    struct stat named {};
    return ::fstat(file, &opened) == 0 && ::stat(path.c_str(), &named) == 0 &&
           named.st_ino == opened.st_ino && named.st_dev == opened.st_dev;
}

}  // namespace

std::string encode_entry(const journal_entry& entry) {
    std::string line;
    for (const auto& [what, text] : kind_names) {
        if (what == entry.what) line = text;
    }
    add_text(line, entry.dir_remote);
    add_text(line, entry.dir_local);
    add_text(line, entry.filename);
    switch (entry.what) {
        case kind::creating:
            add_number(line, entry.size);
            break;
        case kind::created:
            add_text(line, entry.remote_id);
            break;
        case kind::closing:
            add_text(line, entry.remote_id);
            add_number(line, entry.time);
            add_number(line, entry.size);
            add_state(line, entry.local, false);
            break;
        case kind::replacing:
            add_number(line, entry.time);
            add_number(line, entry.size);
            add_state(line, entry.local, true);
            add_text(line, entry.copy_name);
            break;
        case kind::synced:
            add_number(line, entry.time);
            add_state(line, entry.local, false);
            break;
        case kind::abandoned:
            break;
    }
    line += ' ';
    line += line_end_marker;
    line += '\n';
    return line;
}

std::vector<journal_line> parse_journal(std::string_view bytes) {
    std::vector<journal_line> lines;
    std::size_t start = 0;
    while (start < bytes.size()) {
        const std::size_t end = bytes.find('\n', start);
        if (end == std::string_view::npos) break;
        if (auto entry = parse_line(bytes.substr(start, end - start)))
            lines.push_back({std::move(*entry), end + 1});
        start = end + 1;
    }
    return lines;
}

transfer_journal::transfer_journal(fs::path path) : path_(std::move(path)) {}

fs::path transfer_journal::path_for(const std::wstring& items_filename,
                                    const std::wstring& user_name) {
    return fs::path(items_manager::get_items_path(items_filename, user_name).native() +
                    fs::path(journal_suffix).native());
}

bool transfer_journal::is_journal_name(const std::wstring& name) {
    return name.size() > std::wcslen(journal_suffix) && name.ends_with(journal_suffix);
}

std::wstring transfer_journal::table_name_of(const std::wstring& journal_name) {
    return journal_name.substr(0, journal_name.size() - std::wcslen(journal_suffix));
}

void transfer_journal::append(const journal_entry& entry) const {
    const std::string line = encode_entry(entry);
    // A cut may put another file in the journal's place while this waits for
    // the lock; the entry goes to the one the path names.
    constexpr int most_attempts = 1000;
    for (int attempt = 0; attempt < most_attempts; ++attempt) {
        const descriptor file(::open(path_.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0600));
        if (!file) throw journal_failure("open", path_);
        lock(file.get(), LOCK_EX, path_);
        struct stat opened {};
        if (!still_named(file.get(), path_, opened)) continue;
        // A line a crash cut short is ended first, so that this one stands
        // on its own.
        std::string bytes = line;
        char last = '\n';
        if (opened.st_size > 0 &&
            (::pread(file.get(), &last, 1, opened.st_size - 1) != 1 || last != '\n'))
            bytes.insert(bytes.begin(), '\n');
        write_all(file.get(), bytes, path_);
        ::flock(file.get(), LOCK_UN);
        if (::fsync(file.get()) != 0) throw journal_failure("fsync", path_);
        if (opened.st_size == 0) sync_folder(path_.parent_path());
        return;
    }
    errno = EAGAIN;
    throw journal_failure("open", path_);
}

transfer_journal::contents transfer_journal::read() const {
    contents result;
    const descriptor file(::open(path_.c_str(), O_RDONLY | O_CLOEXEC));
    if (!file) {
        if (errno == ENOENT) return result;
        throw journal_failure("open", path_);
    }
    lock(file.get(), LOCK_SH, path_);
    const std::string bytes = read_all(file.get(), path_);
    result.lines = parse_journal(bytes);
    const std::size_t last_line_end = bytes.rfind('\n');
    result.size = last_line_end == std::string::npos ? 0 : last_line_end + 1;
    return result;
}

std::uint64_t transfer_journal::size() const {
    struct stat status {};
    if (::stat(path_.c_str(), &status) != 0) return 0;
    return static_cast<std::uint64_t>(status.st_size);
}

void transfer_journal::cut(std::uint64_t taken, const std::vector<journal_entry>& keep) const {
    if (taken == 0 && keep.empty()) return;
    const descriptor file(::open(path_.c_str(), O_RDONLY | O_CLOEXEC));
    if (!file && errno != ENOENT) throw journal_failure("open", path_);
    std::string bytes;
    if (file) {
        lock(file.get(), LOCK_EX, path_);
        struct stat opened {};
        if (!still_named(file.get(), path_, opened)) return;
        bytes = read_all(file.get(), path_);
    }
    // Shorter than what was read: not the journal that was taken in.
    if (bytes.size() < taken) return;
    std::string kept;
    for (const journal_entry& entry : keep) kept += encode_entry(entry);
    const std::string remaining = kept + bytes.substr(taken);
    if (remaining == bytes) return;
    if (remaining.empty()) {
        if (::unlink(path_.c_str()) != 0 && errno != ENOENT) throw journal_failure("unlink", path_);
    } else {
        const fs::path staging(path_.native() + ".tmp");
        {
            const descriptor written(
                ::open(staging.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
            if (!written) throw journal_failure("open", staging);
            write_all(written.get(), remaining, staging);
            if (::fsync(written.get()) != 0) throw journal_failure("fsync", staging);
        }
        if (::rename(staging.c_str(), path_.c_str()) != 0) throw journal_failure("rename", path_);
    }
    sync_folder(path_.parent_path());
}

}  // namespace syncer

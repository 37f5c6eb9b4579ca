#include "journal.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <system_error>

#include "win/machine.h"

namespace win_detail {

namespace {

bool needs_escape(unsigned char c) {
    return c <= 0x20 || c == '%' || c == 0x7F;
}

std::string encode_field(const std::string& field) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : field) {
        if (needs_escape(c)) {
            out += '%';
            out += digits[c >> 4];
            out += digits[c & 0xF];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

int hex_value(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

std::optional<std::string> decode_field(std::string_view field) {
    std::string out;
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] != '%') {
            out += field[i];
            continue;
        }
        if (i + 2 >= field.size()) return std::nullopt;
        const int high = hex_value(field[i + 1]);
        const int low = hex_value(field[i + 2]);
        if (high < 0 || low < 0) return std::nullopt;
        out += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return out;
}

std::optional<std::vector<std::string>> decode_record(std::string_view line) {
    std::vector<std::string> fields;
    size_t start = 0;
    for (;;) {
        const size_t tab = line.find('\t', start);
        auto field =
            decode_field(line.substr(start, tab == std::string_view::npos ? tab : tab - start));
        if (!field) return std::nullopt;
        fields.push_back(std::move(*field));
        if (tab == std::string_view::npos) return fields;
        start = tab + 1;
    }
}

// An open journal file locked for the life of the object.
class locked_file {
public:
    locked_file(const std::string& path, int flags, int lock) {
        fd_ = ::open(path.c_str(), flags | O_CLOEXEC, 0644);
        if (fd_ < 0) return;
        while (::flock(fd_, lock) != 0) {
            if (errno != EINTR) {
                ::close(fd_);
                fd_ = -1;
                return;
            }
        }
    }
    ~locked_file() {
        if (fd_ >= 0) ::close(fd_);
    }
    locked_file(const locked_file&) = delete;
    locked_file& operator=(const locked_file&) = delete;

    int fd() const { return fd_; }

private:
    int fd_ = -1;
};

}  // namespace

std::string journal_file(const char* name) {
    // The registry folder sits directly under the machine root.
    const std::filesystem::path root =
        std::filesystem::path(win_machine::registry_dir()).parent_path();
    const std::filesystem::path folder = root / "journal";
    std::error_code ignored;
    std::filesystem::create_directories(folder, ignored);
    return (folder / name).string();
}

void append_journal_record(const std::string& file, const std::vector<std::string>& fields) {
    std::string line;
    for (size_t i = 0; i < fields.size(); ++i) {
        if (i) line += '\t';
        line += encode_field(fields[i]);
    }
    line += '\n';
    locked_file journal(file, O_WRONLY | O_CREAT | O_APPEND, LOCK_EX);
    if (journal.fd() < 0) return;
    size_t done = 0;
    while (done < line.size()) {
        const ssize_t n = ::write(journal.fd(), line.data() + done, line.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        done += static_cast<size_t>(n);
    }
}

std::vector<std::vector<std::string>> read_journal_records(const std::string& file) {
    std::vector<std::vector<std::string>> records;
    locked_file journal(file, O_RDONLY, LOCK_SH);
    if (journal.fd() < 0) return records;
    std::string text;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(journal.fd(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        text.append(buffer, static_cast<size_t>(n));
    }
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
        if (auto record = decode_record(std::string_view(text).substr(start, end - start)))
            records.push_back(std::move(*record));
    }
    return records;
}

std::string hex_field(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "%08x", value);
    return text;
}

std::optional<uint32_t> parse_hex_field(const std::string& text) {
    if (text.empty() || text.size() > 8) return std::nullopt;
    uint32_t value = 0;
    for (char c : text) {
        const int digit = hex_value(c);
        if (digit < 0) return std::nullopt;
        value = value * 16 + static_cast<uint32_t>(digit);
    }
    return value;
}

void clear_journal(const std::string& file) {
    locked_file journal(file, O_WRONLY | O_CREAT, LOCK_EX);
    if (journal.fd() >= 0) (void)::ftruncate(journal.fd(), 0);
}

}  // namespace win_detail

#include "ole_clipboard_store.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>

#include "kernel/resource_bytes.h"
#include "win/machine.h"

namespace win_ole {

namespace {

constexpr uint32_t magic = 0x31424C43;  // "CLB1"
constexpr uint32_t most_formats = 4096;
constexpr uint32_t largest_block = 1u << 30;

std::string store_path() {
    return win_machine::session_dir() + "/ole_clipboard";
}

bool read_block(win_user::resource_reader& in, std::vector<uint8_t>& bytes) {
    uint32_t size = 0;
    if (!in.u32(&size) || size > largest_block || size > in.left()) return false;
    bytes.resize(size);
    return size == 0 || in.bytes(bytes.data(), size);
}

void write_block(win_user::resource_writer& out, const std::vector<uint8_t>& bytes) {
    out.u32(static_cast<uint32_t>(bytes.size()));
    out.bytes(bytes.data(), bytes.size());
}

}  // namespace

std::vector<uint8_t> encode_clipboard(const clipboard_record& record) {
    win_user::resource_writer out;
    out.u32(magic);
    out.u32(static_cast<uint32_t>(record.kind));
    out.u32(static_cast<uint32_t>(record.holder));
    out.u32(static_cast<uint32_t>(record.setting));
    out.u32(static_cast<uint32_t>(record.setting >> 32));
    out.u32(record.persisted ? 1 : 0);
    out.bytes(&record.saved_class, sizeof record.saved_class);
    write_block(out, record.saved);
    out.u32(static_cast<uint32_t>(record.formats.size()));
    for (const stored_format& format : record.formats) {
        out.u32(format.number);
        out.text(format.name);
        out.u32(format.aspect);
        out.u32(static_cast<uint32_t>(format.lindex));
        write_block(out, format.bytes);
    }
    return out.take();
}

std::optional<clipboard_record> decode_clipboard(const uint8_t* data, size_t size) {
    win_user::resource_reader in(data, size);
    clipboard_record record;
    uint32_t value = 0, kind = 0, holder = 0, low = 0, high = 0, persisted = 0, count = 0;
    if (!in.u32(&value) || value != magic || !in.u32(&kind) || kind > 2 || !in.u32(&holder) ||
        !in.u32(&low) || !in.u32(&high) || !in.u32(&persisted) || persisted > 1 ||
        !in.bytes(&record.saved_class, sizeof record.saved_class) ||
        !read_block(in, record.saved) || !in.u32(&count) || count > most_formats)
        return std::nullopt;
    record.kind = static_cast<clipboard_record::state>(kind);
    record.holder = static_cast<int32_t>(holder);
    record.setting = static_cast<uint64_t>(high) << 32 | low;
    record.persisted = persisted == 1;
    for (uint32_t i = 0; i < count; ++i) {
        stored_format format;
        uint32_t lindex = 0;
        if (!in.u32(&format.number) || !in.text(&format.name) || !in.u32(&format.aspect) ||
            !in.u32(&lindex) || !read_block(in, format.bytes))
            return std::nullopt;
        // A registered format has a name; a predefined one a number below
        // the registered range.
        if ((format.number == 0) == format.name.empty() || format.number >= 0xC000)
            return std::nullopt;
        format.lindex = static_cast<int32_t>(lindex);
        record.formats.push_back(std::move(format));
    }
    if (!in.at_end()) return std::nullopt;
    return record;
}

clipboard_record read_session_clipboard() {
    std::ifstream in(store_path(), std::ios::binary);
    if (!in) return {};
    const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in),
                                     std::istreambuf_iterator<char>()};
    return decode_clipboard(bytes.data(), bytes.size()).value_or(clipboard_record{});
}

void write_session_clipboard(const clipboard_record& record) {
    const std::string path = store_path();
    const std::string temporary = path + "." + std::to_string(getpid()) + ".tmp";
    const std::vector<uint8_t> bytes = encode_clipboard(record);
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) return;
    size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t put = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (put <= 0) break;
        written += static_cast<size_t>(put);
    }
    ::close(fd);
    if (written != bytes.size() || ::rename(temporary.c_str(), path.c_str()) != 0)
        ::unlink(temporary.c_str());
}

}  // namespace win_ole

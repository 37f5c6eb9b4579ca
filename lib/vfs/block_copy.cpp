#include "vfs/block_copy.h"

#include <algorithm>
#include <climits>

namespace vfs {

short_write::short_write(std::size_t written, std::size_t length)
    : text_(L"only " + std::to_wstring(written) + L" of " + std::to_wstring(length) +
            L" bytes were written") {}

std::wstring short_write::get_title() const {
    return L"Write failed";
}

std::wstring short_write::get_text() const {
    return text_;
}

void write_all(file& sink, const char* block, std::size_t length, std::size_t& written) {
    while (written < length) {
        // A write call takes an int count: a larger rest goes in pieces.
        const int offered = static_cast<int>(std::min<std::size_t>(length - written, INT_MAX));
        const int taken = sink.write(block + written, offered);
        if (taken <= 0) throw short_write(written, length);
        written += static_cast<std::size_t>(taken);
    }
}

copy_result copy_blocks(const block_copy& copy, std::span<char> buffer) {
    copy_result result;
    for (;;) {
        const std::optional<std::size_t> count =
            copy.read(buffer.data(), buffer.size(), result.copied);
        if (!count) {
            result.end = copy_end::gave_up;
            return result;
        }
        if (*count == 0) return result;
        const std::size_t block = std::min(*count, buffer.size());
        std::size_t taken = 0;
        if (!copy.write(buffer.data(), block, result.copied, taken)) {
            result.end = copy_end::gave_up;
            return result;
        }
        result.copied += block;
        if (copy.progress) copy.progress(result.copied, block);
        if (copy.cancelled && copy.cancelled()) {
            result.end = copy_end::cancelled;
            return result;
        }
    }
}

}  // namespace vfs

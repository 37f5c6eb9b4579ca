#include "crypt/base64.h"

#include <cstdint>

namespace cm_crypt {

namespace {

bool in_alphabet(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' ||
           c == '/';
}

std::uint32_t value_of(char c) {
    if (c >= 'A' && c <= 'Z') return static_cast<std::uint32_t>(c - 'A');
    if (c >= 'a' && c <= 'z') return static_cast<std::uint32_t>(c - 'a' + 26);
    if (c >= '0' && c <= '9') return static_cast<std::uint32_t>(c - '0' + 52);
    if (c == '+') return 62;
    if (c == '/') return 63;
    return 0;
}

// Appends bytes to the caller's buffer without passing its end.
class output {
public:
    output(unsigned char* buffer, std::size_t size) : buffer_(buffer), size_(size) {}

    void put(std::uint32_t accumulator, int shift) {
        if (written_ < size_)
            buffer_[written_++] = static_cast<unsigned char>(accumulator >> shift);
    }
    std::size_t written() const { return written_; }

private:
    unsigned char* buffer_;
    std::size_t size_;
    std::size_t written_ = 0;
};

}  // namespace

std::size_t base64_decoded_size_limit(std::size_t text_length) {
    // Three bytes per whole group; a last group of two or three characters
    // may still end in "=" and so complete one more byte.
    return text_length / 4 * 3 + (text_length % 4 >= 2 ? 1 : 0);
}

bool base64_decodes_whole(const std::string& text) {
    if (text.size() % 4 != 0) return false;
    // Padding takes at most the last two places, and only from the end.
    std::size_t padding = 0;
    while (padding < 2 && padding < text.size() && text[text.size() - 1 - padding] == '=')
        ++padding;
    for (std::size_t index = 0; index < text.size() - padding; ++index) {
        if (!in_alphabet(text[index])) return false;
    }
    return true;
}

std::size_t base64_decode(const std::string& text, unsigned char* buffer, std::size_t size) {
    output out(buffer, size);
    std::uint32_t accumulator = 0;
    for (std::size_t index = 0; index < text.size(); ++index) {
        const int position = static_cast<int>(index % 4);
        if (text[index] == '=') {
            // The characters before "=" in its group complete one byte or
            // two; a group that starts with "=" completes nothing.
            if (position >= 1) out.put(accumulator, 16);
            if (position == 3) out.put(accumulator, 8);
            break;
        }
        accumulator |= value_of(text[index]) << (18 - 6 * position);
        if (position == 3) {
            out.put(accumulator, 16);
            out.put(accumulator, 8);
            out.put(accumulator, 0);
            accumulator = 0;
        }
    }
    return out.written();
}

}  // namespace cm_crypt

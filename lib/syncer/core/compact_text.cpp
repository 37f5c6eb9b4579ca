#include "syncer/core/compact_text.h"

#include <cstring>
#include <new>

namespace syncer {

namespace {

// A longer text's block: its length, then its bytes.
struct block_header {
    std::size_t length;
};

}  // namespace

compact_text& compact_text::operator=(const compact_text& other) {
    if (this != &other) *this = other.view();
    return *this;
}

compact_text& compact_text::operator=(compact_text&& other) noexcept {
    if (this != &other) {
        release();
        word_ = other.word_;
        other.word_ = 0;
    }
    return *this;
}

compact_text& compact_text::operator=(std::string_view text) {
    // The text may lie in this object's own block or word: copied first.
    compact_text copy(text);
    return *this = std::move(copy);
}

std::string_view compact_text::view() const {
    if (word_ == 0) return {};
    if (is_inline()) {
        const auto* bytes = reinterpret_cast<const char*>(&word_);
        return {bytes + 1, static_cast<std::size_t>((word_ & 0xFFu) >> 1)};
    }
    const auto* header = reinterpret_cast<const block_header*>(word_);
    return {reinterpret_cast<const char*>(header + 1), header->length};
}

void compact_text::assign(std::string_view text) {
    word_ = 0;
    if (text.empty()) return;
    if (text.size() <= inline_capacity) {
        std::uintptr_t word = (text.size() << 1) | 1u;
        std::memcpy(reinterpret_cast<char*>(&word) + 1, text.data(), text.size());
        word_ = word;
        return;
    }
    void* block = ::operator new(sizeof(block_header) + text.size());
    auto* header = static_cast<block_header*>(block);
    header->length = text.size();
    std::memcpy(header + 1, text.data(), text.size());
    word_ = reinterpret_cast<std::uintptr_t>(block);
}

void compact_text::release() noexcept {
    if (word_ != 0 && !is_inline()) ::operator delete(reinterpret_cast<void*>(word_));
    word_ = 0;
}

}  // namespace syncer

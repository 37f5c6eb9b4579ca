// A short byte text held in one machine word: up to seven bytes in the word
// itself, longer texts in a block of their own. Records kept by the hundred
// thousand (the scan's candidates and the item tables) carry one each, most
// of them empty or a few digits long.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace syncer {

class compact_text {
public:
    static constexpr std::size_t inline_capacity = 7;

    compact_text() = default;
    explicit compact_text(std::string_view text) { assign(text); }
    compact_text(const compact_text& other) { assign(other.view()); }
    compact_text(compact_text&& other) noexcept : word_(other.word_) { other.word_ = 0; }
    compact_text& operator=(const compact_text& other);
    compact_text& operator=(compact_text&& other) noexcept;
    compact_text& operator=(std::string_view text);
    ~compact_text() { release(); }

    bool empty() const { return word_ == 0; }
    // Valid while this object lives unchanged.
    std::string_view view() const;
    std::string str() const { return std::string(view()); }

    friend bool operator==(const compact_text& first, const compact_text& second) {
        return first.view() == second.view();
    }

private:
    // The word holds nothing (0), a pointer to a block (its lowest bit clear:
    // blocks are aligned), or, with the lowest bit set, the length in the
    // lowest byte's upper bits and the bytes in the word's other bytes.
    static_assert(std::endian::native == std::endian::little);
    static_assert(sizeof(std::uintptr_t) == 8);

    void assign(std::string_view text);
    void release() noexcept;
    bool is_inline() const { return (word_ & 1u) != 0; }

    std::uintptr_t word_ = 0;
};

}  // namespace syncer

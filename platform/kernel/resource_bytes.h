// Writing and reading the resource formats the windowing side builds in
// code (dialog and menu templates): little-endian numbers and UTF-8 texts
// with a 32-bit byte count. The reader checks every length, since resource
// bytes may come from anywhere.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "wide_text.h"

namespace win_user {

class resource_writer {
public:
    void bytes(const void* data, size_t size) {
        const auto* p = static_cast<const uint8_t*>(data);
        out_.insert(out_.end(), p, p + size);
    }
    void u16(uint16_t v) {
        for (int i = 0; i < 2; ++i) out_.push_back(static_cast<uint8_t>(v >> (8 * i)));
    }
    void u32(uint32_t v) {
        for (int i = 0; i < 4; ++i) out_.push_back(static_cast<uint8_t>(v >> (8 * i)));
    }
    void text(const std::wstring& t) {
        const std::string utf8 = win_detail::to_utf8(t);
        u32(static_cast<uint32_t>(utf8.size()));
        bytes(utf8.data(), utf8.size());
    }
    std::vector<uint8_t> take() { return std::move(out_); }

private:
    std::vector<uint8_t> out_;
};

class resource_reader {
public:
    static constexpr uint32_t longest_text = 1u << 20;

    resource_reader(const void* data, size_t size)
        : p_(static_cast<const uint8_t*>(data)), left_(size) {}

    bool bytes(void* out, size_t size) {
        if (!p_ || size > left_) return false;
        std::memcpy(out, p_, size);
        p_ += size;
        left_ -= size;
        return true;
    }
    bool u16(uint16_t* v) {
        uint8_t b[2];
        if (!bytes(b, 2)) return false;
        *v = static_cast<uint16_t>(b[0] | b[1] << 8);
        return true;
    }
    bool i16(short* v) {
        uint16_t u;
        if (!u16(&u)) return false;
        *v = static_cast<short>(u);
        return true;
    }
    bool u32(uint32_t* v) {
        uint8_t b[4];
        if (!bytes(b, 4)) return false;
        *v = static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 |
             static_cast<uint32_t>(b[2]) << 16 | static_cast<uint32_t>(b[3]) << 24;
        return true;
    }
    bool text(std::wstring* t) {
        uint32_t size;
        if (!u32(&size) || size > longest_text || size > left_) return false;
        *t = win_detail::from_utf8(std::string_view(reinterpret_cast<const char*>(p_), size));
        p_ += size;
        left_ -= size;
        return true;
    }
    bool at_end() const { return left_ == 0; }
    size_t left() const { return left_; }

private:
    const uint8_t* p_;
    size_t left_;
};

}  // namespace win_user

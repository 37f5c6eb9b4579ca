// Streams over an open file descriptor, for settings files read and written
// a piece at a time. A failed read or write is remembered, so the caller can
// tell a whole transfer from one cut short.
#pragma once

#include <array>
#include <streambuf>

namespace serializer {

class descriptor_output : public std::streambuf {
public:
    explicit descriptor_output(int fd) : fd_(fd) {
        setp(buffer_.data(), buffer_.data() + buffer_.size());
    }
    ~descriptor_output() override = default;

    // Writes what is buffered; false when a write failed now or before.
    bool flush_all();
    bool failed() const { return failed_; }

protected:
    int_type overflow(int_type next) override;
    int sync() override { return flush_all() ? 0 : -1; }

private:
    int fd_;
    bool failed_ = false;
    std::array<char, 65536> buffer_{};
};

class descriptor_input : public std::streambuf {
public:
    explicit descriptor_input(int fd) : fd_(fd) {
        setg(buffer_.data(), buffer_.data(), buffer_.data());
    }

    bool failed() const { return failed_; }

protected:
    int_type underflow() override;

private:
    int fd_;
    bool failed_ = false;
    std::array<char, 65536> buffer_{};
};

}  // namespace serializer

#include "serializer/descriptor_stream.h"

#include <unistd.h>

#include <cerrno>

namespace serializer {

bool descriptor_output::flush_all() {
    for (char* at = pbase(); at < pptr();) {
        const ssize_t put = ::write(fd_, at, static_cast<std::size_t>(pptr() - at));
        if (put < 0) {
            if (errno == EINTR) continue;
            failed_ = true;
            break;
        }
        at += put;
    }
    setp(buffer_.data(), buffer_.data() + buffer_.size());
    return !failed_;
}

descriptor_output::int_type descriptor_output::overflow(int_type next) {
    if (!flush_all()) return traits_type::eof();
    if (!traits_type::eq_int_type(next, traits_type::eof())) {
        *pptr() = traits_type::to_char_type(next);
        pbump(1);
    }
    return traits_type::not_eof(next);
}

descriptor_input::int_type descriptor_input::underflow() {
    if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
    for (;;) {
        const ssize_t got = ::read(fd_, buffer_.data(), buffer_.size());
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) failed_ = true;
        if (got <= 0) return traits_type::eof();
        setg(buffer_.data(), buffer_.data(), buffer_.data() + got);
        return traits_type::to_int_type(*gptr());
    }
}

}  // namespace serializer

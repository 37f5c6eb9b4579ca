// The exceptions of the utils layer and the message convention every
// exception of the library follows: one narrow text made of the signature of
// the throwing function, ": ", and the message.
#pragma once

#include <exception>
#include <string>

namespace utils {

class utils_exception : public std::exception {
public:
    utils_exception(const std::string& context, const std::string& message)
        : text_(context + ": " + message) {}

    const char* what() const noexcept override { return text_.c_str(); }

private:
    std::string text_;
};

// A failed system call: "<call> call returned error: <system text>" with an
// error code, "<call> call returned error" without one.
class system_error_exception : public utils_exception {
public:
    system_error_exception(const std::string& context, const std::string& call);
    system_error_exception(const std::string& context, const std::string& call, int error_code);

    // The system's text for an error code, with its trailing line break, or
    // "Unknown error" when the system has none.
    static std::string format_message(int error_code);
};

}  // namespace utils

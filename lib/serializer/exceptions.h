// Failures of the settings-file format and store. Like every exception of the
// library, each carries one text: the signature of the throwing function,
// ": ", then the message.
#pragma once

#include <exception>
#include <string>

namespace serializer {

class serializer_exception : public std::exception {
public:
    serializer_exception(const std::string& context, const std::string& message)
        : text_(context + ": " + message) {}

    const char* what() const noexcept override { return text_.c_str(); }

private:
    std::string text_;
};

// Text that is not a well-formed node.
class wrong_format_exception : public serializer_exception {
public:
    using serializer_exception::serializer_exception;
};

}  // namespace serializer

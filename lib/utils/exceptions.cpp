#include "utils/exceptions.h"

#include "win/base.h"

namespace utils {

system_error_exception::system_error_exception(const std::string& context, const std::string& call)
    : utils_exception(context, call + " call returned error") {}

system_error_exception::system_error_exception(const std::string& context, const std::string& call,
                                               int error_code)
    : utils_exception(context, call + " call returned error: " + format_message(error_code)) {}

std::string system_error_exception::format_message(int error_code) {
    char buffer[1024] = {};
    const DWORD length =
        FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                       static_cast<DWORD>(error_code), MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                       buffer, sizeof buffer, nullptr);
    if (length == 0) return "Unknown error";
    return std::string(buffer, length);
}

}  // namespace utils

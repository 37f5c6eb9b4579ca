#include "syncer/core/exceptions.h"

#include <utf8.h>

#include <iterator>

namespace syncer {

std::string to_utf8(const std::wstring& text) {
    constexpr char32_t replacement = 0xFFFD;
    std::string bytes;
    bytes.reserve(text.size());
    for (const wchar_t character : text) {
        const auto code_point = static_cast<char32_t>(character);
        const bool valid = code_point <= 0x10FFFF && (code_point < 0xD800 || code_point > 0xDFFF);
        utf8::append(valid ? code_point : replacement, std::back_inserter(bytes));
    }
    return bytes;
}

busy_exception::busy_exception(const std::string& context, const std::wstring& message)
    : syncer_exception(context, to_utf8(message)) {}

create_directory_exception::create_directory_exception(const std::string& context,
                                                       const boost::filesystem::path& path)
    : syncer_exception(context, path.string() + " can not be created") {}

binding_not_found_exception::binding_not_found_exception(const std::string& context,
                                                         const std::wstring& binding_text)
    : syncer_exception(context, to_utf8(binding_text) + " can not be found") {}

task_not_found_exception::task_not_found_exception(const std::string& context,
                                                   const std::wstring& task_description)
    : syncer_exception(context, to_utf8(task_description) + " can not be found") {}

duplicated_binding_exception::duplicated_binding_exception(const std::string& context,
                                                           const std::wstring& binding_text)
    : syncer_exception(context, to_utf8(binding_text) + " is duplicated") {}

}  // namespace syncer

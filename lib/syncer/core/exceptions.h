// The failures of the sync engine. Like every exception of the library, each
// carries one narrow text: the signature of the raising function, ": ", then
// the message; wide texts in messages are converted to UTF-8.
#pragma once

#include <boost/filesystem/path.hpp>
#include <exception>
#include <string>

namespace syncer {

class syncer_exception : public std::exception {
public:
    syncer_exception(const std::string& context, const std::string& message)
        : text_(context + ": " + message) {}

    const char* what() const noexcept override { return text_.c_str(); }

private:
    std::string text_;
};

// The manager's task list is in use; the caller tries again later.
class busy_exception : public syncer_exception {
public:
    busy_exception(const std::string& context, const std::wstring& message);
};

// "<path> can not be created"
class create_directory_exception : public syncer_exception {
public:
    create_directory_exception(const std::string& context, const boost::filesystem::path& path);
};

// "<binding text> can not be found"
class binding_not_found_exception : public syncer_exception {
public:
    binding_not_found_exception(const std::string& context, const std::wstring& binding_text);
};

// "<task description> can not be found"
class task_not_found_exception : public syncer_exception {
public:
    task_not_found_exception(const std::string& context, const std::wstring& task_description);
};

// "<binding text> is duplicated"
class duplicated_binding_exception : public syncer_exception {
public:
    duplicated_binding_exception(const std::string& context, const std::wstring& binding_text);
};

// Wide text as UTF-8 for exception messages; a character that is not a
// Unicode code point becomes U+FFFD, so building a message never fails.
std::string to_utf8(const std::wstring& text);

}  // namespace syncer

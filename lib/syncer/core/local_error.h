// The failure of a local file operation of the engine (a task's, the
// journal's): its text is the failure's own description, as the task
// records it.
#pragma once

#include <string>
#include <utility>

namespace syncer {

class local_error {
public:
    explicit local_error(std::wstring text) : text_(std::move(text)) {}
    const std::wstring& text() const { return text_; }

private:
    std::wstring text_;
};

// Text of a library exception (UTF-8) as a wide string; byte sequences that
// are not UTF-8 become U+FFFD.
std::wstring decode_utf8(const std::string& text);

}  // namespace syncer

#include "error_text.h"

#include <utf8.h>

#include <iterator>

std::wstring ErrorTextOf(const std::exception& failure) {
    const std::string bytes = failure.what();
    std::string valid;
    utf8::replace_invalid(bytes.begin(), bytes.end(), std::back_inserter(valid));
    std::wstring text;
    utf8::utf8to32(valid.begin(), valid.end(), std::back_inserter(text));
    return text;
}

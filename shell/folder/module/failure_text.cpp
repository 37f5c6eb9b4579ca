#include "folder/module/failure_text.h"

#include <utf8.h>

#include <exception>
#include <iterator>

#include "vfs/exceptions.h"

std::wstring text_from_utf8(const std::string& bytes) {
    std::string valid;
    utf8::replace_invalid(bytes.begin(), bytes.end(), std::back_inserter(valid));
    std::wstring text;
    utf8::utf8to32(valid.begin(), valid.end(), std::back_inserter(text));
    return text;
}

failure_text current_failure() {
    try {
        throw;
    } catch (const vfs::exception& failure) {
        return {failure.get_title(), failure.get_text()};
    } catch (const std::exception& failure) {
        return {L"Error", text_from_utf8(failure.what())};
    } catch (...) {
        return {L"Error", L"Unknown error"};
    }
}

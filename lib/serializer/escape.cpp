#include "serializer/escape.h"

#include <utf8.h>

#include <boost/algorithm/string/replace.hpp>
#include <cstdint>
#include <iterator>

#include "serializer/exceptions.h"

namespace serializer {

std::string escape(const std::wstring& text) {
    std::string bytes;
    bytes.reserve(text.size());
    try {
        for (const wchar_t character : text) {
            if (character >= 0 && character < 0x80) {
                if (character == L'\\' || character == L'<' || character == L'>') bytes += '\\';
                bytes += static_cast<char>(character);
            } else {
                utf8::append(static_cast<std::uint32_t>(character), std::back_inserter(bytes));
            }
        }
    } catch (const utf8::exception&) {
        throw serializer_exception(__PRETTY_FUNCTION__, "Incorrect text encoding");
    }
    return bytes;
}

std::wstring unescape(const std::string& bytes) {
    std::wstring text;
    try {
        utf8::utf8to32(bytes.begin(), bytes.end(), std::back_inserter(text));
    } catch (const utf8::exception&) {
        throw wrong_format_exception(__PRETTY_FUNCTION__, "Incorrect text encoding");
    }
    if (text.find(L'\\') == std::wstring::npos) return text;
    // Three separate passes, in this order: the inverse of escape().
    boost::algorithm::replace_all(text, L"\\<", L"<");
    boost::algorithm::replace_all(text, L"\\>", L">");
    boost::algorithm::replace_all(text, L"\\\\", L"\\");
    return text;
}

std::string read_token(std::istream& in) {
    std::string token;
    bool escaped = false;
    for (;;) {
        const int next = in.peek();
        if (next == std::char_traits<char>::eof() || next == 0xFF) break;
        if (!escaped && (next == '<' || next == '>')) break;
        token.push_back(static_cast<char>(in.get()));
        escaped = !escaped && next == '\\';
    }
    return token;
}

}  // namespace serializer

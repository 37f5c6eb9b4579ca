#include "serializer/node.h"

#include <climits>
#include <cwctype>

#include "serializer/escape.h"

namespace serializer {

namespace {

// Consumes the next byte and tells whether it is the expected one; false at
// the end of the stream.
bool consume(std::istream& in, char expected) {
    const int next = in.get();
    return next != std::char_traits<char>::eof() && next == static_cast<unsigned char>(expected);
}

// Leading blanks, an optional sign, then at least one digit; nothing when the
// text does not start so or the number does not fit.
bool parse_int(const std::wstring& text, int& result) {
    std::size_t at = 0;
    while (at < text.size() && std::iswspace(static_cast<wint_t>(text[at]))) ++at;
    bool negative = false;
    if (at < text.size() && (text[at] == L'+' || text[at] == L'-')) negative = text[at++] == L'-';
    if (at == text.size() || text[at] < L'0' || text[at] > L'9') return false;
    long long magnitude = 0;
    const long long limit = negative ? -static_cast<long long>(INT_MIN) : INT_MAX;
    for (; at < text.size() && text[at] >= L'0' && text[at] <= L'9'; ++at) {
        magnitude = magnitude * 10 + (text[at] - L'0');
        if (magnitude > limit) return false;
    }
    result = static_cast<int>(negative ? -magnitude : magnitude);
    return true;
}

bool is_code_point(wchar_t character) {
    return character >= 0 && character <= 0x10FFFF && (character < 0xD800 || character > 0xDFFF);
}

// After the "<" that opens a child, a "/" starts a closing tag instead; and
// the text is written as UTF-8, which only code points have.
void check_child_name(const std::wstring& name, const char* context) {
    if (!name.empty() && name.front() == L'/')
        throw serializer_exception(context, "Child name can not start with \"/\"");
    for (const wchar_t character : name) {
        if (!is_code_point(character))
            throw serializer_exception(context, "Child name is not Unicode text");
    }
}

}  // namespace

node::node(const std::wstring& name, const std::wstring& value) : name(name), value(value) {}

node::node(std::istream& in) {
    deserialize(in);
}

node::iterator node::add(const std::wstring& child_name, const std::wstring& child_value) {
    check_child_name(child_name, __PRETTY_FUNCTION__);
    return insert(value_type(child_name, node(child_name, child_value)));
}

node::iterator node::add(const node& child) {
    check_child_name(child.name, __PRETTY_FUNCTION__);
    return insert(value_type(child.name, child));
}

void node::set(const std::wstring& child_name, const std::wstring& child_value) {
    check_child_name(child_name, __PRETTY_FUNCTION__);
    const auto found = find(child_name);
    if (found == end())
        add(child_name, child_value);
    else
        found->second.value = child_value;
}

void node::set(const std::wstring& child_name, int child_value) {
    set(child_name, std::to_wstring(child_value));
}

std::wstring node::get(const std::wstring& child_name, const std::wstring& default_value) const {
    const auto found = find(child_name);
    return found == end() ? default_value : found->second.value;
}

int node::get(const std::wstring& child_name, int default_value) const {
    const auto found = find(child_name);
    int result = default_value;
    if (found == end() || !parse_int(found->second.value, result)) return default_value;
    return result;
}

bool node::operator==(const node& other) const {
    if (name != other.name || value != other.value || size() != other.size()) return false;
    for (auto mine = begin(), theirs = other.begin(); mine != end(); ++mine, ++theirs) {
        if (mine->first != theirs->first || !(mine->second == theirs->second)) return false;
    }
    return true;
}

void node::serialize(std::ostream& out) const {
    std::string text;
    write(text, 1, __PRETTY_FUNCTION__);
    out << text;
}

void node::write(std::string& text, int depth, const char* context) const {
    if (depth > max_depth) throw serializer_exception(context, "Incorrect object nesting depth");

    write_open(text);
    for (const auto& child : *this) {
        check_child_name(child.second.name, context);
        child.second.write(text, depth + 1, context);
    }
    write_close(text);
}

void node::write_open(std::string& text) const {
    text += '<';
    text += escape(name);
    text += '>';
    text += escape(value);
}

void node::write_close(std::string& text) const {
    text += "</";
    text += escape(name);
    text += '>';
}

void node::serialize_children(std::ostream& out,
                              const std::function<void(const child_emitter&)>& produce) const {
    std::string text;
    write_open(text);
    out << text;
    produce([&](const node& child) {
        check_child_name(child.name, __PRETTY_FUNCTION__);
        text.clear();
        child.write(text, 2, __PRETTY_FUNCTION__);
        out << text;
    });
    text.clear();
    write_close(text);
    out << text;
}

void node::deserialize(std::istream& in) {
    read(in, 1, __PRETTY_FUNCTION__);
}

void node::read(std::istream& in, int depth, const char* context) {
    read_head(in, depth, context);
    read_children(in, depth, context, [this](node&& child) {
        std::wstring key = child.name;
        insert(value_type(std::move(key), std::move(child)));
    });
}

void node::read_children(std::istream& in, int depth, const char* context,
                         const child_handler& each_child) {
    for (;;) {
        if (in.peek() == '/') {
            in.get();
            if (unescape(read_token(in)) != name)
                throw wrong_format_exception(context, "Incorrect object close tag name");
            if (!consume(in, '>'))
                throw wrong_format_exception(context, "Incorrect object close tag syntax");
            return;
        }
        node child;
        child.read(in, depth + 1, context);
        each_child(std::move(child));
        if (!consume(in, '<'))
            throw wrong_format_exception(context, "Incorrect object subitem syntax");
    }
}

void node::read_head(std::istream& in, int depth, const char* context) {
    if (depth > max_depth) throw wrong_format_exception(context, "Incorrect object nesting depth");

    if (in.peek() == '<') in.get();
    name = unescape(read_token(in));
    if (!consume(in, '>')) throw wrong_format_exception(context, "Incorrect object name syntax");
    value = unescape(read_token(in));
    if (!consume(in, '<')) throw wrong_format_exception(context, "Incorrect object value syntax");
    clear();
}

void node::deserialize_children(std::istream& in, const child_handler& each_child) {
    read_head(in, 1, __PRETTY_FUNCTION__);
    read_children(in, 1, __PRETTY_FUNCTION__, each_child);
}

}  // namespace serializer

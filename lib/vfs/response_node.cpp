#include "vfs/response_node.h"

#include <algorithm>
#include <string_view>

#include "vfs/calvimora_exception.h"

namespace vfs_calvimora {

namespace {

struct tag {
    std::size_t open;   // position of "<"
    std::size_t close;  // position of ">"
    bool closing;
};

[[noreturn]] void parse_failure() {
    throw exception(L"Parse error", L"Server side error");
}

bool is_delimiter(wchar_t character) {
    return character == L'<' || character == L'>';
}

// The number of backslashes right before position at, counting no further
// back than start.
std::size_t backslashes_before(const std::wstring& text, std::size_t start, std::size_t at) {
    std::size_t count = 0;
    while (at - count > start && text[at - count - 1] == L'\\') {
        ++count;
    }
    return count;
}

// The first delimiter at or after start that is not escaped: an odd number
// of backslashes right before a delimiter escapes it, each pair of them
// stands for one backslash. A delimiter right at start is taken whatever
// precedes it.
std::size_t find_delimiter(const std::wstring& text, wchar_t delimiter, std::size_t start) {
    for (std::size_t at = text.find(delimiter, start); at != std::wstring::npos;
         at = text.find(delimiter, at + 1)) {
        if (backslashes_before(text, start, at) % 2 == 0) {
            return at;
        }
    }
    parse_failure();
}

tag read_tag(const std::wstring& text, std::size_t start) {
    tag found;
    found.open = find_delimiter(text, L'<', start);
    found.close = find_delimiter(text, L'>', found.open);
    found.closing = found.close - found.open >= 2 && text[found.open + 1] == L'/';
    return found;
}

// A name or text as it stands between two delimiters. Backslashes that do
// not come before a delimiter, or before the end (where the delimiter that
// ends the text follows), are plain characters.
std::wstring unescape(std::wstring_view raw) {
    std::wstring text;
    text.reserve(raw.size());
    for (std::size_t at = 0; at < raw.size();) {
        if (raw[at] != L'\\') {
            const std::size_t plain_end = std::min(raw.find(L'\\', at), raw.size());
            text.append(raw.substr(at, plain_end - at));
            at = plain_end;
            continue;
        }
        std::size_t run = 0;
        while (at + run < raw.size() && raw[at + run] == L'\\') {
            ++run;
        }
        const bool at_end = at + run == raw.size();
        const bool before_delimiter = !at_end && is_delimiter(raw[at + run]);
        text.append(at_end || before_delimiter ? run / 2 : run, L'\\');
        at += run;
        if (before_delimiter && run % 2 == 1) {
            text += raw[at++];
        }
    }
    return text;
}

// The inverse of unescape: a delimiter gets a backslash, and backslashes
// before a delimiter or before the end are doubled.
std::wstring escape(const std::wstring& text) {
    std::wstring raw;
    raw.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        if (is_delimiter(text[at])) {
            raw += L'\\';
            raw += text[at++];
            continue;
        }
        if (text[at] != L'\\') {
            raw += text[at++];
            continue;
        }
        std::size_t run = 0;
        while (at + run < text.size() && text[at + run] == L'\\') {
            ++run;
        }
        const bool before_delimiter = at + run == text.size() || is_delimiter(text[at + run]);
        raw.append(before_delimiter ? 2 * run : run, L'\\');
        at += run;
    }
    return raw;
}

// Parses the element whose opening tag was read into node; returns the
// position after its closing tag.
std::size_t parse_element(const std::wstring& text, const tag& opening, int depth,
                          response_node& node) {
    if (depth > max_response_depth) {
        parse_failure();
    }
    const std::wstring_view whole(text);
    node.name = unescape(whole.substr(opening.open + 1, opening.close - opening.open - 1));
    node.kind = response_node::text_node;
    std::size_t position = opening.close + 1;
    for (;;) {
        const tag next = read_tag(text, position);
        if (next.closing) {
            if (node.is_leaf()) {
                node.text =
                    unescape(whole.substr(opening.close + 1, next.open - opening.close - 1));
            }
            return next.close + 1;
        }
        node.kind = response_node::element;
        node.children.emplace_back();
        position = parse_element(text, next, depth + 1, node.children.back());
    }
}

std::vector<response_node> children_of_kind(const response_node& node,
                                            response_node::node_kind kind) {
    std::vector<response_node> found;
    for (const auto& child : node.children) {
        if (child.kind == kind) {
            found.push_back(child);
        }
    }
    return found;
}

}  // namespace

response_node::response_node(std::wstring name, std::vector<response_node> children)
    : name(std::move(name)), kind(element), children(std::move(children)) {}

response_node::response_node(std::wstring name, std::wstring text)
    : name(std::move(name)), text(std::move(text)), kind(text_node) {}

std::vector<response_node> response_node::element_children() const {
    return children_of_kind(*this, element);
}

std::vector<response_node> response_node::text_children() const {
    return children_of_kind(*this, text_node);
}

std::wstring response_node::to_xml() const {
    const std::wstring tag_name = escape(name);
    std::wstring out = L"<" + tag_name + L">" + escape(text);
    for (const node_kind pass : {element, text_node}) {
        for (const auto& child : children) {
            if (child.kind == pass) {
                out += child.to_xml();
            }
        }
    }
    return out + L"</" + tag_name + L">";
}

response_node parse_response(const std::wstring& text) {
    response_node root;
    parse_element(text, read_tag(text, 0), 0, root);
    return root;
}

std::wstring find_child_text(const response_node& node, const std::wstring& name) {
    for (const auto& child : node.children) {
        if (child.name == name) {
            return child.text;
        }
    }
    return std::wstring();
}

std::vector<std::reference_wrapper<const response_node>> children_by_name(
    const response_node& node, const std::wstring& name) {
    std::vector<std::reference_wrapper<const response_node>> found;
    for (const auto& child : node.children) {
        if (child.name == name && !child.is_leaf()) {
            found.push_back(child);
        }
    }
    return found;
}

std::wstring trim_char(const std::wstring& text, wchar_t character) {
    const std::size_t first = text.find_first_not_of(character);
    if (first == std::wstring::npos) {
        return std::wstring();
    }
    return text.substr(first, text.find_last_not_of(character) - first + 1);
}

}  // namespace vfs_calvimora

// The tagged-text tree of the service's replies (and of the session's
// Save-As list): elements whose content is either child elements or text.
// A "<" or ">" inside a name or a text is written with a backslash before it;
// backslashes right before such a delimiter, or at the end of a name or a
// text (where a tag's delimiter follows), are written doubled. Other
// backslashes stand for themselves.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace vfs_calvimora {

struct response_node {
    // An element holds child elements; a text node holds a text. A parsed
    // element without child elements (a "leaf") is a text node.
    enum node_kind { element = 0, text_node = 1 };

    response_node() = default;
    // An element node with these children.
    response_node(std::wstring name, std::vector<response_node> children);
    // A text node.
    response_node(std::wstring name, std::wstring text);

    bool is_leaf() const { return kind == text_node; }

    // Copies of the children of that kind, in order.
    std::vector<response_node> element_children() const;
    std::vector<response_node> text_children() const;

    // The node as tagged text: its tag, its text, its element children, its
    // text children, its closing tag; names and texts are escaped, so
    // parse_response gives the tree back (with the element children before
    // the text children). A child whose name starts with "/" would read as a
    // closing tag.
    std::wstring to_xml() const;

    std::wstring name;
    std::wstring text;
    node_kind kind = text_node;
    std::vector<response_node> children;
};

// Parses the first element of the text; whatever precedes its first "<" or
// follows its closing tag is ignored, and a closing tag closes the open
// element whatever name it carries. A missing "<" or ">", or elements nested
// deeper than max_response_depth, throw vfs_calvimora::exception ("Parse
// error", "Server side error").
response_node parse_response(const std::wstring& text);

inline constexpr int max_response_depth = 64;

// The text of the first child of that name ("" when there is none).
std::wstring find_child_text(const response_node& node, const std::wstring& name);

// The children of that name that hold child elements (records), in
// document order; leaf children of that name are left out. The references
// are into the node, which must outlive them.
std::vector<std::reference_wrapper<const response_node>> children_by_name(const response_node& node,
                                                                          const std::wstring& name);

// The text without the given character at either end.
std::wstring trim_char(const std::wstring& text, wchar_t character);

}  // namespace vfs_calvimora

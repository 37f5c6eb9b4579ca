// A named node with a text value and named children: the unit of every
// settings file. Written as tagged text:
//   "<" name ">" value child child ... "</" name ">"
// with no header, attributes or whitespace, escaped with backslashes.
#pragma once

#include <functional>
#include <istream>
#include <map>
#include <ostream>
#include <string>

#include "serializer/exceptions.h"

namespace serializer {

// The children are the multimap itself, keyed by each child's name; children
// of one name keep the order in which they were added.
class node : public std::multimap<std::wstring, node> {
public:
    // Deeper trees are refused when read, so that a hostile file cannot
    // exhaust the stack; settings files are a few levels deep.
    static constexpr int max_depth = 256;

    node() = default;
    node(const std::wstring& name, const std::wstring& value);
    // Reads one node from the stream (see deserialize).
    explicit node(std::istream& in);
    node(const node&) = default;
    node(node&&) = default;
    node& operator=(const node&) = default;
    node& operator=(node&&) = default;
    virtual ~node() = default;

    std::wstring name;
    std::wstring value;

    // Child names the format cannot carry are refused with
    // serializer_exception by add and set: a name starting with "/" (it would
    // read as a closing tag) and a name holding a character that is not a
    // Unicode code point.

    // Always adds a new child, after any existing children of that name.
    iterator add(const std::wstring& name, const std::wstring& value);
    // Adds a copy of the given node under its own name.
    iterator add(const node& child);

    // Changes the value of the first child of that name, or adds one.
    void set(const std::wstring& name, const std::wstring& value);
    void set(const std::wstring& name, int value);

    // The value of the first child of that name, or the default.
    std::wstring get(const std::wstring& name, const std::wstring& default_value) const;
    // The first child's value read as a decimal integer (leading blanks, an
    // optional sign, digits up to the first non-digit), or the default when
    // there is no such child, its value does not start with a number, or the
    // number does not fit in an int.
    int get(const std::wstring& name, int default_value) const;

    // Names, values and children (in order) equal, recursively.
    bool operator==(const node& other) const;

    // Writes the node. A tree that would not read back (a child name the
    // format cannot carry, nesting deeper than max_depth) raises
    // serializer_exception before anything is written.
    void serialize(std::ostream& out) const;
    // Replaces name, value and children with one node read from the stream.
    // Malformed text raises wrong_format_exception; the node is then partly
    // filled and is to be discarded.
    void deserialize(std::istream& in);

    // The same for a tree too large to hold whole, a child of this node at a
    // time: the node's own name and value are read or written here, its
    // children are handed to each_child as each is read, or written as
    // produce hands them to emit, in order. The text is exactly that of the
    // whole tree; the node's own children are not used.
    using child_handler = std::function<void(node&&)>;
    using child_emitter = std::function<void(const node&)>;
    void deserialize_children(std::istream& in, const child_handler& each_child);
    void serialize_children(std::ostream& out,
                            const std::function<void(const child_emitter&)>& produce) const;

private:
    // The name and value of a node, up to its first child or closing tag.
    void read_head(std::istream& in, int depth, const char* context);
    // The children of a node whose name and value were read, up to and with
    // its closing tag.
    void read_children(std::istream& in, int depth, const char* context,
                       const child_handler& each_child);
    void write_open(std::string& text) const;
    void write_close(std::string& text) const;

    // context: the signature of deserialize or serialize, for the exception
    // texts.
    void read(std::istream& in, int depth, const char* context);
    void write(std::string& text, int depth, const char* context) const;
};

}  // namespace serializer

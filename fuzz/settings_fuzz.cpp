// The settings files' tagged text read into a node tree. A tree that was read
// is written back, unless a child name cannot be carried (then the writer
// refuses it), and reads back as the same tree and the same bytes. Read and
// written a child at a time, as large tables are, it is the same tree and
// the same text. A tree made from the input's texts reads back too.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "serializer/node.h"

namespace {

using calvimora_fuzz::require;
using serializer::node;

// A child name starting with "/" reads as a closing tag when written; a
// child opened by two "<" can carry one.
bool has_unwritable_name(const node& tree) {
    for (const auto& [key, child] : tree) {
        require(key == child.name, "a child read under another key than its name");
        if (child.name.starts_with(L"/") || has_unwritable_name(child)) return true;
    }
    return false;
}

std::string written(const node& tree) {
    std::ostringstream out;
    tree.serialize(out);
    return out.str();
}

// Pairs of texts as the names and values of children; a child whose name has
// an odd length takes the children that follow, down to the deepest level
// the reader accepts.
void check_made_tree(const std::vector<std::wstring>& texts) {
    node tree(texts[0], texts.size() > 1 ? texts[1] : L"");
    node* parent = &tree;
    int depth = 1;
    for (std::size_t at = 2; at + 1 < texts.size(); at += 2) {
        try {
            node& child = parent->add(texts[at], texts[at + 1])->second;
            if (texts[at].size() % 2 == 1 && depth < node::max_depth) {
                parent = &child;
                ++depth;
            }
        } catch (const serializer::serializer_exception&) {
            require(texts[at].starts_with(L"/"), "a child name the format carries was refused");
        }
    }
    std::istringstream in(written(tree));
    try {
        require(node(in) == tree, "a made tree reads back as another tree");
    } catch (const serializer::serializer_exception&) {
        require(false, "a made tree does not read back");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    check_made_tree(calvimora_fuzz::texts_of(data, size));

    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    node tree;
    try {
        tree.deserialize(in);
    } catch (const serializer::serializer_exception&) {
        return 0;
    }

    // Read a child at a time, as the large tables are, the input gives the
    // same root and children, and written so it gives the same text.
    std::istringstream by_child(std::string(reinterpret_cast<const char*>(data), size));
    node root;
    node children_read(tree.name, tree.value);
    try {
        root.deserialize_children(by_child, [&](node&& child) { children_read.add(child); });
    } catch (const serializer::serializer_exception&) {
        require(has_unwritable_name(tree), "a tree that was read whole fails a child at a time");
    }
    if (!has_unwritable_name(tree))
        require(root.name == tree.name && root.value == tree.value && children_read == tree,
                "a child at a time reads another tree");

    std::string text;
    try {
        text = written(tree);
    } catch (const serializer::serializer_exception&) {
        require(has_unwritable_name(tree), "a tree that was read cannot be written");
        return 0;
    }
    require(!has_unwritable_name(tree), "a child name that reads as a closing tag was written");

    std::istringstream again(text);
    node reread;
    try {
        reread.deserialize(again);
    } catch (const serializer::serializer_exception&) {
        require(false, "a written tree does not read back");
    }
    require(reread == tree, "a written tree reads back as another tree");
    require(written(reread) == text, "a tree read back is written differently");
    std::ostringstream by_child_text;
    root.serialize_children(by_child_text, [&](const node::child_emitter& emit) {
        for (const auto& [key, child] : tree) emit(child);
    });
    require(by_child_text.str() == text, "a child at a time is written differently");
    return 0;
}

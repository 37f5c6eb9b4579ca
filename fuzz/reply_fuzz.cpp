// The service's replies: UTF-8 bytes decoded and parsed into the reply tree,
// the Error element checked. A tree written back and parsed again gives the
// same tree (with each node's element children before its text children,
// as the writer puts them) and the same text. A list made from the input's
// texts, as the Save-As list is made, parses back too.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "vfs/calvimora_exception.h"
#include "vfs/http_client.h"
#include "vfs/reply_text.h"
#include "vfs/response_node.h"

namespace {

using calvimora_fuzz::require;
using vfs_calvimora::response_node;

response_node grouped(const response_node& node) {
    response_node result = node;
    result.children.clear();
    for (const auto& child : node.element_children()) result.children.push_back(grouped(child));
    for (const auto& child : node.text_children()) result.children.push_back(child);
    return result;
}

bool same_tree(const response_node& one, const response_node& other) {
    if (one.name != other.name || one.text != other.text || one.kind != other.kind ||
        one.children.size() != other.children.size())
        return false;
    for (std::size_t at = 0; at < one.children.size(); ++at) {
        if (!same_tree(one.children[at], other.children[at])) return false;
    }
    return true;
}

// Pairs of texts as the names and texts of an element's text nodes; names
// starting with "/" are left out, as they would read as closing tags.
void check_made_list(const std::vector<std::wstring>& texts) {
    std::vector<response_node> entries;
    for (std::size_t at = 1; at + 1 < texts.size(); at += 2) {
        if (!texts[at].starts_with(L"/")) entries.emplace_back(texts[at], texts[at + 1]);
    }
    // Without children an element reads back as an empty text node.
    if (entries.empty()) return;
    const response_node list(texts[0], entries);
    try {
        require(same_tree(vfs_calvimora::parse_response(list.to_xml()), list),
                "a list parses back as another tree");
    } catch (const vfs_calvimora::exception&) {
        require(false, "a written list does not parse");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    check_made_list(calvimora_fuzz::texts_of(data, size));

    const std::wstring text =
        vfs_calvimora::decode_reply_text(reinterpret_cast<const char*>(data), size);
    response_node tree;
    try {
        tree = vfs_calvimora::parse_response(text);
    } catch (const vfs_calvimora::exception& failure) {
        require(failure.get_title() == L"Parse error", "a parser failure other than Parse error");
        return 0;
    }
    try {
        vfs_calvimora::throw_reply_error(tree, true);
    } catch (const vfs::exception&) {
    }

    const std::wstring written = tree.to_xml();
    response_node again;
    try {
        again = vfs_calvimora::parse_response(written);
    } catch (const vfs_calvimora::exception&) {
        require(false, "a written tree does not parse");
    }
    require(same_tree(again, grouped(tree)), "a written tree parses into another tree");
    require(again.to_xml() == written, "a tree parsed back is written differently");
    return 0;
}

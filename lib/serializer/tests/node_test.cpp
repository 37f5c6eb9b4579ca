#include "serializer/node.h"

#include <gtest/gtest.h>

#include <random>
#include <sstream>

#include "serializer/escape.h"

namespace serializer {
namespace {

std::string to_text(const node& tree) {
    std::ostringstream out;
    tree.serialize(out);
    return out.str();
}

node from_text(const std::string& text) {
    std::istringstream in(text);
    return node(in);
}

TEST(NodeFormat, WritesTagsWithoutAnythingElse) {
    node items(L"sync_items", L"");
    items.add(L"item", L"x");
    EXPECT_EQ(to_text(items), "<sync_items><item>x</item></sync_items>");

    EXPECT_EQ(to_text(node()), "<></>");
    EXPECT_EQ(from_text("<></>"), node());
}

TEST(NodeFormat, EscapesEachSpecialCharacterWithOneBackslash) {
    EXPECT_EQ(escape(L"a<b>c\\"), "a\\<b\\>c\\\\");
    EXPECT_EQ(escape(L"\\<"), "\\\\\\<");
    EXPECT_EQ(unescape("\\\\\\<"), L"\\<");
}

TEST(NodeFormat, RoundTripsAwkwardNamesAndValues) {
    const std::wstring texts[] = {L"<",
                                  L">",
                                  L"\\",
                                  L"ends with \\",
                                  L"\\<",
                                  L"\\\\>\\",
                                  L"<>",
                                  L"caf\u00e9 \u4e2d",
                                  L"\U0001F600 x",
                                  L""};
    node root(L"root \\ <name>", L"value \\");
    for (const auto& text : texts) root.add(text, text);
    const node read = from_text(to_text(root));
    EXPECT_EQ(read, root);
    EXPECT_EQ(read.get(L"\U0001F600 x", L""), L"\U0001F600 x");
    EXPECT_EQ(read.get(L"ends with \\", L""), L"ends with \\");
}

TEST(NodeFormat, OrdersChildrenByNameAndKeepsDuplicatesInOrder) {
    node table(L"sync_bindings", L"");
    table.add(L"next_rules_file_id", L"3");
    table.add(L"binding", L"first");
    table.add(L"binding", L"second");
    EXPECT_EQ(to_text(table),
              "<sync_bindings><binding>first</binding><binding>second</binding>"
              "<next_rules_file_id>3</next_rules_file_id></sync_bindings>");

    const node read = from_text(to_text(table));
    auto binding = read.lower_bound(L"binding");
    ASSERT_NE(binding, read.end());
    EXPECT_EQ(binding->second.value, L"first");
    EXPECT_EQ((++binding)->second.value, L"second");
}

TEST(NodeFormat, AcceptsMissingOrDoubledOpeningBrackets) {
    const node expected = from_text("<a>v<b>w</b></a>");
    EXPECT_EQ(from_text("a>v<b>w</b></a>"), expected);
    EXPECT_EQ(from_text("<a>v<<b>w</b></a>"), expected);
}

TEST(NodeFormat, StopsReadingAfterTheOutermostClosingTag) {
    std::istringstream in("<a></a>rest");
    node read(in);
    std::string rest;
    in >> rest;
    EXPECT_EQ(rest, "rest");
}

struct malformed_case {
    const char* name;
    const char* text;
    const char* context;
    const char* message;
};

const char* const parser = "void serializer::node::deserialize(std::istream&): ";
const char* const decoder = "std::wstring serializer::unescape(const std::string&): ";

class NodeMalformed : public testing::TestWithParam<malformed_case> {};

TEST_P(NodeMalformed, RaisesWrongFormatWithItsMessage) {
    try {
        from_text(GetParam().text);
        FAIL() << "parsed: " << GetParam().text;
    } catch (const wrong_format_exception& e) {
        const std::string what = e.what();
        EXPECT_EQ(what.find(GetParam().context), 0u) << what;
        EXPECT_EQ(what.substr(what.size() - std::string(GetParam().message).size()),
                  GetParam().message);
    }
}

INSTANTIATE_TEST_SUITE_P(
    EveryMessage, NodeMalformed,
    testing::Values(
        malformed_case{"EndInOpeningTag", "<name", parser, "Incorrect object name syntax"},
        malformed_case{"EndAfterValue", "<name>value", parser, "Incorrect object value syntax"},
        malformed_case{"OtherCloseTag", "<a></b>", parser, "Incorrect object close tag name"},
        malformed_case{"CutCloseTag", "<a></a", parser, "Incorrect object close tag syntax"},
        malformed_case{"NoParentCloseTag", "<a><b></b>", parser, "Incorrect object subitem syntax"},
        malformed_case{"ByteFF", "<a>\xff</a>", parser, "Incorrect object value syntax"},
        malformed_case{"BadUtf8", "<a>\xc3\x28</a>", decoder, "Incorrect text encoding"},
        malformed_case{"EncodedSurrogate", "<\xed\xa0\x80></\xed\xa0\x80>", decoder,
                       "Incorrect text encoding"}),
    [](const testing::TestParamInfo<malformed_case>& info) { return info.param.name; });

TEST(NodeMalformedDepth, RefusesTreesNestedTooDeeply) {
    std::string text;
    for (int i = 0; i <= node::max_depth; ++i) text += "<a>";
    EXPECT_THROW(from_text(text), wrong_format_exception);

    std::string deepest_allowed;
    for (int i = 0; i < node::max_depth; ++i) deepest_allowed += "<a>";
    for (int i = 0; i < node::max_depth; ++i) deepest_allowed += "</a>";
    EXPECT_NO_THROW(from_text(deepest_allowed));
}

// A child whose name starts with "/" would be written as a closing tag, and a
// name that is not Unicode text has no UTF-8 form: neither can be carried.
TEST(NodeNames, RefusesChildNamesTheFormatCannotCarry) {
    const std::wstring surrogate(1, static_cast<wchar_t>(0xD800));
    for (const std::wstring& name : {std::wstring(L"/"), std::wstring(L"/binding"), surrogate}) {
        node tree(L"root", L"");
        EXPECT_THROW(tree.add(name, L"v"), serializer_exception);
        EXPECT_THROW(tree.add(node(name, L"v")), serializer_exception);
        EXPECT_THROW(tree.set(name, L"v"), serializer_exception);
        EXPECT_THROW(tree.set(name, 1), serializer_exception);
        EXPECT_TRUE(tree.empty());
    }

    // Elsewhere in a name, and at the start of the outermost name, "/" is
    // carried.
    node tree(L"/root", L"");
    tree.add(L"a/b", L"1");
    tree.add(L"c/", L"2");
    tree.add(L"\\/d", L"3");
    EXPECT_EQ(from_text(to_text(tree)), tree);
}

TEST(NodeNames, ATreeThatWouldNotReadBackIsNotWritten) {
    // A child opened by two "<" may carry a name starting with "/"; written
    // back it would close its parent and lose the entries after it.
    const node hostile = from_text("<r><</r>x<//r><a>1</a></r>");
    ASSERT_EQ(hostile.size(), 2u);
    EXPECT_THROW(to_text(hostile), serializer_exception);

    node renamed(L"r", L"");
    renamed.add(L"a", L"1")->second.name = L"/a";
    EXPECT_THROW(to_text(renamed), serializer_exception);

    // The reader refuses trees deeper than max_depth, so the writer does too.
    node deep(L"a", L"");
    node* innermost = &deep;
    for (int level = 1; level < node::max_depth; ++level)
        innermost = &innermost->add(L"a", L"")->second;
    EXPECT_EQ(from_text(to_text(deep)), deep);
    innermost->add(L"a", L"");
    EXPECT_THROW(to_text(deep), serializer_exception);
}

TEST(NodeMalformedRandom, NeverCrashesAndFailsOnlyWithLibraryExceptions) {
    const char alphabet[] = {'<', '>', '/', '\\', 'a', 'b', '\xff', '\xc3', '\xa9', '\x80'};
    std::mt19937 random(12345);
    std::uniform_int_distribution<int> length(0, 40), pick(0, sizeof alphabet - 1);
    for (int round = 0; round < 20000; ++round) {
        std::string text;
        for (int i = length(random); i > 0; --i) text += alphabet[pick(random)];
        try {
            const node read = from_text(text);
            EXPECT_EQ(from_text(to_text(read)), read) << text;
        } catch (const serializer_exception&) {
        }
    }
}

TEST(NodeText, EscapingRejectsTextThatIsNotUnicode) {
    EXPECT_THROW(escape(std::wstring(1, static_cast<wchar_t>(0xD800))), serializer_exception);
    EXPECT_THROW(to_text(node(L"a", std::wstring(1, static_cast<wchar_t>(0x110000)))),
                 serializer_exception);
}

TEST(NodeChildren, SetChangesOnlyTheFirstChildOfAName) {
    node tree;
    tree.add(L"k", L"1");
    tree.add(L"k", L"2");
    tree.set(L"k", L"changed");
    tree.set(L"new", -42);
    auto k = tree.lower_bound(L"k");
    EXPECT_EQ(k->second.value, L"changed");
    EXPECT_EQ((++k)->second.value, L"2");
    EXPECT_EQ(tree.get(L"new", L""), L"-42");
    EXPECT_EQ(tree.size(), 3u);
}

TEST(NodeChildren, GetReadsIntegersAndFallsBackToTheDefault) {
    node tree;
    tree.add(L"n", L"17");
    tree.add(L"padded", L"  -5 apples");
    tree.add(L"word", L"seven");
    tree.add(L"huge", L"99999999999");
    tree.add(L"smallest", L"-2147483648");
    EXPECT_EQ(tree.get(L"n", -1), 17);
    EXPECT_EQ(tree.get(L"missing", -1), -1);
    EXPECT_EQ(tree.get(L"padded", 0), -5);
    EXPECT_EQ(tree.get(L"word", -1), -1);
    EXPECT_EQ(tree.get(L"huge", -1), -1);
    EXPECT_EQ(tree.get(L"smallest", 0), -2147483647 - 1);

    // The default may be a temporary: the result must outlive it.
    const std::wstring& text = tree.get(L"missing", std::wstring(L"fallback"));
    EXPECT_EQ(text, L"fallback");
}

TEST(NodeEquality, IgnoresOrderAcrossNamesButNotWithinOne) {
    node first, second;
    first.add(L"a", L"1");
    first.add(L"b", L"2");
    second.add(L"b", L"2");
    second.add(L"a", L"1");
    EXPECT_EQ(first, second);

    node third, fourth;
    third.add(L"a", L"1");
    third.add(L"a", L"2");
    fourth.add(L"a", L"2");
    fourth.add(L"a", L"1");
    EXPECT_FALSE(third == fourth);

    node deeper = first;
    deeper.lower_bound(L"a")->second.add(L"x", L"");
    EXPECT_FALSE(deeper == first);
}

}  // namespace
}  // namespace serializer

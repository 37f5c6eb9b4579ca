#include "vfs/response_node.h"

#include <gtest/gtest.h>
#include <utf8.h>

#include <iterator>
#include <random>

#include "vfs/calvimora_exception.h"
#include "vfs/reply_text.h"

namespace vfs_calvimora {
namespace {

void expect_parse_error(const std::wstring& text) {
    try {
        parse_response(text);
        ADD_FAILURE() << "no parse error";
    } catch (const exception& failure) {
        EXPECT_EQ(failure.get_title(), L"Parse error");
        EXPECT_EQ(failure.get_text(), L"Server side error");
    }
}

TEST(ParseResponse, ReadsFieldsAndRecordsInDocumentOrder) {
    const response_node root = parse_response(
        L"junk<Result><UserID>7</UserID>\n<Directory><ID>3</ID><Name>Docs</Name></Directory>"
        L"<Empty></Empty></Result>trailing <garbage");
    EXPECT_EQ(root.name, L"Result");
    EXPECT_FALSE(root.is_leaf());
    ASSERT_EQ(root.children.size(), 3u);
    EXPECT_EQ(root.children[0].text, L"7");
    EXPECT_TRUE(root.children[0].is_leaf());
    const response_node& record = root.children[1];
    EXPECT_EQ(record.kind, response_node::element);
    EXPECT_EQ(record.text, L"");
    EXPECT_EQ(find_child_text(record, L"Name"), L"Docs");
    EXPECT_TRUE(root.children[2].is_leaf());
    EXPECT_EQ(root.children[2].text, L"");
}

TEST(ParseResponse, UnescapesAngleBracketsInNamesAndTexts) {
    const response_node root = parse_response(L"<R\\<1\\>><A>x \\< y \\> z</A></R>");
    EXPECT_EQ(root.name, L"R<1>");
    EXPECT_EQ(find_child_text(root, L"A"), L"x < y > z");
}

TEST(ParseResponse, AnyClosingTagClosesTheOpenElement) {
    const response_node root = parse_response(L"<Result><A>1</B><C>2</Result></Whatever>");
    ASSERT_EQ(root.children.size(), 2u);
    EXPECT_EQ(find_child_text(root, L"C"), L"2");
}

TEST(ParseResponse, MissingDelimitersAreParseErrors) {
    expect_parse_error(L"");
    expect_parse_error(L"no tags at all");
    expect_parse_error(L"<Result><A>1</A>");
    expect_parse_error(L"<Result><A>1</A></Result");
    expect_parse_error(L"<Result>\\</Result>");
}

TEST(ParseResponse, NestingIsBounded) {
    auto nested = [](int depth) {
        std::wstring text;
        for (int level = 0; level <= depth; ++level) {
            text += L"<N>";
        }
        text += L"x";
        for (int level = 0; level <= depth; ++level) {
            text += L"</N>";
        }
        return text;
    };
    EXPECT_NO_THROW(parse_response(nested(max_response_depth)));
    expect_parse_error(nested(max_response_depth + 1));
    expect_parse_error(nested(100000));
}

TEST(ResponseNode, ChildrenByNameSkipsLeavesAndFindChildTextDoesNot) {
    const response_node root = parse_response(
        L"<Result><Error>plain</Error><Error><Type>5</Type></Error><X><Error><Type>1</Type></Error>"
        L"</X></Result>");
    const auto errors = children_by_name(root, L"Error");
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(find_child_text(errors[0], L"Type"), L"5");
    EXPECT_EQ(find_child_text(root, L"Error"), L"plain");
    EXPECT_EQ(find_child_text(root, L"Missing"), L"");
    EXPECT_TRUE(children_by_name(root, L"Missing").empty());
}

TEST(ResponseNode, WritesElementChildrenBeforeTextChildren) {
    const response_node list(L"SaveAsFiles",
                             {response_node(L"NewFile", L"C:\\a.txt"),
                              response_node(L"Folder", std::vector<response_node>{}),
                              response_node(L"NewFile", L"C:\\b.txt")});
    EXPECT_EQ(list.to_xml(),
              L"<SaveAsFiles><Folder></Folder><NewFile>C:\\a.txt</NewFile>"
              L"<NewFile>C:\\b.txt</NewFile></SaveAsFiles>");
    EXPECT_EQ(list.element_children().size(), 1u);
    EXPECT_EQ(list.text_children().size(), 2u);
    EXPECT_EQ(response_node(L"SaveAsFiles", std::vector<response_node>{}).to_xml(),
              L"<SaveAsFiles></SaveAsFiles>");
}

TEST(ResponseNode, WrittenTextParsesBackToTheSameTree) {
    const response_node list(
        L"SaveAsFiles", {response_node(L"NewFile", L"a<b>c"), response_node(L"NewFile", L"d")});
    const response_node parsed = parse_response(list.to_xml());
    ASSERT_EQ(parsed.text_children().size(), 2u);
    EXPECT_EQ(parsed.children[0].text, L"a<b>c");
    EXPECT_EQ(parsed.children[1].text, L"d");
    EXPECT_EQ(parsed.to_xml(), list.to_xml());
}

// Local paths end in a backslash; a backslash right before a delimiter is
// what the parser reads as an escape.
TEST(ResponseNode, BackslashesBeforeDelimitersParseBack) {
    const std::vector<std::wstring> texts = {
        L"C:\\Docs\\", L"\\", L"\\\\", L"a\\<b", L"a\\\\>b\\", L"<\\", L"\\\\server\\share"};
    std::vector<response_node> entries;
    for (const auto& text : texts) entries.emplace_back(L"NewFile", text);
    entries.emplace_back(L"Name\\", L"x");
    entries.emplace_back(L"\\<\\", L"");
    const response_node list(L"SaveAsFiles\\\\", entries);

    const response_node parsed = parse_response(list.to_xml());
    EXPECT_EQ(parsed.name, list.name);
    ASSERT_EQ(parsed.children.size(), entries.size());
    for (std::size_t at = 0; at < entries.size(); ++at) {
        EXPECT_EQ(parsed.children[at].name, entries[at].name);
        EXPECT_EQ(parsed.children[at].text, entries[at].text);
    }
}

TEST(ParseResponse, APairOfBackslashesBeforeADelimiterIsOneBackslash) {
    const response_node root =
        parse_response(L"<R><A>x\\\\</A><B>\\\\\\<</B><C>\\\\server\\share\\x</C><D\\\\>y</D></R>");
    ASSERT_EQ(root.children.size(), 4u);
    EXPECT_EQ(root.children[0].text, L"x\\");
    EXPECT_EQ(root.children[1].text, L"\\<");
    EXPECT_EQ(root.children[2].text, L"\\\\server\\share\\x");
    EXPECT_EQ(root.children[3].name, L"D\\");
}

TEST(TrimChar, RemovesTheCharacterAtBothEndsOnly) {
    EXPECT_EQ(trim_char(L"\n\nTrue\n", L'\n'), L"True");
    EXPECT_EQ(trim_char(L"True \n", L'\n'), L"True ");
    EXPECT_EQ(trim_char(L"a\nb", L'\n'), L"a\nb");
    EXPECT_EQ(trim_char(L"\n\n", L'\n'), L"");
    EXPECT_EQ(trim_char(L"", L'\n'), L"");
}

TEST(ReplyText, DecodesWholeCodePoints) {
    const std::string bytes = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80z";
    EXPECT_EQ(decode_reply_text(bytes.data(), bytes.size()), L"a\u00E9\u20AC\U0001F600z");
}

TEST(ReplyText, DamagedSequencesBecomeReplacementCharacters) {
    const std::string stray = "a\x80z";
    EXPECT_EQ(decode_reply_text(stray.data(), stray.size()), L"a\uFFFDz");
    const std::string cut = "a\xE2\x82";
    EXPECT_EQ(decode_reply_text(cut.data(), cut.size()), L"a\uFFFD");
    const std::string overlong = "\xC0\x80";
    EXPECT_EQ(decode_reply_text(overlong.data(), overlong.size()).find(L'\0'), std::wstring::npos);
    const std::string surrogate = "\xED\xA0\x80";
    for (const wchar_t c : decode_reply_text(surrogate.data(), surrogate.size())) {
        EXPECT_EQ(c, L'\uFFFD');
    }
    const std::string beyond = "\xF7\xBF\xBF\xBF";
    for (const wchar_t c : decode_reply_text(beyond.data(), beyond.size())) {
        EXPECT_EQ(c, L'\uFFFD');
    }
}

// Taken in runs, damaged text is repaired exactly as the UTF-8 library
// repairs it whole.
TEST(ReplyText, RunsDecodeAsTheWholeText) {
    std::mt19937 random(11);
    const char pieces[] = {'a',    '<',    '\x80', '\xBF', '\xC3', '\xA9', '\xE2', '\x82',
                           '\xAC', '\xF0', '\x9F', '\xED', '\xA0', '\xC0', '\xFF'};
    for (int round = 0; round < 100000; ++round) {
        std::string bytes(random() % 9, ' ');
        for (char& c : bytes) c = pieces[random() % sizeof pieces];
        std::string valid;
        utf8::replace_invalid(bytes.begin(), bytes.end(), std::back_inserter(valid), 0xFFFD);
        std::wstring whole;
        utf8::utf8to32(valid.begin(), valid.end(), std::back_inserter(whole));
        ASSERT_EQ(decode_reply_text(bytes.data(), bytes.size()), whole);
    }
}

}  // namespace
}  // namespace vfs_calvimora

#include <gtest/gtest.h>

#include <string>
#include <type_traits>
#include <vector>

#include "listing_outcome.h"
#include "vfs/listing_reply.h"

namespace vfs_calvimora {
namespace {

// The outcome of both ways, which must agree, whole and as a scan reads it.
listing_outcome agreed(const std::string& reply) {
    const listing_outcome generic = generic_outcome(reply);
    EXPECT_EQ(generic, listing_reply_outcome(reply)) << reply;
    EXPECT_EQ(scanned(generic), scan_reply_outcome(reply)) << reply;
    return generic;
}

// Records the quick reading takes on itself, the same as the generic way's.
listing quick(const std::string& reply) {
    const std::optional<listing> records = read_plain_listing(reply);
    EXPECT_TRUE(records.has_value()) << reply;
    EXPECT_TRUE(read_plain_scan_listing(reply).has_value()) << reply;
    const listing_outcome generic = agreed(reply);
    EXPECT_TRUE(generic.records.has_value()) << reply;
    return records.value_or(listing());
}

std::string file_reply(const std::string& fields) {
    return "<Result><File>" + fields + "</File></Result>";
}

TEST(listing_reply, AListingOfTheServiceReadsQuickly) {
    const listing read = quick(
        "<Result><Directory><ID>4</ID><Name>Docs</Name><Description></Description>"
        "<Link>https://x/d/4</Link><Access>1</Access><IsGallery>False</IsGallery>"
        "<IsMP3>False</IsMP3><IsHomeFolder>False</IsHomeFolder><IsRenameable>True</IsRenameable>"
        "<IsDeleteable>True</IsDeleteable><HasSubfolders>True</HasSubfolders><Shared>False</Shared>"
        "<DateCreated>1700000000</DateCreated><DateDeleted>0</DateDeleted></Directory>"
        "<File><ID>9</ID><Name>a.txt</Name><Link>https://x/f/9</Link><DirectLink>d</DirectLink>"
        "<Location>/c/9</Location><Description>note</Description><Access>2</Access>"
        "<Price>0</Price><Size>1024</Size><DateAccessed>1</DateAccessed>"
        "<DateModified>1700000001</DateModified><DateDeleted>0</DateDeleted></File></Result>");
    ASSERT_EQ(1u, read.folders.size());
    ASSERT_EQ(1u, read.files.size());
    EXPECT_EQ(L"Docs", read.folders[0].name);
    EXPECT_TRUE(read.folders[0].has_subfolders && read.folders[0].is_renameable);
    EXPECT_FALSE(read.folders[0].shared);
    EXPECT_EQ(1700000000, read.folders[0].date_created);
    EXPECT_EQ(L"9", read.files[0].id);
    EXPECT_EQ(L"/c/9", read.files[0].location);
    EXPECT_EQ(1024, read.files[0].size);
    EXPECT_EQ(1700000001, read.files[0].date_modified);

    // Nothing listed, text around the root, folders after files (each kind
    // keeps its order, folders first), records without fields left out.
    EXPECT_EQ(listing(), quick("<Result></Result>"));
    EXPECT_EQ(listing(), quick("junk<Result>text</Result>trailing <unparsed"));
    const listing mixed = quick(
        "<Result><File><Name>f1</Name></File><Directory><Name>d1</Name></Directory><File>leaf"
        "</File><Other><Name>x</Name></Other><File><Name>f2</Name></File></Result>");
    ASSERT_EQ(1u, mixed.folders.size());
    ASSERT_EQ(2u, mixed.files.size());
    EXPECT_EQ(L"f2", mixed.files[1].name);
}

TEST(listing_reply, EscapesAndCharactersBeyondAscii) {
    // "\<" and "\>" stand for the delimiters; backslashes before one or at
    // the end of a text stand doubled; others stand for themselves.
    EXPECT_EQ(L"a<b>c", quick(file_reply("<Name>a\\<b\\>c</Name>")).files[0].name);
    EXPECT_EQ(L"a\\", quick(file_reply("<Name>a\\\\</Name>")).files[0].name);
    EXPECT_EQ(L"x\\<", quick(file_reply("<Name>x\\\\\\<</Name>")).files[0].name);
    EXPECT_EQ(L"C:\\dir\\f", quick(file_reply("<Name>C:\\dir\\f</Name>")).files[0].name);
    EXPECT_TRUE(quick("<Result><Directory><Shared>Tru\\e</Shared></Directory></Result>")
                    .folders[0]
                    .shared == false);

    // Beyond the BMP, damaged sequences as U+FFFD, a NUL kept.
    EXPECT_EQ(L"\U0001F600 \u00e9",
              quick(file_reply("<Name>\xF0\x9F\x98\x80 \xC3\xA9</Name>")).files[0].name);
    EXPECT_EQ(L"\uFFFDa", quick(file_reply("<Name>\xC3"
                                           "a\xED\xA0\x80</Name>"))
                              .files[0]
                              .name.substr(0, 2));
    EXPECT_EQ(std::wstring(L"a\0b", 3),
              quick(file_reply(std::string("<Name>a\0b</Name>", 16))).files[0].name);
}

TEST(listing_reply, FieldsInAnyOrderTheFirstOfANameCounting) {
    const file_record read =
        quick(file_reply("<Size>5</Size><Unknown><Deep>1</Deep></Unknown><Name>n</Name>"
                         "<Size>6</Size><ID><Nested>7</Nested></ID><ID>8</ID><name>low</name>"))
            .files[0];
    EXPECT_EQ(5, read.size);
    EXPECT_EQ(L"n", read.name);
    EXPECT_EQ(L"", read.id);  // the first ID holds an element: an empty text
    EXPECT_EQ(0, read.date_modified);
}

// Each field of a record's table, alone in a record, reads alike both ways
// and fills a member of its own.
TEST(listing_reply, EachFieldOfATableFillsAMemberOfItsOwn) {
    const auto value_of = [](field_kind kind) -> std::string {
        switch (kind) {
            case field_kind::text:
                return "v";
            case field_kind::number:
                return "7";
            case field_kind::wide_number:
                return "8589934593";
            case field_kind::flag:
                return "True";
            case field_kind::price:
                return "1.5";
        }
        return "";
    };
    const auto check = [&](const auto& table, const std::string& element, const auto& pick) {
        using record = std::decay_t<decltype(pick(listing()))>;
        std::vector<record> read;
        for (const auto& field : table) {
            const std::string name(field.name);
            const listing records =
                quick("<Result><" + element + "><" + name + ">" + value_of(field.kind) + "</" +
                      name + "></" + element + "></Result>");
            read.push_back(pick(records));
            EXPECT_NE(record(), read.back()) << name;
            for (std::size_t other = 0; other + 1 < read.size(); ++other)
                EXPECT_NE(read[other], read.back()) << name << " and " << table[other].name;
        }
    };
    check(directory_fields, "Directory", [](const listing& records) {
        return records.folders.empty() ? directory_record() : records.folders[0];
    });
    check(file_fields, "File", [](const listing& records) {
        return records.files.empty() ? file_record() : records.files[0];
    });
}

TEST(listing_reply, AScanReadsIdsAsUtf8AndDatesAsListed) {
    const scan_listing read = parse_scan_listing_reply(
        file_reply("<ID>a\\<\xC3\xA9\xFF</ID><Name>n</Name><DateModified>0</DateModified>"
                   "<Size>3</Size>"));
    ASSERT_EQ(1u, read.files.size());
    EXPECT_EQ("a<\xC3\xA9\xEF\xBF\xBD", read.files[0].id);
    EXPECT_EQ(0, read.files[0].date_modified);
    EXPECT_EQ(3, read.files[0].size);
    agreed(file_reply("<ID>a\\<\xC3\xA9\xFF</ID>"));
}

TEST(listing_reply, NumbersAtTheirLimits) {
    const auto size_of = [](const std::string& text) {
        return quick(file_reply("<Size>" + text + "</Size>")).files[0].size;
    };
    EXPECT_EQ(999999999999999999, size_of("999999999999999999"));
    EXPECT_EQ(INT64_MAX, size_of("9223372036854775807"));
    EXPECT_EQ(INT64_MAX, size_of("9223372036854775808"));
    EXPECT_EQ(INT64_MIN, size_of("-9223372036854775808"));
    EXPECT_EQ(INT64_MIN, size_of("-99999999999999999999"));
    EXPECT_EQ(12, size_of(" 12abc"));
    EXPECT_EQ(7, size_of("+7"));
    EXPECT_EQ(0, size_of("-"));
    EXPECT_EQ(0, size_of("x1"));
    EXPECT_EQ(-3, size_of("-003"));
    const auto access_of = [](const std::string& text) {
        return quick(file_reply("<Access>" + text + "</Access>")).files[0].access;
    };
    EXPECT_EQ(INT32_MAX, access_of("2147483648"));
    EXPECT_EQ(INT32_MIN, access_of("-2147483649"));
    EXPECT_EQ(9, access_of("9"));
    EXPECT_EQ(2.5, quick(file_reply("<Price>2.5</Price>")).files[0].price);
    EXPECT_EQ(0.0, quick(file_reply("<Price>1e999</Price>")).files[0].price);
}

TEST(listing_reply, RepliesTheGenericWayJudgesFailAlike) {
    // An error record, of the exists kind or another.
    const listing_outcome exists = agreed(
        "<Result><File><Name>a</Name></File><Error><Type>1</Type><Name>Exists</Name>"
        "<Description>d</Description></Error></Result>");
    EXPECT_TRUE(exists.already_exists);
    EXPECT_EQ(L"Exists", exists.title);
    EXPECT_FALSE(
        agreed("<Result><Error><Type>2</Type><Name>No</Name></Error></Result>").already_exists);
    // An error leaf is no error record.
    EXPECT_TRUE(agreed("<Result><Error>x</Error><File><Name>a</Name></File></Result>").records);

    // Cut replies, another root, an escaped root, missing delimiters.
    const std::string whole = file_reply("<Name>a</Name>");
    for (std::size_t length = 0; length < whole.size(); ++length) {
        EXPECT_FALSE(agreed(whole.substr(0, length)).records) << length;
    }
    EXPECT_EQ(L"Parse error", agreed("<Reply><File><Name>a</Name></File></Reply>").title);
    EXPECT_FALSE(agreed("<Res\\ult></Res\\ult>").records);
    EXPECT_FALSE(agreed("<Result><File><Name>a\\</Name></File></Result>").records);

    // Escaped tag names read the generic way, to the same records.
    EXPECT_EQ(1u, agreed("<Result><File><Na\\me>a</Name></File><Fi\\le><Name>b</Name></File>"
                         "</Result>")
                      .records->files.size());
}

TEST(listing_reply, NestingDeeperThanRepliesMayGoFails) {
    // The root is at depth 0 and a record at 1; elements go down to 64.
    const auto nested = [](int depth) {
        std::string reply = "<Result><File><Name>a</Name>";
        for (int level = 2; level <= depth; ++level) reply += "<x>";
        reply += "t";
        for (int level = 2; level <= depth; ++level) reply += "</x>";
        return reply + "</File></Result>";
    };
    EXPECT_EQ(1u, quick(nested(max_response_depth)).files.size());
    EXPECT_FALSE(read_plain_listing(nested(max_response_depth + 1)));
    EXPECT_EQ(L"Parse error", agreed(nested(max_response_depth + 1)).title);
    std::string deep_other = "<Result><Other>";
    for (int level = 2; level <= max_response_depth + 1; ++level) deep_other += "<x>";
    EXPECT_EQ(L"Parse error", agreed(deep_other + "</x></Other></Result>").title);
}

}  // namespace
}  // namespace vfs_calvimora

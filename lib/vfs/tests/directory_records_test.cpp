#include <gtest/gtest.h>

#include "vfs/calvimora_directory.h"
#include "vfs/listing_records.h"

namespace vfs_calvimora {
namespace {

TEST(listing_records, FolderRecordTakesFlagsOnlyFromTheExactTextTrue) {
    const directory_record full = read_directory_record(parse_response(
        L"<Directory><ID>7</ID><Name>Docs</Name><Link>l</Link><Access>2</Access>"
        L"<IsHomeFolder>True</IsHomeFolder><HasSubfolders>true</HasSubfolders>"
        L"<Shared>True </Shared><IsMP3>TRUE</IsMP3><DateCreated>1700000000</DateCreated>"
        L"<DateDeleted>-5</DateDeleted></Directory>"));
    EXPECT_EQ(L"7", full.id);
    EXPECT_EQ(L"Docs", full.name);
    EXPECT_EQ(L"l", full.link);
    EXPECT_EQ(2, full.access);
    EXPECT_TRUE(full.is_home_folder);
    EXPECT_FALSE(full.has_subfolders || full.shared || full.is_mp3);
    EXPECT_EQ(1700000000, full.date_created);
    EXPECT_EQ(-5, full.date_deleted);

    const directory_record bare =
        read_directory_record(parse_response(L"<Directory><Access>x</Access></Directory>"));
    EXPECT_EQ(L"", bare.id);
    EXPECT_EQ(0, bare.access);
    EXPECT_EQ(0, bare.date_created);
}

TEST(listing_records, FileAndShareRecords) {
    const file_record file = read_file_record(parse_response(
        L"<File><ID>9</ID><DirectLink>dl</DirectLink><Location>/c/9</Location><Price>2.5</Price>"
        L"<Size>8589934592</Size><DateAccessed>1</DateAccessed><DateModified>2</DateModified>"
        L"<DateDeleted>3</DateDeleted></File>"));
    EXPECT_EQ(L"9", file.id);
    EXPECT_EQ(L"dl", file.direct_link);
    EXPECT_EQ(L"/c/9", file.location);
    EXPECT_EQ(2.5, file.price);
    EXPECT_EQ(8589934592, file.size);
    EXPECT_EQ(1, file.date_accessed);
    EXPECT_EQ(2, file.date_modified);
    EXPECT_EQ(3, file.date_deleted);

    const auto user = read_sharewith_record(
        parse_response(L"<ShareWithUser><ID>4</ID><ShareWithUserID>12</ShareWithUserID>"
                       L"<Name>bob</Name><ShareMode>x</ShareMode></ShareWithUser>"));
    EXPECT_EQ(4, user.id);
    EXPECT_EQ(12, user.sharewith_user_id);
    EXPECT_EQ(L"bob", user.name);
    EXPECT_EQ(0, user.share_mode);
    EXPECT_EQ(0, user.flags);

    const auto changeable = read_sharewith_record(parse_response(
        L"<ShareWithUser><ID>5</ID><ShareMode>1</ShareMode><Flags>1</Flags></ShareWithUser>"));
    EXPECT_EQ(1, changeable.share_mode);
    EXPECT_EQ(1, changeable.flags);
}

TEST(listing_records, PricesReadAsFarAsTheyGo) {
    EXPECT_EQ(10.0, read_price(L"10"));
    EXPECT_EQ(0.75, read_price(L" +0.75"));
    EXPECT_EQ(3.0, read_price(L"3,50"));
    for (const wchar_t* text : {L"", L"abc", L"inf", L"nan", L"1e999"}) {
        EXPECT_EQ(0.0, read_price(text)) << text;
    }
}

TEST(directory_rules, EmailForm) {
    for (const wchar_t* text : {L"a@b.c", L"ab@.cd", L"john.doe@mail.example.org", L"a@b.c."}) {
        EXPECT_TRUE(directory::is_valid_email(text)) << text;
    }
    for (const wchar_t* text :
         {L"a@bc", L"@abc.d", L"ab@cd.", L"a b@c.d", L"a/b@c.d", L"ab.c@d", L"a@b.c\n"}) {
        EXPECT_FALSE(directory::is_valid_email(text)) << text;
    }
}

TEST(directory_rules, NamesMatchWithoutRegardToCaseBeyondAscii) {
    EXPECT_TRUE(directory::names_match(L"Report.TXT", L"report.txt"));
    EXPECT_TRUE(directory::names_match(L"ÄRGER", L"ärger"));
    EXPECT_TRUE(directory::names_match(L"ПРИВЕТ", L"привет"));
    EXPECT_TRUE(directory::names_match(L"\U00010400", L"\U00010428"));
    EXPECT_FALSE(directory::names_match(L"abc", L"abd"));
    EXPECT_FALSE(directory::names_match(L"straße", L"STRASSE"));
}

}  // namespace
}  // namespace vfs_calvimora

// Remote names as local ones: which can be one level of a local path, and
// joined paths that must stay inside their folder.
#include "folder/module/local_names.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using local_names::is_acceptable;
using local_names::join_inside;

TEST(LocalNames, NamesThatCannotBeOneLocalLevelAreRefused) {
    for (const std::wstring& name : std::vector<std::wstring>{
             L"", L".", L"..", L"...", L". .", L".. ", L"a\\b", L"..\\x", L"a/b", L"c:", L"x:y",
             L"tab\there", L"new\nline", std::wstring(1, L'\x7F'), L"what?", L"a*", L"<b>",
             L"pipe|d", L"\"q\""})
        EXPECT_FALSE(is_acceptable(name)) << std::string(name.begin(), name.end());
    for (const std::wstring& name :
         std::vector<std::wstring>{L"a.txt", L".hidden", L"..a", L"a..b", L"M\u00FCller \u6587",
                                   L"name with spaces", L"\U0001F600"})
        EXPECT_TRUE(is_acceptable(name));
}

TEST(LocalNames, AJoinedPathStaysInsideItsFolderInTheNativeForm) {
    const std::wstring base = L"/tmp/root/alice/files_saved";
    EXPECT_EQ(join_inside(base, {L"Docs", L"a.txt"}), base + L"/Docs/a.txt");
    EXPECT_EQ(join_inside(base, {}), base);
    EXPECT_EQ(join_inside(base, {L"Docs", L"..", L"x"}), std::nullopt);
    EXPECT_EQ(join_inside(base, {L"..\\..\\made_outside"}), std::nullopt);
    EXPECT_EQ(join_inside(base, {L"x/../../../slash_outside"}), std::nullopt);
    EXPECT_EQ(join_inside(base, {L"Docs", L""}), std::nullopt);
    EXPECT_EQ(join_inside(base + L"/", {L"a"}), base + L"//a") << "kept as given, inside";
    EXPECT_EQ(join_inside(L"/tmp/root/../other", {L"a"}), L"/tmp/root/../other/a");
    // A folder built with "\" comes out native, levels and all; the check
    // still sees through both separators.
    EXPECT_EQ(join_inside(L"/tmp/root\\Calvimora\\Filter temp", {L"Docs", L"new.txt"}),
              L"/tmp/root/Calvimora/Filter temp/Docs/new.txt");
    EXPECT_EQ(join_inside(L"\\tmp\\root", {}), L"/tmp/root");
    EXPECT_EQ(join_inside(L"/tmp/root\\Calvimora", {L"..", L"x"}), std::nullopt);
}

}  // namespace

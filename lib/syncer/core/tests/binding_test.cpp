// Path texts, binding identity and the stored form of a binding.
#include <gtest/gtest.h>

#include <random>
#include <tuple>
#include <vector>

#include "syncer/core/binding.h"
#include "syncer/core/paths.h"

namespace syncer {
namespace {

using enum sync_permission;

TEST(SyncerPaths, EqualityAndOrderTreatBothSeparatorsAlike) {
    EXPECT_TRUE(paths_equal(L"C:\\data/photos", L"C:/data\\photos"));
    EXPECT_FALSE(paths_equal(L"C:\\data\\", L"C:\\data"));
    EXPECT_FALSE(paths_equal(L"C:\\Data", L"C:\\data"));

    EXPECT_EQ(compare_paths(L"remote//a", L"remote\\a"), 0);
    EXPECT_NE(compare_paths(L"remote/a/", L"remote/a"), 0);
    EXPECT_NE(compare_paths(L"/a", L"a"), 0);
    // "a-b" sorts after "a/b" as text, but the folder "a" comes first.
    EXPECT_LT(compare_paths(L"a/b", L"a-b"), 0);
    EXPECT_GT(compare_paths(L"b", L"a/z"), 0);
}

// The order by elements spelled out plainly: a leading separator is a root
// element "/", runs of separators separate names, a trailing separator adds
// a final ".".
int reference_order(const std::wstring& first, const std::wstring& second) {
    const auto elements = [](const std::wstring& path) {
        const auto separator = [](wchar_t c) { return c == L'/' || c == L'\\'; };
        std::vector<std::wstring> result;
        std::size_t at = 0;
        if (!path.empty() && separator(path[0])) result.emplace_back(L"/");
        while (at < path.size() && separator(path[at])) ++at;
        while (at < path.size()) {
            const std::size_t start = at;
            while (at < path.size() && !separator(path[at])) ++at;
            result.push_back(path.substr(start, at - start));
            const std::size_t name_end = at;
            while (at < path.size() && separator(path[at])) ++at;
            if (at == path.size() && name_end < at) result.emplace_back(L".");
        }
        return result;
    };
    const auto mine = elements(first);
    const auto theirs = elements(second);
    if (mine < theirs) return -1;
    return theirs < mine ? 1 : 0;
}

TEST(SyncerPaths, TheOrderIsThatOfThePathsElements) {
    std::mt19937 random(7);
    const std::wstring alphabet = L"ab-./\\";
    const auto path = [&] {
        std::wstring made(random() % 7, L' ');
        for (wchar_t& c : made) c = alphabet[random() % alphabet.size()];
        return made;
    };
    for (int round = 0; round < 200000; ++round) {
        const std::wstring first = path();
        const std::wstring second = round % 3 == 0 ? first + path() : path();
        const int order = compare_paths(first, second);
        ASSERT_EQ((order > 0) - (order < 0), reference_order(first, second))
            << "\"" << std::string(first.begin(), first.end()) << "\" \""
            << std::string(second.begin(), second.end()) << "\"";
    }
}

TEST(SyncerPaths, WalkingUpEndsAtAFixedPoint) {
    EXPECT_EQ(parent_path(L"C:\\a\\b\\"), L"C:\\a");
    EXPECT_EQ(parent_path(L"C:\\a"), L"C:\\");
    EXPECT_EQ(parent_path(L"C:\\"), L"");
    EXPECT_EQ(parent_path(L"/a"), L"/");
    EXPECT_EQ(parent_path(L"/"), L"/");
    EXPECT_EQ(parent_path(L""), L"");
    EXPECT_EQ(parent_path(L"Calvimora/x//y"), L"Calvimora/x");
    EXPECT_EQ(leaf_name(L"C:\\a\\photos\\"), L"photos");
    EXPECT_EQ(join_path(L"remote/", L"f.txt"), L"remote/f.txt");
    EXPECT_EQ(join_path(L"remote", L"f.txt"), L"remote/f.txt");
    for (const std::wstring name : {L"", L".", L"..", L"../x", L"a\\b", L"a/b"})
        EXPECT_FALSE(is_plain_name(name));
    EXPECT_TRUE(is_plain_name(L"sync_rules_3.xml"));
}

TEST(SyncerBinding, DefaultsAndIdentity) {
    const binding first(L"remote/photos", L"C:\\photos", L"", L"sync_rules_0.xml");
    EXPECT_EQ(first._type, 3);
    EXPECT_EQ(first._mode, 1);
    EXPECT_EQ(first.can_recourse_subdirs, yes);
    EXPECT_EQ(first.rule, sync_rule({yes, no, yes, yes, no, no, yes, no}));
    EXPECT_FALSE(first.force_sync_once);

    binding second(0, 0, L"remote\\photos", L"C:/photos", L"", no, sync_rule(), true, L"x.xml");
    EXPECT_TRUE(first.is_same_as(second));
    second.filename = L"a.txt";
    EXPECT_FALSE(first.is_same_as(second));
    EXPECT_EQ(second.to_string(), L"C:/photos <- a.txt -> remote\\photos");
}

TEST(SyncerBinding, StoredFormRoundTripsAndMissingChildrenTakeDefaults) {
    const binding stored(0, 0, L"remote", L"C:\\l\u00f6cal", L"f.txt", no,
                         sync_rule({yes, no, not_set, yes, no, yes, not_set, no}), true,
                         L"sync_rules_4.xml");
    serializer::node tree(L"binding", L"");
    stored.to_node(tree);
    const binding read = binding::from_node(tree);
    EXPECT_EQ(
        std::tie(read._type, read._mode, read.dir_remote, read.dir_local, read.filename,
                 read.can_recourse_subdirs, read.rule, read.force_sync_once, read.items_filename),
        std::tie(stored._type, stored._mode, stored.dir_remote, stored.dir_local, stored.filename,
                 stored.can_recourse_subdirs, stored.rule, stored.force_sync_once,
                 stored.items_filename));

    serializer::node sparse(L"binding", L"");
    sparse.add(L"force_sync_once", L"5");
    sparse.add(L"rule", L"")->second.add(L"can_upload", L"-1");
    const binding defaults = binding::from_node(sparse);
    EXPECT_EQ(defaults._mode, 1);
    EXPECT_EQ(defaults._type, 0);
    EXPECT_EQ(defaults.can_recourse_subdirs, not_set);
    EXPECT_EQ(defaults.rule, sync_rule());
    EXPECT_TRUE(defaults.force_sync_once);
}

}  // namespace
}  // namespace syncer

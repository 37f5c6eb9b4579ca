#include "serializer/file_serializer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <gtest/gtest.h>
#include <boost/filesystem/operations.hpp>
#include <cstdio>
#include <sstream>
#include <thread>
#include <vector>

#include "save_helper_process.h"
#include "settings_folder.h"

namespace serializer {
namespace {

using testing_support::items_with;
using testing_support::read_bytes;
using testing_support::write_bytes;
namespace fs = boost::filesystem;

struct timespec modification_time(const fs::path& path) {
    struct stat info {};
    EXPECT_EQ(::stat(path.c_str(), &info), 0);
    return info.st_mtim;
}

ino_t inode(const fs::path& path) {
    struct stat info {};
    EXPECT_EQ(::stat(path.c_str(), &info), 0);
    return info.st_ino;
}

// Rewrites the file in place with content of the same size and puts its old
// modification time back: to the cache the file looks untouched.
void rewrite_unnoticed(const fs::path& path, const std::string& bytes) {
    const struct timespec before = modification_time(path);
    ASSERT_EQ(read_bytes(path).size(), bytes.size());
    write_bytes(path, bytes);
    const struct timespec times[2] = {before, before};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

std::int64_t fake_now = 0;
std::int64_t fake_clock() {
    return fake_now;
}

class FileSerializer : public testing::Test {
protected:
    void TearDown() override { file_serializer::set_clock(nullptr); }

    testing_support::settings_folder folder;
    const fs::path file = folder.file(L"bindings.xml");
    const fs::path temporary = folder.file(L"bindings.xml.tmp");
    const fs::path backup = folder.file(L"bindings.xml.bak");
};

TEST_F(FileSerializer, SavesAndLoadsThroughTheTemporaryCompanion) {
    file_serializer::save_cached(file, items_with(L"\u00e9\U0001F600"), false);
    EXPECT_EQ(read_bytes(file), "<sync_items><item>\xc3\xa9\xf0\x9f\x98\x80</item></sync_items>");
    EXPECT_FALSE(fs::exists(temporary));
    EXPECT_FALSE(fs::exists(backup));
    EXPECT_EQ(file_serializer::load_cached(file), items_with(L"\u00e9\U0001F600"));
}

TEST_F(FileSerializer, KeepsThePreviousFileAsBackupOnlyWhenAsked) {
    file_serializer::save_cached(file, items_with(L"first"), true);
    EXPECT_FALSE(fs::exists(backup));
    file_serializer::save_cached(file, items_with(L"second"), true);
    EXPECT_EQ(testing_support::parse_file(file), items_with(L"second"));
    EXPECT_EQ(testing_support::parse_file(backup), items_with(L"first"));

    file_serializer::save_cached(file, items_with(L"third"), false);
    EXPECT_EQ(testing_support::parse_file(file), items_with(L"third"));
    EXPECT_FALSE(fs::exists(backup));
}

TEST_F(FileSerializer, AnEqualSaveWritesNothing) {
    file_serializer::save_cached(file, items_with(L"same"), true);
    const ino_t written = inode(file);
    file_serializer::save_cached(file, items_with(L"same"), true);
    EXPECT_EQ(inode(file), written);
    EXPECT_FALSE(fs::exists(backup));
    EXPECT_FALSE(fs::exists(temporary));

    // Also after a load brought the entry up to date.
    EXPECT_EQ(file_serializer::load_cached(file), items_with(L"same"));
    file_serializer::save_cached(file, items_with(L"same"), false);
    EXPECT_EQ(inode(file), written);
}

TEST_F(FileSerializer, WritesAgainWhenTheFileWasDeletedOrReplacedBySomeoneElse) {
    file_serializer::save_cached(file, items_with(L"mine"), false);
    fs::remove(file);
    file_serializer::save_cached(file, items_with(L"mine"), false);
    EXPECT_EQ(testing_support::parse_file(file), items_with(L"mine"));

    ASSERT_EQ(WEXITSTATUS(testing_support::run_save_helper(file.native(), "theirs", false)), 0);
    file_serializer::save_cached(file, items_with(L"mine"), false);
    EXPECT_EQ(testing_support::parse_file(file), items_with(L"mine"));
}

TEST_F(FileSerializer, ParsesAnUnchangedFileOnlyOnce) {
    file_serializer::save_cached(file, items_with(L"cached"), false);
    EXPECT_EQ(file_serializer::load_cached(file), items_with(L"cached"));

    rewrite_unnoticed(file, "<sync_items><item>CHANGE</item></sync_items>");
    EXPECT_EQ(file_serializer::load_cached(file), items_with(L"cached"));

    struct timespec later = modification_time(file);
    later.tv_sec += 1;
    const struct timespec times[2] = {later, later};
    ASSERT_EQ(::utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
    EXPECT_EQ(file_serializer::load_cached(file), items_with(L"CHANGE"));
}

TEST_F(FileSerializer, SeesAnotherProcesssSaveWithinTheSameSecond) {
    for (const char* value : {"one", "two", "three", "four"}) {
        ASSERT_EQ(WEXITSTATUS(testing_support::run_save_helper(file.native(), value, true)), 0);
        const std::string expected(value);
        EXPECT_EQ(file_serializer::load_cached(file),
                  items_with(std::wstring(expected.begin(), expected.end())));
    }
}

TEST_F(FileSerializer, AFileThatDoesNotParseIsReadAgainAndRewritten) {
    file_serializer::save_cached(file, items_with(L"good"), false);
    write_bytes(file, "<sync_items><item>good</item>");
    EXPECT_THROW(file_serializer::load_cached(file), wrong_format_exception);
    EXPECT_THROW(file_serializer::load_cached(file), wrong_format_exception);

    file_serializer::save_cached(file, items_with(L"good"), false);
    EXPECT_EQ(testing_support::parse_file(file), items_with(L"good"));

    write_bytes(file, "<sync_items><item>\xc3</item></sync_items>");
    EXPECT_THROW(file_serializer::load_cached(file), wrong_format_exception);

    // Whoever sees the failure learns which file is damaged.
    try {
        file_serializer::load_cached(file);
        ADD_FAILURE() << "a damaged file was read";
    } catch (const wrong_format_exception& failure) {
        EXPECT_NE(std::string(failure.what()).find(file.string()), std::string::npos)
            << failure.what();
    }
    node root;
    try {
        file_serializer::load_children(file, root, [](node&&) {});
        ADD_FAILURE() << "a damaged file was read";
    } catch (const wrong_format_exception& failure) {
        EXPECT_NE(std::string(failure.what()).find(file.string()), std::string::npos)
            << failure.what();
    }
}

TEST_F(FileSerializer, DropsEntriesUnusedForLongerThanTheirLifetime) {
    file_serializer::set_clock(fake_clock);
    const fs::path other = folder.file(L"other.xml");
    file_serializer::save_cached(other, items_with(L"other"), false);

    fake_now = 1000;
    file_serializer::save_cached(file, items_with(L"old"), false);
    rewrite_unnoticed(file, "<sync_items><item>new</item></sync_items>");

    fake_now = 1000 + file_serializer::cache_lifetime;
    file_serializer::load_cached(other);
    EXPECT_EQ(file_serializer::load_cached(file), items_with(L"old"));

    fake_now += file_serializer::cache_lifetime + 1;
    file_serializer::load_cached(other);
    EXPECT_EQ(file_serializer::load_cached(file), items_with(L"new"));
}

TEST_F(FileSerializer, ReportsFilesThatCannotBeReadOrWritten) {
    EXPECT_THROW(file_serializer::load_cached(file), fs::filesystem_error);

    file_serializer::save_cached(file, items_with(L"kept"), true);
    file_serializer::save_cached(file, items_with(L"kept too"), true);

    // The companion cannot be opened.
    fs::create_directory(temporary);
    try {
        file_serializer::save_cached(file, items_with(L"lost"), true);
        FAIL();
    } catch (const serializer_exception& e) {
        EXPECT_NE(std::string(e.what()).find("Stream can not be opened for writing"),
                  std::string::npos);
    }
    fs::remove(temporary);

    // The disk is full: the good file must not be replaced by a truncated one.
    fs::create_symlink("/dev/full", temporary);
    try {
        file_serializer::save_cached(file, items_with(L"lost"), true);
        FAIL();
    } catch (const serializer_exception& e) {
        EXPECT_NE(std::string(e.what()).find("Stream can not be written"), std::string::npos);
    }
    EXPECT_FALSE(fs::exists(fs::symlink_status(temporary)));
    EXPECT_EQ(testing_support::parse_file(file), items_with(L"kept too"));
    EXPECT_EQ(testing_support::parse_file(backup), items_with(L"kept"));
    EXPECT_EQ(file_serializer::load_cached(file), items_with(L"kept too"));
}

TEST_F(FileSerializer, ATreeThatCannotBeWrittenLeavesTheFileAsItWas) {
    file_serializer::save_cached(file, items_with(L"kept"), true);
    const std::string before = read_bytes(file);

    std::istringstream hostile(
        "<sync_items><</sync_items>x<//sync_items><item>y</item></sync_items>");
    const node tree(hostile);
    EXPECT_THROW(file_serializer::save_cached(file, tree, true), serializer_exception);
    EXPECT_EQ(read_bytes(file), before);
    EXPECT_FALSE(fs::exists(temporary));
    EXPECT_FALSE(fs::exists(backup));
    EXPECT_EQ(file_serializer::load_cached(file), items_with(L"kept"));
}

TEST_F(FileSerializer, RestoresTheBackupOnlyWhenThereIsOne) {
    file_serializer::save_cached(file, items_with(L"first"), true);
    EXPECT_FALSE(file_serializer::restore_backup(file));
    EXPECT_EQ(testing_support::parse_file(file), items_with(L"first"));

    file_serializer::save_cached(file, items_with(L"second"), true);
    EXPECT_TRUE(file_serializer::restore_backup(file));
    EXPECT_FALSE(fs::exists(backup));
    EXPECT_EQ(file_serializer::load_cached(file), items_with(L"first"));

    file_serializer::save_cached(file, items_with(L"third"), true);
    file_serializer::remove(file);
    EXPECT_FALSE(fs::exists(file));
    EXPECT_FALSE(fs::exists(backup));
    file_serializer::remove(file);
}

TEST_F(FileSerializer, ThreadsOfOneProcessDoNotTrampleEachOther) {
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([this, t] {
            for (int i = 0; i < 50; ++i) {
                file_serializer::save_cached(file, items_with(std::to_wstring(t * 100 + i)), true);
                const node read = file_serializer::load_cached(file);
                EXPECT_EQ(read.size(), 1u);
            }
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(testing_support::parse_file(file), file_serializer::load_cached(file));
    EXPECT_FALSE(fs::exists(temporary));
}

}  // namespace
}  // namespace serializer

namespace serializer {
namespace {

// A table read and written a child at a time has the text of the whole tree,
// and a child that cannot be written leaves the file as it was.
TEST_F(FileSerializer, TablesReadAndWrittenAChildAtATimeMatchTheWholeTree) {
    node whole(L"sync_items", L"");
    for (const wchar_t* value : {L"a<b", L"\\\\", L""}) whole.add(L"item", value);
    const fs::path path = folder.file(L"items.xml");
    const node root(whole.name, whole.value);
    const auto written = file_serializer::save_children(
        path, root,
        [&](const node::child_emitter& emit) {
            for (const auto& child : whole) emit(child.second);
        },
        true);
    EXPECT_EQ(file_serializer::version_of(path), written);
    std::ostringstream expected;
    whole.serialize(expected);
    EXPECT_EQ(read_bytes(path), expected.str());

    node read_root;
    std::vector<std::wstring> values;
    const auto read = file_serializer::load_children(
        path, read_root, [&](node&& child) { values.push_back(child.value); });
    EXPECT_EQ(read, written);
    EXPECT_EQ(read_root.name, whole.name);
    EXPECT_EQ(values, (std::vector<std::wstring>{L"a<b", L"\\\\", L""}));

    EXPECT_THROW(file_serializer::save_children(
                     path, root,
                     [&](const node::child_emitter& emit) {
                         emit(node(L"item", L"kept?"));
                         emit(node(L"/item", L"closes early"));
                     },
                     true),
                 serializer_exception);
    EXPECT_EQ(read_bytes(path), expected.str());
    EXPECT_FALSE(fs::exists(folder.file(L"items.xml.tmp")));
}

}  // namespace
}  // namespace serializer

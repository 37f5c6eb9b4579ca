// SHFileOperationW's FO_DELETE: to the trash with FOF_ALLOWUNDO (entries and
// records as the freedesktop layout has them), for good without it, the
// boxes the flags leave in, and the results and the aborted flag of each
// failure.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "kernel/wide_text.h"
#include "win/machine.h"
#include "win/shell_file_operation.h"
#include "win/test_journal.h"
#include "win/user.h"

namespace {

namespace fs = std::filesystem;

constexpr FILEOP_FLAGS to_trash = FOF_ALLOWUNDO | FOF_NO_UI;

std::string read_text(const fs::path& path) {
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void write_text(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path) << text;
}

class ShellFileOperation : public ::testing::Test {
protected:
    // Deletes the paths with the flags.
    int remove(const std::vector<fs::path>& paths, FILEOP_FLAGS flags) {
        list.clear();
        for (const fs::path& path : paths) list += win_detail::from_utf8(path.string()) + L'\0';
        list += L'\0';
        operation = SHFILEOPSTRUCTW{};
        operation.wFunc = FO_DELETE;
        operation.pFrom = list.c_str();
        operation.fFlags = flags;
        return SHFileOperationW(&operation);
    }

    fs::path trash() const { return win_machine::trash_dir(); }

    // The names in the trash's files folder.
    std::vector<std::string> entries() const {
        std::vector<std::string> names;
        if (!fs::exists(trash() / "files")) return names;
        for (const auto& entry : fs::directory_iterator(trash() / "files"))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    std::string record(const std::string& name) const {
        return read_text(trash() / "info" / (name + ".trashinfo"));
    }

    win_machine::scoped_root root;
    fs::path work = fs::path(root.path()) / "work";
    // The last operation and the list it was given.
    SHFILEOPSTRUCTW operation{};
    std::wstring list;
};

TEST_F(ShellFileOperation, AFileAndAFolderGoToTheTrashWithTheirRecords) {
    write_text(work / "caf\xc3\xa9 note.txt", "note");
    fs::last_write_time(work / "caf\xc3\xa9 note.txt",
                        fs::file_time_type(std::chrono::seconds(1000000)));
    write_text(work / "album" / "inner" / "photo.jpg", "jpeg");
    // A link goes itself, never what it leads to.
    fs::create_symlink(work / "album", work / "link");

    ASSERT_EQ(remove({work / "caf\xc3\xa9 note.txt", work / "album", work / "link"}, to_trash), 0);
    EXPECT_FALSE(operation.fAnyOperationsAborted);
    EXPECT_TRUE(fs::is_empty(work));
    ASSERT_EQ(entries(), (std::vector<std::string>{"album", "caf\xc3\xa9 note.txt", "link"}));
    EXPECT_EQ(read_text(trash() / "files" / "album" / "inner" / "photo.jpg"), "jpeg");
    EXPECT_EQ(fs::last_write_time(trash() / "files" / "caf\xc3\xa9 note.txt"),
              fs::file_time_type(std::chrono::seconds(1000000)));
    EXPECT_TRUE(fs::is_symlink(trash() / "files" / "link"));

    const std::string text = record("caf\xc3\xa9 note.txt");
    EXPECT_EQ(text.rfind("[Trash Info]\nPath=", 0), 0u) << text;
    EXPECT_NE(text.find("Path=" + work.string() + "/caf%C3%A9%20note.txt\n"), std::string::npos)
        << text;
    EXPECT_TRUE(std::regex_search(
        text, std::regex("\nDeletionDate=[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}\n")))
        << text;
    EXPECT_NE(record("album").find("Path=" + work.string() + "/album\n"), std::string::npos);
    // The trash is the machine's own.
    EXPECT_EQ(trash(), fs::path(root.path()) / "trash");
}

TEST_F(ShellFileOperation, NamesAlreadyInTheTrashAreNotTaken) {
    write_text(work / "a" / "same.txt", "first");
    write_text(work / "b" / "same.txt", "second");
    write_text(work / "c" / "same.txt", "third");
    ASSERT_EQ(remove({work / "a" / "same.txt"}, to_trash), 0);
    // An entry left without its record keeps its name too.
    write_text(trash() / "files" / "same.txt.2", "stray");
    ASSERT_EQ(remove({work / "b" / "same.txt", work / "c" / "same.txt"}, to_trash), 0);

    EXPECT_EQ(entries(),
              (std::vector<std::string>{"same.txt", "same.txt.2", "same.txt.3", "same.txt.4"}));
    EXPECT_EQ(read_text(trash() / "files" / "same.txt"), "first");
    EXPECT_EQ(read_text(trash() / "files" / "same.txt.2"), "stray");
    EXPECT_NE(record("same.txt.3").find(work.string() + "/b/same.txt"), std::string::npos);
    EXPECT_EQ(read_text(trash() / "files" / "same.txt.4"), "third");
    EXPECT_FALSE(fs::exists(trash() / "info" / "same.txt.2.trashinfo"));
}

TEST_F(ShellFileOperation, FailuresStopTheOperationAndLeaveNoRecord) {
    write_text(work / "first.txt", "1");
    write_text(work / "third.txt", "3");
    EXPECT_EQ(remove({work / "first.txt", work / "missing.txt", work / "third.txt"}, to_trash),
              ERROR_FILE_NOT_FOUND);
    EXPECT_TRUE(operation.fAnyOperationsAborted);
    EXPECT_EQ(entries(), std::vector<std::string>{"first.txt"});
    EXPECT_TRUE(fs::exists(work / "third.txt"));
    EXPECT_EQ(std::distance(fs::directory_iterator(trash() / "info"), fs::directory_iterator()), 1);

    EXPECT_EQ(remove({work / "no" / "such.txt"}, to_trash), ERROR_PATH_NOT_FOUND);
    EXPECT_EQ(remove({"/"}, to_trash), DE_ROOTDIR);
    EXPECT_EQ(remove({"/"}, FOF_NO_UI), DE_ROOTDIR);
    // The folder that holds the trash, and the trash itself.
    EXPECT_EQ(remove({root.path()}, to_trash), DE_DESTSUBTREE);
    EXPECT_EQ(remove({trash()}, to_trash), DE_DESTSUBTREE);
    EXPECT_TRUE(fs::exists(work / "third.txt"));
    EXPECT_EQ(remove({}, to_trash), DE_INVALIDFILES);
    EXPECT_EQ(std::distance(fs::directory_iterator(trash() / "info"), fs::directory_iterator()), 1);

    EXPECT_EQ(SHFileOperationW(nullptr), ERROR_INVALID_PARAMETER);
    remove({work / "third.txt"}, FOF_NO_UI | FOF_ALLOWUNDO);
    write_text(work / "third.txt", "3");
    operation.wFunc = FO_COPY;
    EXPECT_EQ(SHFileOperationW(&operation), ERROR_CALL_NOT_IMPLEMENTED);
    operation.wFunc = 9;
    EXPECT_EQ(SHFileOperationW(&operation), ERROR_INVALID_PARAMETER);
    EXPECT_TRUE(fs::exists(work / "third.txt"));
}

TEST_F(ShellFileOperation, WithoutUndoOrAFullPathItemsGoForGood) {
    write_text(work / "file.txt", "f");
    write_text(work / "tree" / "deep" / "x.txt", "x");
    ASSERT_EQ(remove({work / "file.txt", work / "tree"}, FOF_NO_UI), 0);
    EXPECT_TRUE(fs::is_empty(work));

    write_text(work / "relative.txt", "r");
    const fs::path before = fs::current_path();
    fs::current_path(work);
    EXPECT_EQ(remove({"relative.txt"}, to_trash), 0);
    fs::current_path(before);
    EXPECT_FALSE(fs::exists(work / "relative.txt"));
    EXPECT_TRUE(entries().empty());
}

TEST_F(ShellFileOperation, TheBoxesTheFlagsLeaveInAskAndTell) {
    write_text(work / "asked.txt", "a");
    std::vector<std::wstring> captions;
    int answer = IDNO;
    win_test::scoped_message_box_responder responder(
        [&](const std::wstring&, const std::wstring& caption, UINT) {
            captions.push_back(caption);
            return answer;
        });
    EXPECT_EQ(remove({work / "asked.txt"}, FOF_ALLOWUNDO | FOF_NOERRORUI), DE_OPCANCELLED);
    EXPECT_TRUE(operation.fAnyOperationsAborted);
    EXPECT_TRUE(fs::exists(work / "asked.txt"));
    answer = IDYES;
    EXPECT_EQ(remove({work / "asked.txt"}, FOF_ALLOWUNDO | FOF_NOERRORUI), 0);
    EXPECT_EQ(entries(), std::vector<std::string>{"asked.txt"});
    EXPECT_EQ(captions, (std::vector<std::wstring>{L"Delete File", L"Delete File"}));

    captions.clear();
    EXPECT_EQ(remove({work / "gone.txt"}, FOF_ALLOWUNDO | FOF_NOCONFIRMATION),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(captions, std::vector<std::wstring>{L"Error Deleting File or Folder"});
    captions.clear();
    EXPECT_EQ(remove({work / "gone.txt"}, to_trash), ERROR_FILE_NOT_FOUND);
    EXPECT_TRUE(captions.empty());
}

TEST_F(ShellFileOperation, EveryCallIsJournalled) {
    write_text(work / "j.txt", "j");
    remove({work / "j.txt", work / "k.txt"}, to_trash);
    const auto journal = win_test::file_operations();
    ASSERT_EQ(journal.size(), 1u);
    EXPECT_EQ(journal[0].function, FO_DELETE);
    EXPECT_EQ(journal[0].flags, to_trash);
    EXPECT_EQ(journal[0].result, ERROR_FILE_NOT_FOUND);
    EXPECT_TRUE(journal[0].aborted);
    EXPECT_EQ(journal[0].from,
              (std::vector<std::string>{(work / "j.txt").string(), (work / "k.txt").string()}));
}

// An item on another file system than the trash is copied in whole, then
// deleted.
TEST_F(ShellFileOperation, AnItemOnAnotherFileSystemIsCopiedInWhole) {
    const fs::path other = "/dev/shm";
    struct stat here {
    }, there{};
    if (::stat(root.path().c_str(), &here) != 0 || ::stat(other.c_str(), &there) != 0 ||
        here.st_dev == there.st_dev || ::access(other.c_str(), W_OK) != 0)
        GTEST_SKIP() << "no second writable file system";
    const fs::path away = other / fs::path(root.path()).filename();
    write_text(away / "tree" / "sub" / "x.txt", "x");
    fs::last_write_time(away / "tree" / "sub" / "x.txt",
                        fs::file_time_type(std::chrono::seconds(2000000)));
    fs::create_symlink("sub/x.txt", away / "tree" / "link");
    const int result = remove({away / "tree"}, to_trash);
    const bool left = fs::exists(away / "tree");
    fs::remove_all(away);
    ASSERT_EQ(result, 0);
    EXPECT_FALSE(left);
    EXPECT_EQ(read_text(trash() / "files" / "tree" / "sub" / "x.txt"), "x");
    EXPECT_EQ(fs::last_write_time(trash() / "files" / "tree" / "sub" / "x.txt"),
              fs::file_time_type(std::chrono::seconds(2000000)));
    EXPECT_EQ(fs::read_symlink(trash() / "files" / "tree" / "link"), "sub/x.txt");
    EXPECT_NE(record("tree").find("Path=" + (away / "tree").string() + "\n"), std::string::npos);
}

}  // namespace

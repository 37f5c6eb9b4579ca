// Dropped local files and folders as a read-only tree: listing, reading,
// the items a tree leaves out, and the failures of a closed file.
#include "folder/adapters/hdrop_items.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <utime.h>

#include <boost/pointer_cast.hpp>
#include <chrono>
#include <fstream>
#include <set>

#include "folder/adapters/wrapper_exception.h"
#include "win/global_memory.h"
#include "win/machine.h"
#include "win/shell_dragdrop.h"

namespace {

std::wstring wide(const std::string& text) {
    return std::wstring(text.begin(), text.end());
}

class DroppedFiles : public ::testing::Test {
protected:
    void SetUp() override {
        base = root.path() + "/drop";
        mkdir(base.c_str(), 0755);
    }
    std::string make_file(const std::string& name, const std::string& contents) {
        const std::string path = base + "/" + name;
        std::ofstream(path, std::ios::binary) << contents;
        return path;
    }
    std::string make_folder(const std::string& name) {
        const std::string path = base + "/" + name;
        mkdir(path.c_str(), 0755);
        return path;
    }
    // The system's form of a path below the drop folder.
    std::wstring dropped(const std::string& name) {
        return wide(root.path()) + L"\\drop\\" + wide(name);
    }

    static std::set<std::wstring> names(const dropped_item_list& items) {
        std::set<std::wstring> result;
        for (const auto& item : items) result.insert(item->get_name());
        return result;
    }

    win_machine::scoped_root root;
    std::string base;
};

TEST_F(DroppedFiles, TheRootKeepsTheDropOrderAndFoldersListTheirChildren) {
    make_folder("F");
    make_file("F/a.txt", "alpha");
    make_folder("F/sub");
    make_file("b.bin", "bravo");
    CHDROPWrapper root_items({dropped("b.bin"), dropped("F"), dropped("gone")});

    const dropped_item_list top = root_items.list_items();
    ASSERT_EQ(top.size(), 3u);
    EXPECT_EQ(top[0]->get_name(), L"b.bin");
    EXPECT_EQ(top[0]->get_type(), vfs::item_type_file);
    EXPECT_EQ(top[1]->get_name(), L"F");
    EXPECT_EQ(top[1]->get_type(), vfs::item_type_directory);
    EXPECT_EQ(top[2]->get_type(), vfs::item_type_file) << "a path that is gone is a file";
    EXPECT_THROW(boost::dynamic_pointer_cast<dropped_file>(top[2])->get_size(), vfs::exception);
    EXPECT_TRUE(root_items.has_subdirectories());

    const auto folder = boost::dynamic_pointer_cast<dropped_folder>(top[1]);
    EXPECT_EQ(names(folder->list_items()), (std::set<std::wstring>{L"a.txt", L"sub"}));
    EXPECT_TRUE(folder->has_subdirectories());
    EXPECT_EQ(folder->get_item(L"a.txt")->get_name(), L"a.txt");
    EXPECT_THROW(folder->get_item(L"A.TXT"), vfs::item_not_found_exception)
        << "names are compared exactly";
    EXPECT_TRUE(root_items.skipped().empty());

    CHDROPWrapper empty(std::vector<std::wstring>{});
    EXPECT_TRUE(empty.list_items().empty());
    EXPECT_FALSE(empty.has_subdirectories());
}

TEST_F(DroppedFiles, AFileIsReadWholeAndItsSizeKeepsThePosition) {
    std::string contents(40000, 'x');
    for (std::size_t i = 0; i < contents.size(); ++i) contents[i] = static_cast<char>(i * 7);
    make_file("big.bin", contents);
    CHDROPFile file(dropped("big.bin"));
    EXPECT_EQ(file.get_size(), 40000);
    file.open(vfs::modeRead, 0);
    EXPECT_EQ(file.get_mode(), vfs::modeRead);
    EXPECT_TRUE(file.is_bof());
    EXPECT_THROW(file.open(vfs::modeRead, 0), vfs::exception) << "already open";

    std::string read_back;
    char buffer[16384];
    int count = file.read(buffer, 100);
    read_back.append(buffer, count);
    EXPECT_EQ(file.get_size(), 40000);
    EXPECT_EQ(file.get_pos(), 100) << "the size leaves the position where it was";
    while ((count = file.read(buffer, sizeof buffer)) > 0) read_back.append(buffer, count);
    EXPECT_TRUE(file.is_eof());
    EXPECT_EQ(read_back, contents);
    file.close();
    EXPECT_EQ(file.get_mode(), 0);

    EXPECT_THROW(file.read(buffer, 1), vfs::exception);
    EXPECT_THROW(file.close(), vfs::exception);
    EXPECT_THROW(file.seek(0, vfs::seek_begin), vfs::exception);
}

TEST_F(DroppedFiles, WriteModesCreateTruncateOrAppend) {
    make_file("w.txt", "old");
    CHDROPFile file(dropped("w.txt"));
    file.open(vfs::modeWrite, 0);
    EXPECT_EQ(file.write("+more", 5), 5);
    file.close();
    EXPECT_EQ(file.get_size(), 8) << "write without overwrite appends";
    file.open(vfs::modeWrite | vfs::modeOverwrite, 0);
    EXPECT_EQ(file.write("new", 3), 3);
    file.close();
    EXPECT_EQ(file.get_size(), 3);
}

TEST_F(DroppedFiles, DatesComeFromTheFileSystemBefore1970Too) {
    const std::string path = make_file("old.txt", "x");
    struct utimbuf times {
        - 86400, -3600
    };
    ASSERT_EQ(utime(path.c_str(), &times), 0);
    CHDROPFile file(dropped("old.txt"));
    EXPECT_EQ(file.get_modification_date(), -3600);
    EXPECT_EQ(file.get_access_date(), -86400);
    CHDROPFile missing(dropped("none"));
    EXPECT_THROW(missing.get_modification_date(), vfs::exception);
}

TEST_F(DroppedFiles, LinksToFoldersPipesAndSocketsAreLeftOutAndRecorded) {
    make_folder("F");
    make_file("F/kept.txt", "k");
    ASSERT_EQ(symlink(base.c_str(), (base + "/F/loop").c_str()), 0) << "a link cycle";
    ASSERT_EQ(symlink((base + "/F/kept.txt").c_str(), (base + "/F/link.txt").c_str()), 0);
    ASSERT_EQ(mkfifo((base + "/F/pipe").c_str(), 0644), 0);
    const int socket_handle = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const std::string socket_path = base + "/F/sock";
    ASSERT_LT(socket_path.size(), sizeof address.sun_path);
    socket_path.copy(address.sun_path, socket_path.size());
    ASSERT_EQ(bind(socket_handle, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);

    CHDROPWrapper tree({dropped("F"), dropped("F\\pipe")});
    ASSERT_EQ(tree.list_items().size(), 1u) << "a dropped pipe is never read";
    const auto folder = boost::dynamic_pointer_cast<dropped_folder>(tree.list_items()[0]);
    EXPECT_EQ(names(folder->list_items()), (std::set<std::wstring>{L"kept.txt", L"link.txt"}))
        << "a link to a file is that file's contents";
    EXPECT_EQ(tree.skipped().size(), 3u)
        << "the pipe (dropped and met in its folder, recorded once), the loop, the socket";
    close(socket_handle);
}

TEST_F(DroppedFiles, ARefusedFolderIsRecordedAsSkipped) {
    if (geteuid() == 0) GTEST_SKIP() << "permissions do not bind the super-user";
    make_folder("F");
    make_folder("F/locked");
    make_file("F/locked/secret.txt", "s");
    chmod((base + "/F/locked").c_str(), 0);
    CHDROPWrapper tree({dropped("F")});
    const auto folder = boost::dynamic_pointer_cast<dropped_folder>(tree.list_items()[0]);
    const auto locked = boost::dynamic_pointer_cast<dropped_folder>(folder->get_item(L"locked"));
    EXPECT_TRUE(locked->list_items().empty());
    EXPECT_EQ(tree.skipped().size(), 1u);
    chmod((base + "/F/locked").c_str(), 0755);
}

TEST_F(DroppedFiles, ADropListGivesEveryPathWholeHoweverLong) {
    // Two names that agree in their first 259 characters: cut there, the
    // second would read as the first and upload the wrong file.
    make_folder(std::string(200, 'd'));
    const std::string stem(120, 's');
    make_file(std::string(200, 'd') + "/" + stem + "-first", "first");
    make_file(std::string(200, 'd') + "/" + stem + "-second", "second");
    const std::wstring folder = dropped(std::string(200, 'd'));
    const std::wstring second = folder + L"\\" + wide(stem) + L"-second";
    ASSERT_GT(second.size(), 260u);
    HDROP drop = win_shell::make_drop_files({second, dropped("missing")});
    CHDROPWrapper tree(drop);
    GlobalFree(drop);
    const dropped_item_list items = tree.list_items();
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0]->get_name(), wide(stem) + L"-second");
    const auto file = boost::dynamic_pointer_cast<dropped_file>(items[0]);
    EXPECT_EQ(file->get_size(), 6);

    EXPECT_THROW(CHDROPWrapper(static_cast<HGLOBAL>(nullptr)), vfs::exception);
    EXPECT_THROW(CHDROPDirectory(dropped("never")), vfs::exception);
}

TEST_F(DroppedFiles, NamesThatCannotCrossOneToOneAreLeftOutAndRecorded) {
    make_folder("F");
    make_folder("F/x");
    make_file("F/x/y", "nested");
    make_file("F/x\\y", "literal");
    make_file("F/Same.txt", "upper");
    make_file("F/same.txt", "lower");
    make_file("F/\xC3\x84rger", "upper umlaut");
    make_file("F/\xC3\xA4rger", "lower umlaut");
    make_file("F/\xff", "not text");
    make_file("F/\xEF\xBF\xBD", "spelled");
    make_file("F/kept.txt", "k");
    make_folder("G");
    make_file("G/kept.TXT", "beside F's file at the top");

    CHDROPWrapper tree({dropped("F"), dropped("G\\kept.TXT"), dropped("F\\kept.txt")});
    EXPECT_EQ(names(tree.list_items()), (std::set<std::wstring>{L"F"}))
        << "dropped items meet in one remote folder: twins there are left out";
    const auto folder = boost::dynamic_pointer_cast<dropped_folder>(tree.list_items()[0]);
    EXPECT_EQ(names(folder->list_items()), (std::set<std::wstring>{L"x", L"kept.txt", L"\uFFFD"}));
    const auto spelled = boost::dynamic_pointer_cast<dropped_file>(folder->get_item(L"\uFFFD"));
    spelled->open();
    char buffer[16] = {};
    EXPECT_EQ(std::string(buffer, spelled->read(buffer, sizeof buffer)), "spelled");
    spelled->close();
    const auto skipped = tree.skipped();
    EXPECT_EQ(skipped.size(), 8u) << "two at the top, six in F";
    for (const char* reason : {"letter case", "holds", "not valid UTF-8"}) {
        bool found = false;
        for (const auto& entry : skipped)
            found = found || entry.find(wide(reason)) != std::wstring::npos;
        EXPECT_TRUE(found) << reason;
    }
}

// A drop of thousands of paths reads in time linear in the block: read
// name by name it took close to a minute for 4,000 names.
TEST_F(DroppedFiles, AThousandsOfPathsDropIsReadInOnePass) {
    std::vector<std::wstring> paths;
    for (int i = 0; i < 4000; ++i)
        paths.push_back(dropped("missing-" + std::to_string(i) + std::string(40, 'p')));
    HDROP drop = win_shell::make_drop_files(paths);
    const auto start = std::chrono::steady_clock::now();
    CHDROPWrapper tree(drop);
    const auto took = std::chrono::steady_clock::now() - start;
    GlobalFree(drop);
    EXPECT_LT(took, std::chrono::seconds(5)) << "generous for a loaded machine";
    const dropped_item_list items = tree.list_items();
    ASSERT_EQ(items.size(), paths.size());
    EXPECT_EQ(items.back()->get_name(), L"missing-3999" + std::wstring(40, L'p'));
}

}  // namespace

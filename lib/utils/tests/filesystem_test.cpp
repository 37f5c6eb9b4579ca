#include "utils/filesystem.h"

#include <gtest/gtest.h>
#include <boost/filesystem/operations.hpp>
#include <fstream>
#include <random>
#include <sstream>

#include "utils/exceptions.h"
#include "utils/locale.h"
#include "win/file.h"
#include "win/machine.h"
#include "win/shell.h"
#include "win/test_journal.h"

namespace utils {
namespace {

namespace fs = boost::filesystem;

std::string read_bytes(const fs::path& path) {
    std::ifstream in(path.native(), std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

void write_bytes(const fs::path& path, const std::string& bytes) {
    std::ofstream(path.native(), std::ios::binary | std::ios::trunc) << bytes;
}

std::string random_bytes(std::size_t size) {
    std::mt19937 random(7);
    std::string bytes(size, '\0');
    for (auto& byte : bytes) byte = static_cast<char>(random());
    return bytes;
}

class Filesystem : public testing::Test {
protected:
    void SetUp() override { imbue_utf8_locale(); }

    // Expects the copy to fail with the given call text.
    void expect_copy_failure(const fs::path& source, const fs::path& destination,
                             const std::string& call) {
        try {
            filesystem::copy_file_ignoring_attributes(source, destination);
            ADD_FAILURE() << "copied onto " << destination;
        } catch (const system_error_exception& e) {
            EXPECT_NE(std::string(e.what()).find(call + " call returned error: "),
                      std::string::npos)
                << e.what();
        }
    }

    win_machine::scoped_root root;
    const fs::path folder = fs::path(root.path()) / L"caf\u00e9";
    const fs::path source = folder / L"source \u00e9.bin";
    const fs::path destination = folder / L"destination.bin";

    void make_folder() { fs::create_directories(folder); }
};

TEST_F(Filesystem, FindsThePerUserFolders) {
    const fs::path app_data = filesystem::get_app_data_directory();
    EXPECT_EQ(app_data, fs::path(win_machine::app_data_dir()));
    EXPECT_EQ(filesystem::get_special_directory(CSIDL_LOCAL_APPDATA), app_data);
    EXPECT_EQ(filesystem::get_temp_directory(), app_data / L"Temp");
    EXPECT_FALSE(fs::exists(filesystem::get_temp_directory()));

    EXPECT_THROW(filesystem::get_special_directory(CSIDL_DRIVES), system_error_exception);
}

TEST_F(Filesystem, CopiesFilesOfEverySize) {
    make_folder();
    for (std::size_t size : {0, 1, 102399, 102400, 102401, 350000}) {
        const std::string bytes = random_bytes(size);
        write_bytes(source, bytes);
        filesystem::copy_file_ignoring_attributes(source, destination);
        EXPECT_EQ(read_bytes(destination), bytes) << size;
    }
}

TEST_F(Filesystem, CopyMakesAPlainFileAndReplacesOnlyPlainOnes) {
    make_folder();
    write_bytes(source, "content");
    ASSERT_TRUE(SetFileAttributesW(source.wstring().c_str(), FILE_ATTRIBUTE_READONLY));
    write_bytes(destination, "a longer plain file that is replaced");
    filesystem::copy_file_ignoring_attributes(source, destination);
    EXPECT_EQ(read_bytes(destination), "content");
    EXPECT_EQ(GetFileAttributesW(destination.wstring().c_str()), FILE_ATTRIBUTE_NORMAL);

    ASSERT_TRUE(SetFileAttributesW(destination.wstring().c_str(), FILE_ATTRIBUTE_READONLY));
    expect_copy_failure(source, destination, "Can not open destination file GetLastError()");

    const fs::path hidden = folder / L"hidden.bin";
    write_bytes(hidden, "hidden");
    if (SetFileAttributesW(hidden.wstring().c_str(), FILE_ATTRIBUTE_HIDDEN)) {
        expect_copy_failure(source, hidden, "Can not open destination file GetLastError()");
        EXPECT_EQ(read_bytes(hidden), "hidden");
    }

    expect_copy_failure(folder / L"missing.bin", destination,
                        "Can not open source file GetLastError()");
    expect_copy_failure(source, folder / L"no folder" / L"x.bin",
                        "Can not open destination file GetLastError()");
}

TEST_F(Filesystem, TellsTheShellAFolderChanged) {
    win_test::clear_shell_notifications();
    shell_change_notify(L"C:\\Users\\me\\Calvimora");
    const auto notifications = win_test::shell_notifications();
    ASSERT_EQ(notifications.size(), 1u);
    EXPECT_EQ(notifications[0].event, SHCNE_UPDATEDIR);
    EXPECT_EQ(notifications[0].flags, 0x11005u);
    EXPECT_EQ(notifications[0].item1, std::optional<std::string>("C:\\Users\\me\\Calvimora"));
    EXPECT_FALSE(notifications[0].item2);
}

TEST(Locale, ConvertsWidePathsAsUtf8) {
    imbue_utf8_locale();
    EXPECT_EQ(fs::path(std::wstring(L"\u00e9\U0001F600")).native(), "\xc3\xa9\xf0\x9f\x98\x80");
}

}  // namespace
}  // namespace utils

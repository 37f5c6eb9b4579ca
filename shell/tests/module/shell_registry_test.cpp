// The registry helpers and perceived types.
#include "folder/module/shell_registry.h"

#include <gtest/gtest.h>

#include "win/machine.h"

namespace {

using namespace shell_utils;

class ShellRegistry : public ::testing::Test {
protected:
    win_machine::scoped_root root;
};

TEST_F(ShellRegistry, AStringIsReadTerminatedEvenWhenStoredWithoutItsZero) {
    const std::wstring text = L"abcd";
    // Stored without its terminating zero, as any program may write it.
    ASSERT_TRUE(RegWriteString(HKEY_CURRENT_USER, L"Software\\Test", L"Name", REG_SZ, text.data(),
                               static_cast<DWORD>(text.size() * sizeof(wchar_t))));
    wchar_t buffer[8];
    std::fill(std::begin(buffer), std::end(buffer), L'#');
    DWORD type = 0, size = sizeof buffer;
    ASSERT_TRUE(RegReadString(HKEY_CURRENT_USER, L"Software\\Test", L"Name", &type, buffer, &size));
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(std::wstring(buffer), L"abcd");
    EXPECT_EQ(size, 4 * sizeof(wchar_t));

    // A buffer with room for the characters but not for a zero is refused.
    wchar_t exact[4];
    size = sizeof exact;
    EXPECT_FALSE(RegReadString(HKEY_CURRENT_USER, L"Software\\Test", L"Name", &type, exact, &size));

    // Other types come as they are; with no subkey the root key is read.
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyW(HKEY_CURRENT_USER, L"Software\\Test", &key), ERROR_SUCCESS);
    const DWORD number = 42;
    ASSERT_TRUE(RegWriteString(key, nullptr, L"Number", REG_DWORD, &number, sizeof number));
    DWORD read = 0;
    size = sizeof read;
    ASSERT_TRUE(RegReadString(key, nullptr, L"Number", &type, &read, &size));
    RegCloseKey(key);
    EXPECT_EQ(read, 42u);
    EXPECT_FALSE(
        RegReadString(HKEY_CURRENT_USER, L"Software\\Missing", L"Name", &type, buffer, &size));
}

TEST_F(ShellRegistry, PerceivedTypesComeFromTheExtensionsKey) {
    const std::wstring audio = L"Audio";
    ASSERT_TRUE(RegWriteString(HKEY_CLASSES_ROOT, L".mp3", L"PerceivedType", REG_SZ, audio.c_str(),
                               static_cast<DWORD>((audio.size() + 1) * sizeof(wchar_t))));
    const std::wstring video = L"video";
    ASSERT_TRUE(RegWriteString(HKEY_CLASSES_ROOT, L".avi", L"PerceivedType", REG_SZ, video.c_str(),
                               static_cast<DWORD>((video.size() + 1) * sizeof(wchar_t))));
    EXPECT_TRUE(IsPerceivedAudio(L"song.backup.MP3"));
    EXPECT_FALSE(IsPerceivedVideo(L"song.mp3"));
    EXPECT_TRUE(IsPerceivedVideo(L"film.avi"));
    EXPECT_FALSE(IsPerceivedAudio(L"mp3"));
    EXPECT_FALSE(IsPerceivedAudio(L"notes.txt"));
    EXPECT_FALSE(IsPerceivedAudio(L"trailing."));
}

}  // namespace

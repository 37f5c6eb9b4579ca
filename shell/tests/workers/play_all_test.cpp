// Playing media links: the playlist's bytes and name, the player chosen for
// one entry and for several, and the folder's collectors.
#include "folder/workers/play_all.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "folder/module/local_folders.h"
#include "folder/module/module.h"
#include "folder/transfer/data_object_impl.h"
#include "folder_fakes.h"
#include "test_programs.h"
#include "win/file.h"
#include "win/shell_test.h"

namespace {

using namespace shell_testing;

class linked_file : public fake_file {
public:
    linked_file(const std::wstring& name, std::wstring link)
        : fake_file(item_values{name, L"id-" + name}), link_(std::move(link)) {}
    std::wstring get_direct_link() override { return link_; }

private:
    std::wstring link_;
};

boost::shared_ptr<linked_file> linked(const std::wstring& name, const std::wstring& link) {
    return boost::make_shared<linked_file>(name, link);
}

std::string read_bytes(const std::wstring& path) {
    std::ifstream in(win_file::native_path(path), std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

bool exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

class PlayAll : public FolderTest {
protected:
    PlayAll() {
        register_test_programs(L"");
        playlists = shell_utils::GetIntermediateFilesFolder();
        win_test::clear_shell_executions();
    }

    std::wstring playlist(const std::wstring& name) const { return playlists + L"\\" + name; }

    std::wstring playlists;
    CCalvimoraModule module;  // the data object's clipboard formats
};

TEST_F(PlayAll, TwoEntriesMakeAPlaylistForThePlayerOfBoth) {
    auto music = make_steered(L"Music");
    write_play_all_playlist(
        {{L"a.mp3", L"https://files.test/A"}, {L"Café b.mp3", L"https://files.test/B"}}, nullptr,
        music, false);
    const std::string expected =
        "#EXTM3U\n#EXTINF:0,a.mp3\nhttps://files.test/A\n\n"
        "#EXTINF:0,Caf\xE9 b.mp3\nhttps://files.test/B\n\n";
    EXPECT_EQ(read_bytes(playlist(L"Music.m3u")), expected);

    const auto executions = win_test::shell_executions();
    ASSERT_EQ(executions.size(), 1u);
    // The player is handed the playlist's path in the native form.
    const std::string native = win_file::native_path(playlist(L"Music.m3u"));
    EXPECT_EQ(executions[0].file, native);
    EXPECT_EQ(native.find('\\'), std::string::npos) << native;
    EXPECT_EQ(executions[0].verb, "");
    EXPECT_EQ(executions[0].mask, 0x2000403u);
    EXPECT_EQ(executions[0].class_name,
              "HKEY_LOCAL_MACHINE\\Software\\Classes\\Applications\\player.exe");
    EXPECT_EQ(executions[0].result, 42);
}

TEST_F(PlayAll, PlaylistsAreNeverOverwritten) {
    auto music = make_steered(L"Music");
    ASSERT_TRUE(CreateDirectoryW(playlists.c_str(), nullptr));
    std::ofstream(win_file::native_path(playlist(L"Music.m3u"))) << "mine";
    const std::vector<play_entry> entries{{L"a.mp3", L"A"}, {L"b.mp3", L"B"}};
    write_play_all_playlist(entries, nullptr, music, false);
    write_play_all_playlist(entries, nullptr, music, false);
    EXPECT_EQ(read_bytes(playlist(L"Music.m3u")), "mine");
    EXPECT_EQ(read_bytes(playlist(L"Music(1).m3u")), read_bytes(playlist(L"Music(2).m3u")));
    EXPECT_FALSE(exists(playlist(L"Music(3).m3u")));
}

TEST_F(PlayAll, NamesFromTheServiceAreMadeSafe) {
    const std::vector<play_entry> entries{{L"a.mp3\r\n#EXTINF:0,injected", L"A\nB"},
                                          {L"b.mp3", L"B"}};
    write_play_all_playlist(entries, nullptr, make_steered(L"..\\..\\evil/x:"), false);
    write_play_all_playlist(entries, nullptr, make_steered(L".."), false);
    write_play_all_playlist(entries, nullptr, nullptr, false);
    EXPECT_EQ(read_bytes(playlist(L".._.._evil_x_.m3u")),
              "#EXTM3U\n#EXTINF:0,a.mp3#EXTINF:0,injected\nAB\n\n#EXTINF:0,b.mp3\nB\n\n");
    EXPECT_TRUE(exists(playlist(L"CalvimoraPlayAll.m3u")));
    EXPECT_TRUE(exists(playlist(L"CalvimoraPlayAll(1).m3u")));
}

TEST_F(PlayAll, WithoutAPlayerOfPlaylistsThePlaylistStaysAndNothingStarts) {
    write_play_all_playlist({{L"a.flac", L"A"}, {L"b.flac", L"B"}}, nullptr,
                            make_steered(L"Lossless"), false);
    EXPECT_TRUE(exists(playlist(L"Lossless.m3u")));
    EXPECT_TRUE(win_test::shell_executions().empty());
}

TEST_F(PlayAll, OneEntryPlaysItsLinkWithoutAPlaylist) {
    const std::vector<play_entry> one{{L"a.mp3", L"https://files.test/a b?x=1"}};
    write_play_all_playlist(one, nullptr, make_steered(L"Music"), false);
    HKEY player = nullptr;
    ASSERT_EQ(RegOpenKeyW(HKEY_CLASSES_ROOT, L"Player.Audio", &player), ERROR_SUCCESS);
    write_play_all_playlist(one, player, make_steered(L"Music"), false);
    RegCloseKey(player);
    write_play_all_playlist(one, nullptr, make_steered(L"Music"), true);
    write_play_all_playlist({{L"a.nodef", L"L"}}, nullptr, nullptr, false);
    write_play_all_playlist({}, nullptr, nullptr, false);

    EXPECT_FALSE(exists(playlist(L"Music.m3u")));
    const auto executions = win_test::shell_executions();
    ASSERT_EQ(executions.size(), 3u);
    EXPECT_EQ(executions[0].file, "C:\\Apps\\tunes.exe");
    EXPECT_EQ(executions[0].parameters, "\"https://files.test/a b?x=1\"");
    EXPECT_EQ(executions[0].verb, "");
    EXPECT_EQ(executions[1].file, "C:\\Program Files\\Player\\player.exe");
    EXPECT_EQ(executions[1].parameters, "\"https://files.test/a b?x=1\"");
    EXPECT_EQ(executions[2].file, "RUNDLL32.EXE");
    EXPECT_EQ(executions[2].parameters, "shell32.dll,OpenAs_RunDLL https://files.test/a b?x=1");
}

TEST_F(PlayAll, FolderCollectorsPlayTheirTypeDirectlyInTheFolder) {
    auto inner = make_steered(L"Inner", {linked(L"deep.mp3", L"D")});
    auto album = make_steered(L"Album", {linked(L"1.mp3", L"L1"), inner, linked(L"clip.mp4", L"V"),
                                         linked(L"notes.txt", L"T"), linked(L"2.WAV", L"L2")});
    LPITEMIDLIST selected = child_list(album->children[2]);
    CComObject<CDataObjectImpl>* object = nullptr;
    ASSERT_EQ(create_data_object(
                  album, CItemIdList(reinterpret_cast<LPCITEMIDLIST>(junction.data()), true),
                  CItemIdList(), nullptr, const_cast<LPCITEMIDLIST*>(&selected), 1, &object),
              S_OK);
    const int listings = album->listings;
    object->collect_music_files(nullptr);
    EXPECT_EQ(album->listings, listings + 1);
    EXPECT_EQ(read_bytes(playlist(L"Album.m3u")),
              "#EXTM3U\n#EXTINF:0,1.mp3\nL1\n\n#EXTINF:0,2.WAV\nL2\n\n");
    win_test::clear_shell_executions();
    object->collect_video_files(nullptr);
    const auto executions = win_test::shell_executions();
    ASSERT_EQ(executions.size(), 1u);
    EXPECT_EQ(executions[0].file, "C:\\Apps\\movie.exe");
    EXPECT_EQ(executions[0].parameters, "\"V\"");
    EXPECT_FALSE(exists(playlist(L"Album(1).m3u")));
    object->Release();
    CoTaskMemFree(selected);
}

}  // namespace

// A classes root filled with a few programs and file types, as installers
// leave them, for the tests of program lists and of opening with the shell:
//   player.exe  "Sound Player": class Player.Audio (with a drop handler for
//               its default verb "play") and Player.Audio2 (the same program
//               under a second name); opens .mp3, .wav and playlists (.m3u)
//   tunes.exe   "Tunes": class Tunes.File, an unquoted command; the default
//               program of .mp3 and .flac; never opens playlists
//   movie.exe   "Movie Player": class Movie.File; default of .mp4, opens .m3u
//   unpack.exe  class Archive.Gz: the default of .gz
//   .mp3        perceived audio; OpenWithProgIds Player.Audio, Player.Audio2,
//               Tunes.File; the audio type's OpenWithList: tunes.exe,
//               player.exe
//   .wav        perceived audio; default Player.Audio
//   .flac       default Tunes.File only, not perceived as anything
//   .mp4        perceived video; default Movie.File
//   .m3u        default Player.Playlist (player.exe); OpenWithProgIds
//               Movie.File
//   .nodef      no default program; OpenWithProgIds Player.Audio
//   .txt        default txtfile, whose verb "open" has no key of its own
//               ("shell"'s default names "edit" that is missing)
#pragma once

#include <string>

#include "win/registry.h"

namespace shell_testing {

// {4B9E2D71-3C5A-4F08-9E61-7D2C8A1B5E34}: the tests' drop handler.
inline constexpr CLSID test_drop_handler{
    0x4B9E2D71, 0x3C5A, 0x4F08, {0x9E, 0x61, 0x7D, 0x2C, 0x8A, 0x1B, 0x5E, 0x34}};
inline const wchar_t* const test_drop_handler_text = L"{4B9E2D71-3C5A-4F08-9E61-7D2C8A1B5E34}";

inline const wchar_t* const player_exe = L"C:\\Program Files\\Player\\player.exe";
inline const wchar_t* const tunes_exe = L"C:\\Apps\\tunes.exe";
inline const wchar_t* const movie_exe = L"C:\\Apps\\movie.exe";

inline void set_class_text(const std::wstring& key_name, const wchar_t* value_name,
                           const std::wstring& text) {
    HKEY key = nullptr;
    if (RegCreateKeyW(HKEY_CLASSES_ROOT, key_name.c_str(), &key) != ERROR_SUCCESS) return;
    RegSetValueExW(key, value_name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
}

// handler_module: the drop handler's module in the system's form; empty
// leaves the class unregistered.
inline void register_test_programs(const std::wstring& handler_module) {
    const std::wstring player_command = L"\"" + std::wstring(player_exe) + L"\" \"%1\"";
    set_class_text(L"Player.Audio\\shell", nullptr, L"play");
    set_class_text(L"Player.Audio\\shell\\play", nullptr, L"&Play");
    set_class_text(L"Player.Audio\\shell\\play\\command", nullptr, player_command);
    set_class_text(L"Player.Audio\\shell\\play\\DropTarget", L"CLSID", test_drop_handler_text);
    set_class_text(L"Player.Audio2\\shell\\open\\command", nullptr, player_command);
    set_class_text(L"Player.Playlist\\shell\\open\\command", nullptr, player_command);
    set_class_text(L"Applications\\player.exe", L"FriendlyAppName", L"Sound Player");
    set_class_text(L"Applications\\player.exe\\shell\\open\\command", nullptr, player_command);

    const std::wstring tunes_command = std::wstring(tunes_exe) + L" %1";
    set_class_text(L"Tunes.File\\shell\\open\\command", nullptr, tunes_command);
    set_class_text(L"Applications\\tunes.exe", L"FriendlyAppName", L"Tunes");
    set_class_text(L"Applications\\tunes.exe\\shell\\open\\command", nullptr, tunes_command);

    const std::wstring movie_command = L"\"" + std::wstring(movie_exe) + L"\" \"%1\"";
    set_class_text(L"Movie.File\\shell\\open\\command", nullptr, movie_command);
    set_class_text(L"Applications\\movie.exe", L"FriendlyAppName", L"Movie Player");
    set_class_text(L"Applications\\movie.exe\\shell\\open\\command", nullptr, movie_command);

    set_class_text(L"Archive.Gz\\shell\\open\\command", nullptr, L"C:\\Apps\\unpack.exe %1");
    set_class_text(L"txtfile\\shell", nullptr, L"edit");
    set_class_text(L"txtfile\\shell\\open\\command", nullptr, L"C:\\Apps\\notes.exe %1");

    set_class_text(L".mp3", nullptr, L"Tunes.File");
    set_class_text(L".mp3", L"PerceivedType", L"audio");
    for (const wchar_t* id : {L"Player.Audio", L"Player.Audio2", L"Tunes.File"})
        set_class_text(L".mp3\\OpenWithProgIds", id, L"");
    set_class_text(L"SystemFileAssociations\\audio\\OpenWithList\\tunes.exe", nullptr, L"");
    set_class_text(L"SystemFileAssociations\\audio\\OpenWithList\\player.exe", nullptr, L"");
    set_class_text(L".wav", nullptr, L"Player.Audio");
    set_class_text(L".wav", L"PerceivedType", L"audio");
    set_class_text(L".flac", nullptr, L"Tunes.File");
    set_class_text(L".mp4", nullptr, L"Movie.File");
    set_class_text(L".mp4", L"PerceivedType", L"video");
    set_class_text(L".m3u", nullptr, L"Player.Playlist");
    set_class_text(L".m3u\\OpenWithProgIds", L"Movie.File", L"");
    set_class_text(L".nodef\\OpenWithProgIds", L"Player.Audio", L"");
    set_class_text(L".gz", nullptr, L"Archive.Gz");
    set_class_text(L".txt", nullptr, L"txtfile");

    if (!handler_module.empty())
        set_class_text(L"CLSID\\" + std::wstring(test_drop_handler_text) + L"\\InprocServer32",
                       nullptr, handler_module);
}

// A native path in the system's form, as registration writes it.
inline std::wstring system_form_of(const std::string& native) {
    std::wstring out(native.begin(), native.end());
    for (wchar_t& c : out)
        if (c == L'/') c = L'\\';
    return out;
}

}  // namespace shell_testing

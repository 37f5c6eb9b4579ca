// Playing audio and video files of the virtual folder from their direct
// links, never downloading them: one file goes to its player on the command
// line, several are written into a playlist in the intermediate folder that
// a player of both the media and playlists opens.
#pragma once

#include <string>
#include <vector>

#include "vfs/directory.h"
#include "win/registry.h"

struct play_entry {
    std::wstring name;  // display name with its extension
    std::wstring link;  // the file's direct link
};

// Plays the entries. With one entry: the Open With dialog when asked for,
// else the program of program_key or, without one, the name's default
// program. With several: a new playlist named after the folder and the
// first player of both the first name and playlists; program_key and
// open_with_dialog play no part then. Nothing is reported: what cannot be
// had is not played.
void write_play_all_playlist(const std::vector<play_entry>& entries, HKEY program_key,
                             const vfs::directory_ptr& folder, bool open_with_dialog);

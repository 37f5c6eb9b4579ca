// The local cache of the thumbnails of remote files: one file per remote
// file in "<local application data>\Calvimora\Thumbnails", named by the
// file's id and holding the image bytes as the service sent them. A cached
// thumbnail is used as long as it is not older than the remote file.
#pragma once

#include <stdexcept>
#include <string>

#include "vfs/file.h"
#include "vfs/item.h"
#include "win/gdi.h"

// A step of the cache that failed, with the text that says which.
class thumbnail_error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The path of the cache file of a remote id; creates the folders on the
// way. An id that is empty or holds a path separator, a drive colon or ".."
// is refused, so that no id the service sends names a file elsewhere.
std::wstring thumbnail_cache_folder(const std::wstring& id);

// Whether the cache file was written at or after the remote file's last
// change. Throws when the cache file cannot be opened or its time read.
bool thumbnail_cache_is_current(const std::wstring& path, const vfs::file_ptr& file);

// Replaces the cache file by the bytes, through a temporary file renamed
// over it, so that a reader sees the old thumbnail or the whole new one and
// a failed or cut write leaves no file that would count as current. Nothing
// is written for no bytes.
void store_thumbnail(const std::wstring& path, const vfs::byte_buffer& bytes);

// The picture in a cache file as a new bitmap the caller deletes; null when
// the file does not decode. GDI+ is started once for the process.
HBITMAP load_thumbnail_bitmap(const std::wstring& path);

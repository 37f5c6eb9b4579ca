// The thumbnail cache's files: where they live, whether one is current,
// writing one safely and decoding one.
#include "folder/icons/thumbnail_cache.h"

#include <cwchar>
#include <limits>
#include <mutex>

#include "utils/scoped_handle.h"
#include "win/file.h"
#include "win/gdiplus.h"
#include "win/handle.h"
#include "win/kernel.h"
#include "win/shell.h"

namespace {

// Creates the folder unless it exists.
void make_folder(const std::wstring& path) {
    if (!CreateDirectoryW(path.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
        throw thumbnail_error("Can't create Calvimora folder");
}

bool is_plain_file_name(const std::wstring& id) {
    return !id.empty() && id.find_first_of(L"\\/:") == std::wstring::npos &&
           id.find(L"..") == std::wstring::npos;
}

// GDI+ started on first use and kept until the process ends.
bool gdiplus_started() {
    static std::mutex lock;
    static ULONG_PTR token = 0;
    std::lock_guard<std::mutex> guard(lock);
    if (token) return true;
    Gdiplus::GdiplusStartupInput input;
    return Gdiplus::GdiplusStartup(&token, &input, nullptr) == Gdiplus::Ok;
}

}  // namespace

std::wstring thumbnail_cache_folder(const std::wstring& id) {
    if (!is_plain_file_name(id)) throw thumbnail_error("Invalid thumbnail file name");
    wchar_t folder[MAX_PATH] = {};
    if (!SHGetSpecialFolderPathW(nullptr, folder, CSIDL_LOCAL_APPDATA, TRUE))
        throw thumbnail_error("Can't retrieve application folder");
    std::wstring path(folder, wcsnlen(folder, MAX_PATH));
    path += L"\\Calvimora";
    if (path.size() >= MAX_PATH) throw thumbnail_error("Can't create Calvimora folder");
    make_folder(path);
    path += L"\\Thumbnails";
    if (path.size() >= MAX_PATH) throw thumbnail_error("Can't create Calvimora folder");
    make_folder(path);
    return path + L"\\" + id;
}

bool thumbnail_cache_is_current(const std::wstring& path, const vfs::file_ptr& file) {
    FILETIME written{};
    {
        utils::scoped_handle cached(CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr,
                                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!cached.valid()) throw thumbnail_error("Can't open thumbnail file");
        if (!GetFileTime(cached.get(), nullptr, nullptr, &written))
            throw thumbnail_error("Can't get thumbnail file modification time");
    }
    const std::int64_t ticks =
        static_cast<std::int64_t>(written.dwHighDateTime) << 32 | written.dwLowDateTime;
    const std::int64_t seconds = ticks / 10000000 - 11644473600;
    return seconds >= file->get_modification_date();
}

void store_thumbnail(const std::wstring& path, const vfs::byte_buffer& bytes) {
    if (bytes.empty()) throw thumbnail_error("Empty thumbnail");
    if (bytes.size() > std::numeric_limits<DWORD>::max())
        throw thumbnail_error("Can't write thumbnail file");
    // A name of this process and thread, so that two writers of one
    // thumbnail never share a temporary file.
    const std::wstring temporary = path + L"." + std::to_wstring(GetCurrentProcessId()) + L"." +
                                   std::to_wstring(GetCurrentThreadId()) + L".tmp";
    bool written = false;
    {
        utils::scoped_handle file(CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr,
                                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file.valid()) throw thumbnail_error("Can't open thumbnail file for writing");
        DWORD count = 0;
        written = WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &count,
                            nullptr) &&
                  count == bytes.size() && FlushFileBuffers(file.get());
    }
    if (!written || !MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        DeleteFileW(temporary.c_str());
        throw thumbnail_error("Can't write thumbnail file");
    }
}

HBITMAP load_thumbnail_bitmap(const std::wstring& path) {
    if (!gdiplus_started()) return nullptr;
    // Thumbnails come from the network: the smaller limit on their size.
    Gdiplus::Bitmap picture(path.c_str(), FALSE, Gdiplus::Bitmap::NetworkPictureMaxPixels,
                            Gdiplus::Bitmap::NetworkPictureMaxScans);
    if (picture.GetLastStatus() != Gdiplus::Ok) return nullptr;
    HBITMAP bitmap = nullptr;
    if (picture.GetHBITMAP(Gdiplus::Color(0, 0, 0, 0), &bitmap) != Gdiplus::Ok) return nullptr;
    return bitmap;
}

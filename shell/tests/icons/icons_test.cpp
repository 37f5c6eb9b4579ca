// Icons and thumbnails of remote items over scripted remote items: the
// icon lookup's key and location, the icons handed out, and the thumbnail
// cache's names, currency and writes, with the folder handing out both
// extractors.
#include <gtest/gtest.h>

#include <sys/resource.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>

#include "drawing/image_codecs.h"
#include "drawing/tests/many_scans_jpeg.h"
#include "folder/icons/extract_icon.h"
#include "folder/icons/extract_image.h"
#include "folder/icons/thumbnail_cache.h"
#include "folder_fakes.h"
#include "vfs/exceptions.h"
#include "win/file.h"
#include "win/registry.h"
#include "win/shell.h"
#include "win/user_icon.h"

namespace {

using shell_testing::fake_file;
using shell_testing::FolderTest;
using shell_testing::item_values;

PIDLDATA record_of(const std::wstring& name, int type) {
    PIDLDATA data{};
    data.cb = pidl_data_size;
    data.type = static_cast<uint8_t>(type);
    const std::u16string text(name.begin(), name.end());
    text.copy(data.name, text.size());
    return data;
}

void set_class_default(const std::wstring& key_name, const std::wstring& text) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyW(HKEY_CLASSES_ROOT, key_name.c_str(), &key), ERROR_SUCCESS);
    RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
}

// A remote file whose thumbnail replies the test scripts, counting them.
class thumbnail_file : public fake_file {
public:
    using fake_file::fake_file;
    std::function<vfs::byte_buffer()> reply;
    int fetched = 0;
    vfs::byte_buffer get_thumbnail() override {
        ++fetched;
        return reply();
    }
};

class service_failure : public virtual vfs::exception {
public:
    std::wstring get_title() const override { return L"Thumbnail request failed"; }
    std::wstring get_text() const override { return L"The service did not answer"; }
};

vfs::byte_buffer png_bytes(int width, int height) {
    win_gdi::canvas picture(width, height);
    picture.fill(win_gdi::make_pixel(255, 0x20, 0x40, 0x80));
    return win_gdi::encode_png(picture);
}

class Thumbnails : public ::testing::Test {
protected:
    Thumbnails() { file->modified = 1000; }

    std::filesystem::path cache_folder() const {
        return std::filesystem::path(win_machine::app_data_dir()) / "Calvimora" / "Thumbnails";
    }
    // The names in the cache folder.
    std::vector<std::string> cached() const {
        std::vector<std::string> names;
        if (!std::filesystem::exists(cache_folder())) return names;
        for (const auto& entry : std::filesystem::directory_iterator(cache_folder()))
            names.push_back(entry.path().filename().string());
        return names;
    }

    HRESULT extract(const vfs::item_ptr& item, HBITMAP* bitmap) {
        CComObject<CExtractImageImpl>* made = nullptr;
        EXPECT_EQ(CComObject<CExtractImageImpl>::CreateInstance(&made), S_OK);
        made->AddRef();
        HRESULT result = made->Init(item);
        if (SUCCEEDED(result)) result = made->Extract(bitmap);
        made->Release();
        return result;
    }

    win_machine::scoped_root root_;
    boost::shared_ptr<thumbnail_file> file =
        boost::make_shared<thumbnail_file>(item_values{L"photo.jpg", L"F17"});
};

}  // namespace

TEST(IconKeys, FoldersAreStarFilesTheirExtensionAndDotlessNamesTheEmptyText) {
    const icon_lookup_key folder = icon_key_of(record_of(L"Photos.2024", vfs::item_type_directory));
    EXPECT_EQ(folder.text, L"*");
    EXPECT_EQ(folder.attributes, static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
    const icon_lookup_key file = icon_key_of(record_of(L"archive.tar.GZ", vfs::item_type_file));
    EXPECT_EQ(file.text, L".GZ");
    EXPECT_EQ(file.attributes, static_cast<DWORD>(FILE_ATTRIBUTE_NORMAL));
    EXPECT_EQ(icon_key_of(record_of(L"README", vfs::item_type_file)).text, L"");
    EXPECT_EQ(icon_key_of(record_of(L".profile", vfs::item_type_file)).text, L".profile");
    EXPECT_EQ(icon_key_of(record_of(L"notes.", vfs::item_type_file)).text, L".");
}

TEST(IconExtractor, LocationsFollowTheFileTypesAndStayWithinTheBuffer) {
    win_machine::scoped_root root;
    set_class_default(L".pdf", L"Reader.Document");
    set_class_default(L"Reader.Document\\DefaultIcon", L"C:\\Program Files\\Reader\\reader.exe,2");
    IExtractIconW* icon = nullptr;
    ASSERT_EQ(create_extract_icon(record_of(L"report.pdf", vfs::item_type_file), &icon), S_OK);

    wchar_t buffer[64];
    int index = -1;
    UINT flags = 99;
    ASSERT_EQ(icon->GetIconLocation(0, buffer, 64, &index, &flags), S_OK);
    EXPECT_EQ(std::wstring(buffer), L"C:\\Program Files\\Reader\\reader.exe");
    EXPECT_EQ(index, 2);
    EXPECT_EQ(flags, 0u);

    // A short buffer gets as much as fits and its terminator, nothing past it.
    std::fill(std::begin(buffer), std::end(buffer), L'#');
    ASSERT_EQ(icon->GetIconLocation(0, buffer, 8, &index, &flags), S_OK);
    EXPECT_EQ(std::wstring(buffer), L"C:\\Prog");
    EXPECT_EQ(buffer[8], L'#');
    EXPECT_EQ(icon->GetIconLocation(0, buffer, 0, &index, &flags), E_INVALIDARG);
    EXPECT_EQ(buffer[0], L'C');
    icon->Release();

    ASSERT_EQ(create_extract_icon(record_of(L"Holiday", vfs::item_type_directory), &icon), S_OK);
    ASSERT_EQ(icon->GetIconLocation(GIL_OPENICON, buffer, 64, &index, &flags), S_OK);
    EXPECT_EQ(std::wstring(buffer), L"shell32.dll");
    EXPECT_EQ(index, SHELL_ICON_OPEN_FOLDER);
    // The lookup touches nothing remote, so an asynchronous caller is
    // answered at once.
    ASSERT_EQ(icon->GetIconLocation(GIL_ASYNC, buffer, 64, &index, &flags), S_OK);
    EXPECT_EQ(index, SHELL_ICON_FOLDER);
    icon->Release();
}

TEST(IconExtractor, ExtractHandsOutBothIconsUnlessTheShellExtractsItself) {
    win_machine::scoped_root root;
    IExtractIconW* icon = nullptr;
    ASSERT_EQ(create_extract_icon(record_of(L"Holiday", vfs::item_type_directory), &icon), S_OK);
    const int before = win_icons::live_icons();
    HICON large = nullptr, small = nullptr;
    ASSERT_EQ(icon->Extract(nullptr, 0, &large, &small, MAKELONG(32, 16)), S_OK);
    EXPECT_EQ(win_icons::icon_size(large).cx, 32);
    EXPECT_EQ(win_icons::icon_size(small).cx, 16);
    DestroyIcon(large);
    DestroyIcon(small);
    // One asked for alone: the other is not left behind.
    large = nullptr;
    ASSERT_EQ(icon->Extract(nullptr, 0, &large, nullptr, 32), S_OK);
    EXPECT_NE(large, nullptr);
    DestroyIcon(large);
    EXPECT_EQ(win_icons::live_icons(), before);

    wchar_t buffer[MAX_PATH];
    int index = 0;
    UINT flags = 0;
    ASSERT_EQ(icon->GetIconLocation(GIL_FORSHELL, buffer, MAX_PATH, &index, &flags), S_OK);
    large = small = nullptr;
    EXPECT_EQ(icon->Extract(buffer, index, &large, &small, 32), S_FALSE);
    EXPECT_EQ(large, nullptr);
    EXPECT_EQ(win_icons::live_icons(), before);
    icon->Release();
}

TEST_F(Thumbnails, CacheNamesAreTheIdsAndRefuseIdsThatNameOtherFiles) {
    const std::wstring path = thumbnail_cache_folder(L"F17");
    EXPECT_EQ(win_file::native_path(path), (cache_folder() / "F17").string());
    EXPECT_TRUE(std::filesystem::is_directory(cache_folder()));
    for (const wchar_t* id : {L"", L"..", L"..\\..\\Roaming\\x", L"a/b", L"a\\b", L"C:x", L"a..b"})
        EXPECT_THROW(thumbnail_cache_folder(id), thumbnail_error) << id;
}

TEST_F(Thumbnails, ExtractFetchesOnceAndAgainOnlyWhenTheRemoteFileIsNewer) {
    file->reply = [] { return png_bytes(40, 30); };
    HBITMAP bitmap = nullptr;
    ASSERT_EQ(extract(file, &bitmap), S_OK);
    BITMAP info{};
    ASSERT_EQ(GetObjectW(bitmap, sizeof info, &info), static_cast<int>(sizeof info));
    EXPECT_EQ(info.bmWidth, 40);
    EXPECT_EQ(info.bmHeight, 30);
    DeleteObject(bitmap);
    EXPECT_EQ(file->fetched, 1);
    EXPECT_EQ(cached(), std::vector<std::string>{"F17"});

    ASSERT_EQ(extract(file, &bitmap), S_OK);
    DeleteObject(bitmap);
    EXPECT_EQ(file->fetched, 1);

    // Changed after the thumbnail was stored.
    const auto later = std::chrono::system_clock::now() + std::chrono::hours(1);
    file->modified =
        std::chrono::duration_cast<std::chrono::seconds>(later.time_since_epoch()).count();
    file->reply = [] { return png_bytes(12, 10); };
    ASSERT_EQ(extract(file, &bitmap), S_OK);
    ASSERT_EQ(GetObjectW(bitmap, sizeof info, &info), static_cast<int>(sizeof info));
    EXPECT_EQ(info.bmWidth, 12);
    DeleteObject(bitmap);
    EXPECT_EQ(file->fetched, 2);
}

TEST_F(Thumbnails, AFailedOrEmptyReplyWritesNoCacheFile) {
    file->reply = []() -> vfs::byte_buffer { throw service_failure(); };
    HBITMAP bitmap = reinterpret_cast<HBITMAP>(1);
    EXPECT_EQ(extract(file, &bitmap), E_FAIL);
    EXPECT_EQ(bitmap, nullptr);
    file->reply = [] { return vfs::byte_buffer(); };
    EXPECT_EQ(extract(file, &bitmap), E_FAIL);
    EXPECT_TRUE(cached().empty());
    EXPECT_EQ(file->fetched, 2);

    // A stale thumbnail stays stale: the next Extract asks again.
    std::filesystem::create_directories(cache_folder());
    std::ofstream(cache_folder() / "F17") << "old";
    std::filesystem::last_write_time(
        cache_folder() / "F17",
        std::filesystem::file_time_type::clock::now() - std::chrono::hours(48));
    file->modified = std::chrono::duration_cast<std::chrono::seconds>(
                         std::chrono::system_clock::now().time_since_epoch())
                         .count() -
                     3600;
    file->reply = [] { return vfs::byte_buffer(); };
    EXPECT_EQ(extract(file, &bitmap), E_FAIL);
    EXPECT_EQ(file->fetched, 3);
    file->reply = [] { return png_bytes(2, 2); };
    EXPECT_EQ(extract(file, &bitmap), S_OK);
    DeleteObject(bitmap);
    EXPECT_EQ(file->fetched, 4);
    EXPECT_EQ(cached(), std::vector<std::string>{"F17"});
}

// Files of this process may grow only to the limit while it is in place, as
// on a disk that fills up in the middle of a write.
class file_size_limit {
public:
    explicit file_size_limit(rlim_t bytes) {
        previous_signal_ = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &previous_);
        rlimit limit = previous_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~file_size_limit() {
        setrlimit(RLIMIT_FSIZE, &previous_);
        std::signal(SIGXFSZ, previous_signal_);
    }
    file_size_limit(const file_size_limit&) = delete;
    file_size_limit& operator=(const file_size_limit&) = delete;

private:
    rlimit previous_{};
    void (*previous_signal_)(int) = nullptr;
};

TEST_F(Thumbnails, AWriteCutShortLeavesNoCacheFile) {
    const vfs::byte_buffer picture = png_bytes(300, 200);
    ASSERT_GT(picture.size(), 64u);
    file->reply = [&] { return picture; };
    HBITMAP bitmap = nullptr;
    {
        file_size_limit limit(64);
        EXPECT_EQ(extract(file, &bitmap), E_FAIL);
    }
    EXPECT_TRUE(cached().empty());
    ASSERT_EQ(extract(file, &bitmap), S_OK);
    DeleteObject(bitmap);
    EXPECT_EQ(file->fetched, 2);
}

TEST_F(Thumbnails, APictureTheDecoderRefusesFailsWithoutACrash) {
    vfs::byte_buffer damaged = png_bytes(50, 50);
    damaged.resize(damaged.size() / 2);
    file->reply = [&] { return damaged; };
    HBITMAP bitmap = nullptr;
    EXPECT_EQ(extract(file, &bitmap), E_FAIL);
    EXPECT_EQ(bitmap, nullptr);
    const std::string jfif = "\xFF\xD8\xFF\xE0\x00\x10JFIF\x00garbage";
    file->reply = [&] { return vfs::byte_buffer(jfif.begin(), jfif.end()); };
    file->modified = INT64_MAX;
    EXPECT_EQ(extract(file, &bitmap), E_FAIL);
    EXPECT_EQ(file->fetched, 2);
    EXPECT_EQ(extract(file, nullptr), E_POINTER);
}

// A thumbnail of the service's picture size that a decoder would go over
// hundreds of times is refused as a picture too large.
TEST_F(Thumbnails, AThumbnailOfHundredsOfScansIsRefused) {
    const std::vector<uint8_t> costly = gdi_testing::many_scans_jpeg(96, 96, 883);
    file->reply = [&] { return vfs::byte_buffer(costly.begin(), costly.end()); };
    HBITMAP bitmap = nullptr;
    EXPECT_EQ(extract(file, &bitmap), E_FAIL);
    EXPECT_EQ(bitmap, nullptr);
    const std::vector<uint8_t> plain = gdi_testing::many_scans_jpeg(96, 96, 10);
    file->reply = [&] { return vfs::byte_buffer(plain.begin(), plain.end()); };
    file->modified = INT64_MAX;
    ASSERT_EQ(extract(file, &bitmap), S_OK);
    DeleteObject(bitmap);
}

TEST_F(Thumbnails, LocationIsTheCachePathAndAsyncCallersArePutOff) {
    CComObject<CExtractImageImpl>* made = nullptr;
    ASSERT_EQ(CComObject<CExtractImageImpl>::CreateInstance(&made), S_OK);
    made->AddRef();
    EXPECT_EQ(made->Init(shell_testing::make_steered(L"Docs")), E_FAIL);
    ASSERT_EQ(made->Init(file), S_OK);
    // The cache file's path in the native form.
    const std::string native = (cache_folder() / "F17").string();
    const std::wstring expected(native.begin(), native.end());

    wchar_t buffer[MAX_PATH];
    DWORD priority = 0;
    DWORD flags = IEIFLAG_ASYNC;
    SIZE size{96, 96};
    EXPECT_EQ(made->GetLocation(buffer, MAX_PATH, &priority, &size, 32, &flags), E_PENDING);
    EXPECT_EQ(std::wstring(buffer), expected);
    EXPECT_EQ(priority, IEIT_PRIORITY_NORMAL);
    flags = 0;
    EXPECT_EQ(made->GetLocation(buffer, MAX_PATH, nullptr, &size, 32, &flags), S_OK);
    EXPECT_EQ(made->GetLocation(buffer, MAX_PATH, nullptr, &size, 32, nullptr), S_OK);

    // Too small, even by the terminator alone: nothing written.
    std::fill(std::begin(buffer), std::end(buffer), L'#');
    EXPECT_EQ(
        made->GetLocation(buffer, static_cast<DWORD>(expected.size()), nullptr, &size, 32, &flags),
        E_FAIL);
    EXPECT_EQ(buffer[0], L'#');
    EXPECT_EQ(file->fetched, 0);  // nothing is fetched before Extract
    made->Release();
}

using FolderExtractors = FolderTest;

TEST_F(FolderExtractors, TheFolderHandsOutIconsForItemsAndThumbnailsForFilesOnly) {
    IShellFolder2* folder = make_folder();
    LPITEMIDLIST docs_list = child_list(docs);
    LPITEMIDLIST music_list = child_list(music);
    PCUITEMID_CHILD one[] = {docs_list};
    void* object = nullptr;
    ASSERT_EQ(folder->GetUIObjectOf(nullptr, 1, one, IID_IExtractIconW, nullptr, &object), S_OK);
    auto* icon = static_cast<IExtractIconW*>(object);
    wchar_t buffer[MAX_PATH];
    int index = 0;
    UINT flags = 0;
    ASSERT_EQ(icon->GetIconLocation(0, buffer, MAX_PATH, &index, &flags), S_OK);
    EXPECT_EQ(index, SHELL_ICON_FOLDER);
    icon->Release();

    // A folder has no thumbnail.
    EXPECT_EQ(folder->GetUIObjectOf(nullptr, 1, one, IID_IExtractImage, nullptr, &object), E_FAIL);
    EXPECT_EQ(object, nullptr);
    PCUITEMID_CHILD file_one[] = {music_list};
    ASSERT_EQ(folder->GetUIObjectOf(nullptr, 1, file_one, IID_IExtractImage, nullptr, &object),
              S_OK);
    auto* image = static_cast<IExtractImage*>(object);
    DWORD image_flags = 0;
    ASSERT_EQ(image->GetLocation(buffer, MAX_PATH, nullptr, nullptr, 32, &image_flags), S_OK);
    EXPECT_EQ(win_file::native_path(buffer),
              win_file::native_path(thumbnail_cache_folder(music->get_id())));
    image->Release();

    // The folder's own item is a folder: its extractor refuses.
    EXPECT_EQ(folder->CreateViewObject(nullptr, IID_IExtractImage, &object), E_FAIL);
    CoTaskMemFree(docs_list);
    CoTaskMemFree(music_list);
    folder->Release();
}

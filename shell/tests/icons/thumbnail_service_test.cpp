// Thumbnails against the stand-in service: the service's picture is fetched
// once into the cache and again only after the remote file changed, a
// failed reply leaves no cache file behind, and a cache file another handle
// holds fails the extraction.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "folder/icons/extract_image.h"
#include "folder/icons/thumbnail_cache.h"
#include "service_fixture.h"
#include "vfs/calvimora_client.h"
#include "vfs/directory.h"
#include "vfs/file.h"
#include "win/file.h"
#include "win/handle.h"
#include "win/machine.h"

namespace {

using calvimora::testing::request_fault;

class ThumbnailService : public ::testing::Test {
protected:
    ThumbnailService() {
        service_.export_url();
        owner_ = service_.add_user("alice", "secret");
        session_ = vfs_calvimora::client::log_in(L"alice", L"secret", L"pc-1");
    }

    // The file as a fresh listing of the root shows it.
    vfs::item_ptr listed(const std::wstring& name) {
        return session_->get_root_directory()->get_item(name, true);
    }

    HRESULT extract(const vfs::item_ptr& item, SIZE* size = nullptr) {
        IExtractImage* extractor = nullptr;
        HRESULT result = create_extract_image(item, nullptr, nullptr, &extractor);
        if (FAILED(result)) return result;
        HBITMAP bitmap = nullptr;
        result = extractor->Extract(&bitmap);
        extractor->Release();
        if (bitmap) {
            BITMAP info{};
            GetObjectW(bitmap, sizeof info, &info);
            if (size) *size = SIZE{info.bmWidth, info.bmHeight};
            DeleteObject(bitmap);
        }
        return result;
    }

    int thumbnail_requests() {
        int count = 0;
        for (const auto& request : service_.requests())
            if (request.action == "cm_thumbnail.php") ++count;
        return count;
    }

    std::vector<std::string> cached() const {
        const auto folder =
            std::filesystem::path(win_machine::app_data_dir()) / "Calvimora" / "Thumbnails";
        std::vector<std::string> names;
        if (!std::filesystem::exists(folder)) return names;
        for (const auto& entry : std::filesystem::directory_iterator(folder))
            names.push_back(entry.path().filename().string());
        return names;
    }

    win_machine::scoped_root root_;
    calvimora::testing::service service_;
    std::string owner_;
    vfs_calvimora::client_ptr session_;
};

}  // namespace

TEST_F(ThumbnailService, FetchedOnceThenAgainAfterTheRemoteFileChanged) {
    const std::string id = service_.add_file(owner_, "0", "beach.jpg", "sand and sea");
    SIZE size{};
    ASSERT_EQ(extract(listed(L"beach.jpg"), &size), S_OK);
    EXPECT_EQ(size.cx, 96);
    EXPECT_EQ(size.cy, 96);
    EXPECT_EQ(thumbnail_requests(), 1);
    EXPECT_EQ(cached(), std::vector<std::string>{id});

    ASSERT_EQ(extract(listed(L"beach.jpg")), S_OK);
    EXPECT_EQ(thumbnail_requests(), 1);

    // Written again an hour ago, after the cached thumbnail was stored two
    // hours ago.
    const auto now = std::chrono::system_clock::now();
    const auto cache_file =
        std::filesystem::path(win_machine::app_data_dir()) / "Calvimora" / "Thumbnails" / id;
    std::filesystem::last_write_time(
        cache_file, std::filesystem::file_time_type::clock::now() - std::chrono::hours(2));
    auto file = boost::dynamic_pointer_cast<vfs::file>(listed(L"beach.jpg"));
    ASSERT_TRUE(file);
    const std::string content = "sand, sea and sky";
    file->open(vfs::modeWrite | vfs::modeOverwrite, static_cast<std::int64_t>(content.size()));
    file->write(content.data(), static_cast<int>(content.size()));
    file->close(std::chrono::duration_cast<std::chrono::seconds>(
                    (now - std::chrono::hours(1)).time_since_epoch())
                    .count());

    ASSERT_EQ(extract(listed(L"beach.jpg")), S_OK);
    EXPECT_EQ(thumbnail_requests(), 2);
    ASSERT_EQ(extract(listed(L"beach.jpg")), S_OK);
    EXPECT_EQ(thumbnail_requests(), 2);
}

TEST_F(ThumbnailService, AFailedReplyWritesNoCacheFile) {
    service_.add_file(owner_, "0", "night.jpg", "dark");
    const vfs::item_ptr file = listed(L"night.jpg");
    for (const char* kind : {"error", "html", "garbage"}) {
        request_fault fault;
        fault.target = "cm_thumbnail.php";
        fault.kind = kind;
        fault.count = 0;  // every time, retries too
        fault.error_name = "Refused";
        fault.error_description = "No thumbnail";
        service_.arm(fault);
        EXPECT_EQ(extract(file), E_FAIL) << kind;
        EXPECT_TRUE(cached().empty()) << kind;
        service_.disarm();
    }
    EXPECT_EQ(extract(file), S_OK);
    EXPECT_EQ(cached().size(), 1u);
}

// A cache file that another handle holds without sharing cannot be read: the
// extraction fails, and fetches nothing again, whether or not the remote
// file changed meanwhile.
TEST_F(ThumbnailService, ALockedCacheFileGivesEFail) {
    const std::string id = service_.add_file(owner_, "0", "dune.jpg", "sand");
    ASSERT_EQ(extract(listed(L"dune.jpg")), S_OK);
    const std::wstring cache_file = thumbnail_cache_folder(std::wstring(id.begin(), id.end()));
    HANDLE lock = CreateFileW(cache_file.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    EXPECT_EQ(extract(listed(L"dune.jpg")), E_FAIL);
    std::filesystem::last_write_time(
        win_file::native_path(cache_file),
        std::filesystem::file_time_type::clock::now() - std::chrono::hours(48));
    EXPECT_EQ(extract(listed(L"dune.jpg")), E_FAIL);
    EXPECT_EQ(thumbnail_requests(), 1);
    CloseHandle(lock);
    EXPECT_EQ(extract(listed(L"dune.jpg")), S_OK);
    EXPECT_EQ(thumbnail_requests(), 2) << "stale once the lock is gone";
}

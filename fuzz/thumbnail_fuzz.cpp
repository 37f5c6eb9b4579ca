// Thumbnails as the service sends them, damaged in every way: the bytes go
// through the extension's image extractor (written into the thumbnail
// cache, decoded from there into a bitmap). A reply either gives a bitmap
// within the network's picture limit or fails, and never leaves a
// temporary file behind.
#include <boost/make_shared.hpp>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <limits>

#include "fake_items.h"
#include "folder/icons/extract_image.h"
#include "fuzz_support.h"
#include "win/gdi.h"
#include "win/gdiplus.h"
#include "win/machine.h"

using calvimora_fuzz::require;

namespace {

// A remote file whose thumbnail is the input, always newer than its cache.
class replying_file : public shell_testing::fake_file {
public:
    replying_file() : fake_file(shell_testing::item_values{L"picture.jpg", L"F1"}) {
        modified = std::numeric_limits<std::int64_t>::max();
    }
    vfs::byte_buffer reply;
    vfs::byte_buffer get_thumbnail() override { return reply; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static win_machine::scoped_root root;
    static const auto file = boost::make_shared<replying_file>();
    file->reply.assign(data, data + size);

    IExtractImage* extractor = nullptr;
    require(SUCCEEDED(create_extract_image(file, nullptr, nullptr, &extractor)),
            "no extractor for a file");
    HBITMAP bitmap = nullptr;
    const HRESULT result = extractor->Extract(&bitmap);
    extractor->Release();
    require(SUCCEEDED(result) == (bitmap != nullptr), "a result that disagrees with its bitmap");
    if (bitmap) {
        BITMAP info{};
        require(GetObjectW(bitmap, sizeof info, &info) == sizeof info, "a bitmap without a size");
        require(
            std::int64_t{info.bmWidth} * info.bmHeight <= Gdiplus::Bitmap::NetworkPictureMaxPixels,
            "a thumbnail over the network's limit");
        DeleteObject(bitmap);
    }
    const auto folder =
        std::filesystem::path(win_machine::app_data_dir()) / "Calvimora" / "Thumbnails";
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        require(entry.path().filename() == "F1", "a file other than the thumbnail in the cache");
    return 0;
}

// Pictures as files and other programs' streams hand them over: any bytes
// through the GDI+ bitmap from a stream. A picture that decodes has a size
// within the limits and no more pixels than its bytes can carry; the
// network's smaller limit holds; and a decoded picture, written as PNG,
// reads back as the same pixels.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "drawing/gdi_canvas.h"
#include "drawing/image_codecs.h"
#include "fuzz_support.h"
#include "win/com.h"
#include "win/gdiplus.h"
#include "win/global_memory.h"

using calvimora_fuzz::require;

namespace {

struct gdiplus_running {
    gdiplus_running() {
        Gdiplus::GdiplusStartupInput input;
        Gdiplus::GdiplusStartup(&token, &input, nullptr);
    }
    ULONG_PTR token = 0;
};

IStream* stream_of(const std::uint8_t* data, std::size_t size) {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, size ? size : 1);
    if (size) std::memcpy(GlobalLock(block), data, size);
    GlobalUnlock(block);
    IStream* stream = nullptr;
    require(SUCCEEDED(CreateStreamOnHGlobal(block, TRUE, &stream)), "no stream over the bytes");
    return stream;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static gdiplus_running gdiplus;
    IStream* stream = stream_of(data, size);
    Gdiplus::Bitmap bitmap(stream);
    stream->Release();
    if (bitmap.GetLastStatus() == Gdiplus::Ok) {
        const std::int64_t width = bitmap.GetWidth();
        const std::int64_t height = bitmap.GetHeight();
        require(win_gdi::picture_size_acceptable(width, height), "a picture beyond the limits");
        require(width * height <= 8256 * static_cast<std::int64_t>(size) + 8192,
                "more pixels than the bytes can carry");
        Gdiplus::Color corner;
        require(bitmap.GetPixel(0, 0, &corner) == Gdiplus::Ok, "a decoded picture has no pixel");
    }

    IStream* again = stream_of(data, size);
    Gdiplus::Bitmap small(again, FALSE, Gdiplus::Bitmap::NetworkPictureMaxPixels,
                          Gdiplus::Bitmap::NetworkPictureMaxScans);
    again->Release();
    if (small.GetLastStatus() == Gdiplus::Ok)
        require(std::int64_t{small.GetWidth()} * small.GetHeight() <=
                    Gdiplus::Bitmap::NetworkPictureMaxPixels,
                "a picture over the network's limit");

    const win_gdi::decoded_image decoded = win_gdi::decode_picture(data, size);
    if (decoded.status == win_gdi::decode_status::ok) {
        const std::vector<uint8_t> file = win_gdi::encode_png(*decoded.pixels);
        const win_gdi::decoded_image back = win_gdi::decode_png(file.data(), file.size());
        require(back.status == win_gdi::decode_status::ok, "a written picture does not decode");
        require(back.pixels->width() == decoded.pixels->width() &&
                    back.pixels->height() == decoded.pixels->height(),
                "a written picture changed its size");
        for (int y = 0; y < back.pixels->height(); ++y)
            for (int x = 0; x < back.pixels->width(); ++x)
                require(back.pixels->at(x, y) == decoded.pixels->at(x, y),
                        "a written picture changed a pixel");
    }
    return 0;
}

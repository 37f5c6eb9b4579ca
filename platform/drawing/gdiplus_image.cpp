// Images and bitmaps: decoding streams, pixels, and bitmap handles for GDI.
#include <vector>

#include "gdi_canvas.h"
#include "gdiplus_internal.h"
#include "image_codecs.h"
#include "win/file.h"
#include "win/handle.h"

namespace Gdiplus {

namespace {

// The rest of the stream, read in chunks; empty on a failing read.
bool read_stream(IStream* stream, std::vector<uint8_t>& bytes) {
    uint8_t chunk[64 * 1024];
    for (;;) {
        ULONG got = 0;
        if (FAILED(stream->Read(chunk, sizeof chunk, &got))) return false;
        if (got == 0) return true;
        if (bytes.size() + got > size_t{1} << 28) return false;  // no picture file is that big
        bytes.insert(bytes.end(), chunk, chunk + got);
    }
}

Status status_of(win_gdi::decode_status status) {
    switch (status) {
        case win_gdi::decode_status::ok:
            return Ok;
        case win_gdi::decode_status::unknown_format:
            return UnknownImageFormat;
        case win_gdi::decode_status::too_large:
            return OutOfMemory;
        default:
            return InvalidParameter;
    }
}

// The whole file; false when it cannot be opened or read.
bool read_file(const WCHAR* path, std::vector<uint8_t>& bytes) {
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    uint8_t chunk[64 * 1024];
    bool read = true;
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file, chunk, sizeof chunk, &got, nullptr)) {
            read = false;
            break;
        }
        if (got == 0) break;
        if (bytes.size() + got > size_t{1} << 28) {  // no picture file is that big
            read = false;
            break;
        }
        bytes.insert(bytes.end(), chunk, chunk + got);
    }
    CloseHandle(file);
    return read;
}

}  // namespace

Image::~Image() = default;

Status Image::fail(Status status) const {
    if (status != Ok) last_status_ = status;
    return status;
}

Status Image::GetLastStatus() const {
    const Status status = last_status_;
    last_status_ = Ok;
    return status;
}

UINT Image::GetWidth() {
    if (!pixels_) {
        fail(InvalidParameter);
        return 0;
    }
    return pixels_->width();
}

UINT Image::GetHeight() {
    if (!pixels_) {
        fail(InvalidParameter);
        return 0;
    }
    return pixels_->height();
}

PixelFormat Image::GetPixelFormat() {
    return format_;
}

Bitmap::Bitmap(IStream* stream, BOOL use_embedded_color_management)
    : Bitmap(stream, use_embedded_color_management, win_gdi::largest_picture_pixels,
             win_gdi::unlimited_scans) {}

Bitmap::Bitmap(IStream* stream, BOOL, std::int64_t max_pixels, int max_scans) {
    if (!gdiplus_detail::running()) {
        last_status_ = GdiplusNotInitialized;
        return;
    }
    std::vector<uint8_t> bytes;
    if (!stream || !read_stream(stream, bytes)) {
        last_status_ = InvalidParameter;
        return;
    }
    decode(bytes, max_pixels, max_scans);
}

Bitmap::Bitmap(const WCHAR* file, BOOL use_embedded_color_management)
    : Bitmap(file, use_embedded_color_management, win_gdi::largest_picture_pixels,
             win_gdi::unlimited_scans) {}

Bitmap::Bitmap(const WCHAR* file, BOOL, std::int64_t max_pixels, int max_scans) {
    if (!gdiplus_detail::running()) {
        last_status_ = GdiplusNotInitialized;
        return;
    }
    std::vector<uint8_t> bytes;
    if (!file || !read_file(file, bytes)) {
        last_status_ = FileNotFound;
        return;
    }
    decode(bytes, max_pixels, max_scans);
}

void Bitmap::decode(const std::vector<uint8_t>& bytes, std::int64_t max_pixels, int max_scans) {
    win_gdi::decoded_image decoded =
        win_gdi::decode_picture(bytes.data(), bytes.size(), max_pixels, max_scans);
    last_status_ = status_of(decoded.status);
    pixels_ = std::move(decoded.pixels);
}

Bitmap::Bitmap(INT width, INT height, PixelFormat format) {
    format_ = format;
    if (!gdiplus_detail::running()) {
        last_status_ = GdiplusNotInitialized;
        return;
    }
    if (!win_gdi::picture_size_acceptable(width, height) ||
        (format != PixelFormat32bppARGB && format != PixelFormat32bppPARGB &&
         format != PixelFormat32bppRGB)) {
        last_status_ = InvalidParameter;
        return;
    }
    pixels_ = std::make_shared<win_gdi::canvas>(width, height);
    if (format == PixelFormat32bppRGB) pixels_->fill(win_gdi::make_pixel(255, 0, 0, 0));
}

Bitmap* Bitmap::FromStream(IStream* stream, BOOL use_embedded_color_management) {
    return new Bitmap(stream, use_embedded_color_management);
}

Bitmap* Bitmap::FromFile(const WCHAR* file, BOOL use_embedded_color_management) {
    return new Bitmap(file, use_embedded_color_management);
}

Status Bitmap::GetHBITMAP(const Color& background, HBITMAP* bitmap) {
    if (!bitmap) return fail(InvalidParameter);
    *bitmap = nullptr;
    if (!pixels_) return fail(InvalidParameter);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = pixels_->width();
    info.bmiHeader.biHeight = -pixels_->height();
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP made = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!made) return fail(OutOfMemory);
    win_gdi::canvas& target = *win_gdi::bitmap_canvas(made);
    const win_gdi::pixel under = gdiplus_detail::premultiplied(background.GetValue());
    for (int y = 0; y < pixels_->height(); ++y)
        for (int x = 0; x < pixels_->width(); ++x)
            target.set(x, y, win_gdi::source_over(pixels_->at(x, y), under));
    *bitmap = made;
    return Ok;
}

Status Bitmap::GetPixel(INT x, INT y, Color* color) {
    if (!pixels_ || !color || x < 0 || y < 0 || x >= pixels_->width() || y >= pixels_->height())
        return fail(InvalidParameter);
    const win_gdi::pixel p = pixels_->at(x, y);
    const uint8_t a = win_gdi::alpha_of(p);
    *color = Color(a, win_gdi::unpremultiply_channel(win_gdi::red_of(p), a),
                   win_gdi::unpremultiply_channel(win_gdi::green_of(p), a),
                   win_gdi::unpremultiply_channel(win_gdi::blue_of(p), a));
    return Ok;
}

Status Bitmap::SetPixel(INT x, INT y, const Color& color) {
    if (!pixels_ || x < 0 || y < 0 || x >= pixels_->width() || y >= pixels_->height())
        return fail(InvalidParameter);
    pixels_->set(x, y, gdiplus_detail::premultiplied(color.GetValue()));
    return Ok;
}

}  // namespace Gdiplus

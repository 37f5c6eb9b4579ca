// PNG files through libpng's simplified interface, which reports every fault
// of the input as an error instead of ending the process.
#include <png.h>

#include <unistd.h>
#include <cstdio>

#include <atomic>
#include <filesystem>
#include <string>

#include "gdi_pixels.h"
#include "image_codecs.h"

namespace win_gdi {

bool picture_size_acceptable(int64_t width, int64_t height, int64_t max_pixels) {
    return width > 0 && height > 0 && width <= largest_picture_side &&
           height <= largest_picture_side && width * height <= max_pixels;
}

namespace {

// Deflate never expands data more than about 1032 times, and every row of
// a PNG holds its filter byte and at least one bit per pixel.
bool carried_by(int64_t width, int64_t height, size_t size) {
    const int64_t least_raw = height * (1 + (width + 7) / 8);
    return least_raw <= 1032 * static_cast<int64_t>(size) + 1024;
}

}  // namespace

decoded_image decode_png(const uint8_t* data, size_t size, int64_t max_pixels) {
    decoded_image result;
    if (!data || size < 8 || png_sig_cmp(data, 0, 8) != 0) {
        result.status = decode_status::unknown_format;
        return result;
    }
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, data, size)) {
        png_image_free(&image);
        return result;
    }
    if (!picture_size_acceptable(image.width, image.height, max_pixels)) {
        png_image_free(&image);
        result.status = decode_status::too_large;
        return result;
    }
    if (!carried_by(image.width, image.height, size)) {
        png_image_free(&image);
        return result;
    }
    // Blue, green, red, alpha bytes: one of our pixels each, not yet
    // premultiplied.
    image.format = PNG_FORMAT_BGRA;
    auto pixels = std::make_shared<canvas>(image.width, image.height);
    if (!png_image_finish_read(&image, nullptr, pixels->row(0), 0, nullptr)) {
        png_image_free(&image);
        return result;
    }
    for (int y = 0; y < pixels->height(); ++y) {
        pixel* row = pixels->row(y);
        for (int x = 0; x < pixels->width(); ++x)
            row[x] =
                premultiply(alpha_of(row[x]), red_of(row[x]), green_of(row[x]), blue_of(row[x]));
    }
    result.pixels = std::move(pixels);
    result.status = decode_status::ok;
    return result;
}

decoded_image decode_picture(const uint8_t* data, size_t size, int64_t max_pixels, int max_scans) {
    if (data && size >= 2 && data[0] == 0xFF && data[1] == 0xD8)
        return decode_jpeg(data, size, max_pixels, max_scans);
    return decode_png(data, size, max_pixels);
}

std::vector<uint8_t> encode_png(const canvas& pixels) {
    std::vector<pixel> straight(static_cast<size_t>(pixels.width()) * pixels.height());
    for (int y = 0; y < pixels.height(); ++y)
        for (int x = 0; x < pixels.width(); ++x) {
            const pixel p = pixels.at(x, y);
            const uint8_t a = alpha_of(p);
            straight[static_cast<size_t>(y) * pixels.width() + x] = make_pixel(
                a, unpremultiply_channel(red_of(p), a), unpremultiply_channel(green_of(p), a),
                unpremultiply_channel(blue_of(p), a));
        }
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = pixels.width();
    image.height = pixels.height();
    image.format = PNG_FORMAT_BGRA;
    png_alloc_size_t size = 0;
    if (straight.empty() ||
        !png_image_write_to_memory(&image, nullptr, &size, 0, straight.data(), 0, nullptr))
        return {};
    std::vector<uint8_t> file(size);
    if (!png_image_write_to_memory(&image, file.data(), &size, 0, straight.data(), 0, nullptr))
        return {};
    file.resize(size);
    return file;
}

bool save_png(const canvas& pixels, const std::string& path) {
    const std::vector<uint8_t> file = encode_png(pixels);
    if (file.empty()) return false;
    // Written beside the target under a name of this writer's own and
    // renamed over it, so a reader never sees half a picture and two writers
    // of one path (test suites run side by side) never take each other's.
    static std::atomic<unsigned> writes{0};
    const std::string temporary =
        path + "." + std::to_string(getpid()) + "-" + std::to_string(++writes) + ".tmp";
    std::FILE* out = std::fopen(temporary.c_str(), "wb");
    if (!out) return false;
    const bool written = std::fwrite(file.data(), 1, file.size(), out) == file.size();
    if (std::fclose(out) != 0 || !written) {
        std::remove(temporary.c_str());
        return false;
    }
    std::error_code error;
    std::filesystem::rename(temporary, path, error);
    if (error) std::remove(temporary.c_str());
    return !error;
}

}  // namespace win_gdi

// Decoding picture files into canvases. The bytes come from outside (files,
// resources, streams of other programs): every decoder checks what it reads,
// refuses pictures too large to hold, and fails cleanly on anything broken.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>

#include "gdi_canvas.h"

namespace win_gdi {

enum class decode_status { ok, unknown_format, corrupt, too_large };

struct decoded_image {
    std::shared_ptr<canvas> pixels;  // premultiplied; null unless ok
    decode_status status = decode_status::corrupt;
};

// Largest picture accepted: sides and pixel count; callers may ask for a
// smaller count (pictures from the network).
constexpr int largest_picture_side = 16384;
constexpr int64_t largest_picture_pixels = int64_t{1} << 25;
// Each scan of a JPEG file is a pass over all its pixels, so a small file
// of hundreds of scans costs as much as hundreds of pictures: callers may
// limit their number (pictures from the network); a file with more is
// refused as too large once the first scan beyond the limit begins.
constexpr int unlimited_scans = std::numeric_limits<int>::max();

// Besides the limit, a picture never costs more memory than its bytes can
// carry: a header that claims more pixels than the compressed data could
// hold is damage, refused before anything is allocated, and rows are
// decoded as their data is read.
decoded_image decode_png(const uint8_t* data, size_t size,
                         int64_t max_pixels = largest_picture_pixels);
decoded_image decode_jpeg(const uint8_t* data, size_t size,
                          int64_t max_pixels = largest_picture_pixels,
                          int max_scans = unlimited_scans);
// Picks the decoder by the file's signature.
decoded_image decode_picture(const uint8_t* data, size_t size,
                             int64_t max_pixels = largest_picture_pixels,
                             int max_scans = unlimited_scans);

bool picture_size_acceptable(int64_t width, int64_t height,
                             int64_t max_pixels = largest_picture_pixels);

}  // namespace win_gdi

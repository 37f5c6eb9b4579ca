// Premultiplied pixel arithmetic shared by blits, text and images.
#pragma once

#include <cstdint>
#include <vector>

#include "gdi_canvas.h"

namespace win_gdi {

// x / 255 rounded to nearest, for x up to 255 * 255.
constexpr uint32_t divide_255(uint32_t x) {
    return (x + 128 + ((x + 128) >> 8)) >> 8;
}

// Every channel, alpha included, times factor / 255.
constexpr pixel scale_pixel(pixel p, uint32_t factor) {
    return divide_255(alpha_of(p) * factor) << 24 | divide_255(red_of(p) * factor) << 16 |
           divide_255(green_of(p) * factor) << 8 | divide_255(blue_of(p) * factor);
}

// Channel-wise sum, saturating (sums of premultiplied parts never exceed 255
// by more than rounding).
constexpr pixel add_pixels(pixel a, pixel b) {
    auto channel = [](uint32_t x, uint32_t y) { return x + y > 255 ? 255u : x + y; };
    return channel(alpha_of(a), alpha_of(b)) << 24 | channel(red_of(a), red_of(b)) << 16 |
           channel(green_of(a), green_of(b)) << 8 | channel(blue_of(a), blue_of(b));
}

// Premultiplied source over destination.
constexpr pixel source_over(pixel source, pixel destination) {
    const uint32_t alpha = alpha_of(source);
    if (alpha == 255) return source;
    if (alpha == 0) return add_pixels(source, destination);
    return add_pixels(source, scale_pixel(destination, 255 - alpha));
}

// A straight (not premultiplied) colour with its alpha as a premultiplied
// pixel.
constexpr pixel premultiply(uint8_t alpha, uint8_t red, uint8_t green, uint8_t blue) {
    return make_pixel(alpha, static_cast<uint8_t>(divide_255(red * alpha)),
                      static_cast<uint8_t>(divide_255(green * alpha)),
                      static_cast<uint8_t>(divide_255(blue * alpha)));
}

// Back to straight colour, for files and for reading pixels out.
constexpr uint8_t unpremultiply_channel(uint8_t channel, uint8_t alpha) {
    if (alpha == 0) return 0;
    const uint32_t value = (channel * 255u + alpha / 2) / alpha;
    return static_cast<uint8_t>(value > 255 ? 255 : value);
}

// Maps every pixel of the device rectangle to the nearest pixel of the source
// rectangle and lets combine(source, destination) write it, inside the parts
// only. Source pixels outside the source canvas are left out.
template <typename Combine>
void blit_scaled(canvas& target, const std::vector<RECT>& parts, const RECT& device,
                 const canvas& source, const RECT& from, Combine combine) {
    const LONG width = device.right - device.left;
    const LONG height = device.bottom - device.top;
    const LONG source_width = from.right - from.left;
    const LONG source_height = from.bottom - from.top;
    if (width <= 0 || height <= 0 || source_width <= 0 || source_height <= 0) return;
    std::vector<int> columns;
    for (const RECT& part : parts) {
        columns.resize(part.right - part.left);
        for (LONG x = part.left; x < part.right; ++x) {
            const int64_t i = x - device.left;
            columns[x - part.left] =
                from.left + static_cast<int>((2 * i + 1) * source_width / (2 * int64_t{width}));
        }
        for (LONG y = part.top; y < part.bottom; ++y) {
            const int64_t j = y - device.top;
            const int sy =
                from.top + static_cast<int>((2 * j + 1) * source_height / (2 * int64_t{height}));
            if (sy < 0 || sy >= source.height()) continue;
            const pixel* row = source.row(sy);
            pixel* to = target.row(y) + part.left;
            for (size_t k = 0; k < columns.size(); ++k) {
                const int sx = columns[k];
                if (sx >= 0 && sx < source.width()) to[k] = combine(row[sx], to[k]);
            }
        }
    }
}

}  // namespace win_gdi

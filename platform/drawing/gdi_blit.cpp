// Copies between surfaces: BitBlt, StretchBlt (nearest source pixel) and
// AlphaBlend.
#include "gdi_objects.h"
#include "gdi_pixels.h"

using namespace win_gdi;

namespace {

template <typename Combine>
void blit(const dc_object& destination, const RECT& logical, const canvas& source, int source_x,
          int source_y, int source_width, int source_height, Combine combine) {
    const RECT device = destination.to_device(logical);
    blit_scaled(destination.target(), destination.drawable_parts(device), device, source,
                RECT{source_x, source_y, source_x + source_width, source_y + source_height},
                combine);
}

// The source surface as the blit may read it: a copy when source and
// destination share their pixels, so that overlapping copies read the old
// pixels only.
std::shared_ptr<const canvas> readable_source(const dc_object& source,
                                              const dc_object& destination) {
    std::shared_ptr<canvas> pixels = source.target_ptr();
    if (pixels.get() != &destination.target()) return pixels;
    return copy_rect(*pixels, RECT{0, 0, pixels->width(), pixels->height()});
}

struct blit_pair {
    std::shared_ptr<dc_object> destination;
    std::shared_ptr<dc_object> source;
    std::shared_ptr<const canvas> pixels;
};

std::optional<blit_pair> open_pair(HDC destination, HDC source) {
    auto to = find_dc(destination);
    auto from = find_dc(source);
    if (!to || !from) return std::nullopt;
    return blit_pair{to, from, readable_source(*from, *to)};
}

}  // namespace

BOOL BitBlt(HDC destination, int x, int y, int width, int height, HDC source, int source_x,
            int source_y, DWORD rop) {
    return StretchBlt(destination, x, y, width, height, source, source_x, source_y, width, height,
                      rop);
}

BOOL StretchBlt(HDC destination, int x, int y, int width, int height, HDC source, int source_x,
                int source_y, int source_width, int source_height, DWORD rop) {
    if (rop != SRCCOPY) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return FALSE;
    }
    if (width < 0 || height < 0 || source_width < 0 || source_height < 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    auto pair = open_pair(destination, source);
    if (!pair) return FALSE;
    const POINT origin = pair->source->state.origin;
    blit(*pair->destination, RECT{x, y, x + width, y + height}, *pair->pixels, source_x + origin.x,
         source_y + origin.y, source_width, source_height, [](pixel from, pixel) { return from; });
    return TRUE;
}

BOOL AlphaBlend(HDC destination, int x, int y, int width, int height, HDC source, int source_x,
                int source_y, int source_width, int source_height, BLENDFUNCTION blend) {
    auto pair = open_pair(destination, source);
    if (!pair) return FALSE;
    const POINT origin = pair->source->state.origin;
    const int sx = source_x + origin.x;
    const int sy = source_y + origin.y;
    const canvas& pixels = *pair->pixels;
    if (width < 0 || height < 0 || source_width < 0 || source_height < 0 ||
        blend.BlendOp != AC_SRC_OVER || sx < 0 || sy < 0 ||
        int64_t{sx} + source_width > pixels.width() ||
        int64_t{sy} + source_height > pixels.height()) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const uint32_t constant = blend.SourceConstantAlpha;
    const RECT target{x, y, x + width, y + height};
    if (blend.AlphaFormat & AC_SRC_ALPHA) {
        blit(*pair->destination, target, pixels, sx, sy, source_width, source_height,
             [constant](pixel from, pixel to) {
                 return source_over(constant == 255 ? from : scale_pixel(from, constant), to);
             });
    } else {
        blit(*pair->destination, target, pixels, sx, sy, source_width, source_height,
             [constant](pixel from, pixel to) {
                 return add_pixels(scale_pixel(from, constant), scale_pixel(to, 255 - constant));
             });
    }
    return TRUE;
}

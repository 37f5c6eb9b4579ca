// What the parts of the GDI+ stand-in share: whether the library is started,
// and colour conversion.
#pragma once

#include "gdi_pixels.h"
#include "win/gdiplus.h"

namespace gdiplus_detail {

bool running();

inline win_gdi::pixel premultiplied(Gdiplus::ARGB argb) {
    const Gdiplus::Color c(argb);
    return win_gdi::premultiply(c.GetA(), c.GetR(), c.GetG(), c.GetB());
}

}  // namespace gdiplus_detail

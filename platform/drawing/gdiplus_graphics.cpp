// Graphics over DCs and bitmaps: clearing, images, rectangles.
#include <cmath>

#include "gdi_objects.h"
#include "gdiplus_internal.h"

namespace Gdiplus {

namespace {

LONG round_to_pixel(REAL value) {
    return static_cast<LONG>(std::lround(value));
}

RECT rect_of(REAL x, REAL y, REAL width, REAL height) {
    const LONG left = round_to_pixel(x);
    const LONG top = round_to_pixel(y);
    return RECT{left, top, round_to_pixel(x + width), round_to_pixel(y + height)};
}

}  // namespace

Status Brush::GetLastStatus() const {
    const Status status = last_status_;
    last_status_ = Ok;
    return status;
}

SolidBrush::SolidBrush(const Color& color) {
    color_ = color.GetValue();
    if (!gdiplus_detail::running()) last_status_ = GdiplusNotInitialized;
}

Status SolidBrush::GetColor(Color* color) const {
    if (!color) return last_status_ = InvalidParameter;
    *color = Color(color_);
    return Ok;
}

Status SolidBrush::SetColor(const Color& color) {
    color_ = color.GetValue();
    return Ok;
}

Graphics::Graphics(HDC dc) {
    if (!gdiplus_detail::running()) {
        last_status_ = GdiplusNotInitialized;
        return;
    }
    auto object = win_gdi::find_dc(dc);
    if (!object) {
        last_status_ = OutOfMemory;  // what the system reports for a DC it cannot use
        return;
    }
    target_ = object->target_ptr();
    origin_ = object->state.origin;
    if (object->state.clip) clip_ = std::make_shared<const win_gdi::region>(*object->state.clip);
}

Graphics::Graphics(Image* image) {
    if (!gdiplus_detail::running()) {
        last_status_ = GdiplusNotInitialized;
        return;
    }
    if (!image || !image->pixels_) {
        last_status_ = InvalidParameter;
        return;
    }
    target_ = image->pixels_;
}

Graphics::~Graphics() = default;

Graphics* Graphics::FromHDC(HDC dc) {
    return new Graphics(dc);
}

Graphics* Graphics::FromImage(Image* image) {
    return new Graphics(image);
}

Status Graphics::fail(Status status) const {
    if (status != Ok) last_status_ = status;
    return status;
}

Status Graphics::GetLastStatus() const {
    const Status status = last_status_;
    last_status_ = Ok;
    return status;
}

std::vector<RECT> Graphics::parts_of(const RECT& logical) const {
    RECT device = logical;
    OffsetRect(&device, origin_.x, origin_.y);
    const RECT bounds{0, 0, target_->width(), target_->height()};
    RECT inside;
    if (!IntersectRect(&inside, &device, &bounds)) return {};
    return win_gdi::visible_parts(inside, clip_.get());
}

Status Graphics::Clear(const Color& color) {
    if (!target_) return fail(InvalidParameter);
    const win_gdi::pixel value = gdiplus_detail::premultiplied(color.GetValue());
    const RECT everything{-origin_.x, -origin_.y, target_->width() - origin_.x,
                          target_->height() - origin_.y};
    for (const RECT& part : parts_of(everything))
        for (LONG y = part.top; y < part.bottom; ++y)
            std::fill(target_->row(y) + part.left, target_->row(y) + part.right, value);
    return Ok;
}

Status Graphics::draw_image(Image* image, const RECT& destination, const RECT& source) {
    if (!target_) return fail(InvalidParameter);
    if (!image || !image->pixels_) return fail(InvalidParameter);
    std::shared_ptr<const win_gdi::canvas> pixels = image->pixels_;
    if (pixels == target_)  // drawing a bitmap into itself reads the old pixels
        pixels = win_gdi::copy_rect(*pixels, RECT{0, 0, pixels->width(), pixels->height()});
    RECT device = destination;
    OffsetRect(&device, origin_.x, origin_.y);
    win_gdi::blit_scaled(
        *target_, parts_of(destination), device, *pixels, source,
        [](win_gdi::pixel from, win_gdi::pixel to) { return win_gdi::source_over(from, to); });
    return Ok;
}

Status Graphics::DrawImage(Image* image, INT x, INT y) {
    if (!image || !image->pixels_) return fail(InvalidParameter);
    const LONG width = image->pixels_->width(), height = image->pixels_->height();
    return draw_image(image, RECT{x, y, x + width, y + height}, RECT{0, 0, width, height});
}

Status Graphics::DrawImage(Image* image, REAL x, REAL y) {
    return DrawImage(image, static_cast<INT>(round_to_pixel(x)),
                     static_cast<INT>(round_to_pixel(y)));
}

Status Graphics::DrawImage(Image* image, INT x, INT y, INT width, INT height) {
    return DrawImage(image, Rect(x, y, width, height));
}

Status Graphics::DrawImage(Image* image, REAL x, REAL y, REAL width, REAL height) {
    return DrawImage(image, RectF(x, y, width, height));
}

Status Graphics::DrawImage(Image* image, const Rect& destination) {
    if (!image || !image->pixels_) return fail(InvalidParameter);
    return draw_image(
        image, RECT{destination.X, destination.Y, destination.GetRight(), destination.GetBottom()},
        RECT{0, 0, image->pixels_->width(), image->pixels_->height()});
}

Status Graphics::DrawImage(Image* image, const RectF& destination) {
    if (!image || !image->pixels_) return fail(InvalidParameter);
    return draw_image(image,
                      rect_of(destination.X, destination.Y, destination.Width, destination.Height),
                      RECT{0, 0, image->pixels_->width(), image->pixels_->height()});
}

Status Graphics::DrawImage(Image* image, INT x, INT y, INT source_x, INT source_y, INT source_width,
                           INT source_height, Unit source_unit) {
    return DrawImage(image, Rect(x, y, source_width, source_height), source_x, source_y,
                     source_width, source_height, source_unit);
}

Status Graphics::DrawImage(Image* image, const Rect& destination, INT source_x, INT source_y,
                           INT source_width, INT source_height, Unit source_unit) {
    if (source_unit != UnitPixel || source_width < 0 || source_height < 0)
        return fail(InvalidParameter);
    return draw_image(
        image, RECT{destination.X, destination.Y, destination.GetRight(), destination.GetBottom()},
        RECT{source_x, source_y, source_x + source_width, source_y + source_height});
}

Status Graphics::fill(const Brush* brush, const RECT& rect) {
    if (!target_ || !brush) return fail(InvalidParameter);
    const win_gdi::pixel color = gdiplus_detail::premultiplied(brush->color_);
    for (const RECT& part : parts_of(rect))
        for (LONG y = part.top; y < part.bottom; ++y) {
            win_gdi::pixel* row = target_->row(y);
            for (LONG x = part.left; x < part.right; ++x)
                row[x] = win_gdi::source_over(color, row[x]);
        }
    return Ok;
}

Status Graphics::FillRectangle(const Brush* brush, INT x, INT y, INT width, INT height) {
    return fill(brush, RECT{x, y, x + width, y + height});
}

Status Graphics::FillRectangle(const Brush* brush, REAL x, REAL y, REAL width, REAL height) {
    return fill(brush, rect_of(x, y, width, height));
}

Status Graphics::FillRectangle(const Brush* brush, const Rect& rect) {
    return FillRectangle(brush, rect.X, rect.Y, rect.Width, rect.Height);
}

Status Graphics::FillRectangle(const Brush* brush, const RectF& rect) {
    return FillRectangle(brush, rect.X, rect.Y, rect.Width, rect.Height);
}

}  // namespace Gdiplus

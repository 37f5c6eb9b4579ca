// Font families, fonts, string formats, and drawing and measuring strings.
#include <cmath>
#include <cwchar>

#include "gdiplus_internal.h"
#include "text_layout.h"

namespace Gdiplus {

namespace {

constexpr const wchar_t* generic_sans_serif = L"sans-serif";

double pixels_per_unit(Unit unit) {
    switch (unit) {
        case UnitPoint:
            return 96.0 / 72.0;
        case UnitInch:
            return 96.0;
        case UnitDocument:
            return 96.0 / 300.0;
        case UnitMillimeter:
            return 96.0 / 25.4;
        default:
            return 1.0;  // world, display and pixel units are pixels here
    }
}

win_gdi::horizontal_alignment horizontal(StringAlignment alignment) {
    switch (alignment) {
        case StringAlignmentCenter:
            return win_gdi::horizontal_alignment::center;
        case StringAlignmentFar:
            return win_gdi::horizontal_alignment::right;
        default:
            return win_gdi::horizontal_alignment::left;
    }
}

win_gdi::vertical_alignment vertical(StringAlignment alignment) {
    switch (alignment) {
        case StringAlignmentCenter:
            return win_gdi::vertical_alignment::center;
        case StringAlignmentFar:
            return win_gdi::vertical_alignment::bottom;
        default:
            return win_gdi::vertical_alignment::top;
    }
}

win_gdi::layout_options options_of(const StringFormat& format) {
    win_gdi::layout_options options;
    options.horizontal = horizontal(format.GetAlignment());
    options.vertical = vertical(format.GetLineAlignment());
    options.wrap = !(format.GetFormatFlags() & StringFormatFlagsNoWrap);
    options.break_long_words = true;
    options.ellipsis = format.GetTrimming() >= StringTrimmingEllipsisCharacter;
    options.ellipsis_marker = L"\u2026";
    options.whole_lines_only = format.GetFormatFlags() & StringFormatFlagsLineLimit;
    return options;
}

int limit_of(REAL extent) {
    return extent > 0 ? static_cast<int>(std::lround(extent)) : 0;
}

RECT box_of(const RectF& layout) {
    const LONG left = std::lround(layout.X), top = std::lround(layout.Y);
    return RECT{left, top, left + limit_of(layout.Width), top + limit_of(layout.Height)};
}

// The string to lay out, or false for a bad length.
bool text_of(const WCHAR* text, INT length, std::wstring_view& content) {
    if (!text || length < -1) return false;
    content = std::wstring_view(text, length == -1 ? std::wcslen(text) : length);
    return true;
}

}  // namespace

// ---- Families and fonts ---------------------------------------------------

FontFamily::FontFamily() : last_status_(InvalidParameter) {}

FontFamily::FontFamily(const WCHAR* name, const FontCollection*) {
    if (!gdiplus_detail::running()) {
        last_status_ = GdiplusNotInitialized;
        return;
    }
    if (!name) {
        last_status_ = InvalidParameter;
        return;
    }
    name_ = name;
    available_ = win_gdi::resolve_face(name_, false, false).found;
    if (!available_) last_status_ = FontFamilyNotFound;
}

const FontFamily* FontFamily::GenericSansSerif() {
    static const FontFamily* family = [] {
        auto* made = new FontFamily;
        made->name_ = generic_sans_serif;
        made->available_ = true;
        made->last_status_ = Ok;
        return made;
    }();
    return family;
}

BOOL FontFamily::IsAvailable() const {
    return available_ ? TRUE : FALSE;
}

Status FontFamily::GetFamilyName(WCHAR name[LF_FACESIZE], WORD) const {
    if (!name) return last_status_ = InvalidParameter;
    const size_t length = std::min<size_t>(name_.size(), LF_FACESIZE - 1);
    std::wmemcpy(name, name_.data(), length);
    name[length] = L'\0';
    return Ok;
}

Status FontFamily::GetLastStatus() const {
    const Status status = last_status_;
    last_status_ = Ok;
    return status;
}

Font::Font(const WCHAR* family_name, REAL em_size, INT style, Unit unit, const FontCollection*)
    : size_(em_size), style_(style), unit_(unit) {
    if (!family_name) {
        last_status_ = InvalidParameter;
        return;
    }
    open(family_name);
}

Font::Font(const FontFamily* family, REAL em_size, INT style, Unit unit)
    : size_(em_size), style_(style), unit_(unit) {
    if (!family || (!family->available_ && family->name_.empty())) {
        last_status_ = InvalidParameter;
        return;
    }
    open(family->name_);
}

void Font::open(const std::wstring& family) {
    if (!gdiplus_detail::running()) {
        last_status_ = GdiplusNotInitialized;
        return;
    }
    if (!(size_ > 0) || size_ > 10000) {
        last_status_ = InvalidParameter;
        return;
    }
    font_ = win_gdi::text_font::open(family, style_ & FontStyleBold, style_ & FontStyleItalic,
                                     size_ * pixels_per_unit(unit_));
    if (!font_)
        last_status_ = FontFamilyNotFound;
    else if (!font_->family_found())
        last_status_ = FontFamilyNotFound;  // drawn with the generic family all the same
}

BOOL Font::IsAvailable() const {
    return font_ ? TRUE : FALSE;
}

REAL Font::GetHeight(REAL dpi) const {
    if (!font_) return 0;
    return static_cast<REAL>(font_->line_spacing() * dpi / 96.0);
}

Status Font::GetLastStatus() const {
    const Status status = last_status_;
    last_status_ = Ok;
    return status;
}

StringFormat::StringFormat(INT flags, WORD) : flags_(flags) {}

Status StringFormat::SetAlignment(StringAlignment alignment) {
    alignment_ = alignment;
    return Ok;
}

Status StringFormat::SetLineAlignment(StringAlignment alignment) {
    line_alignment_ = alignment;
    return Ok;
}

Status StringFormat::SetTrimming(StringTrimming trimming) {
    if (trimming < StringTrimmingNone || trimming > StringTrimmingEllipsisPath)
        return InvalidParameter;
    trimming_ = trimming;
    return Ok;
}

Status StringFormat::SetFormatFlags(INT flags) {
    flags_ = flags;
    return Ok;
}

// ---- Drawing and measuring ------------------------------------------------

Status Graphics::DrawString(const WCHAR* text, INT length, const Font* font, const RectF& layout,
                            const StringFormat* format, const Brush* brush) {
    std::wstring_view content;
    if (!target_) return fail(InvalidParameter);
    if (!text_of(text, length, content) || !font || !font->font_ || !brush)
        return fail(InvalidParameter);
    const StringFormat defaults;
    const StringFormat& f = format ? *format : defaults;
    const win_gdi::layout_options options = options_of(f);
    const RECT box = box_of(layout);
    const bool clip =
        !(f.GetFormatFlags() & StringFormatFlagsNoClip) && layout.Width > 0 && layout.Height > 0;
    const RECT everywhere{-origin_.x, -origin_.y, target_->width() - origin_.x,
                          target_->height() - origin_.y};
    RECT device = box;
    OffsetRect(&device, origin_.x, origin_.y);
    std::lock_guard<std::mutex> guard(win_gdi::text_lock());
    const win_gdi::text_layout laid = win_gdi::lay_out(
        *font->font_, content, limit_of(layout.Width), limit_of(layout.Height), options);
    win_gdi::draw_layout(*target_, parts_of(clip ? box : everywhere), *font->font_, laid, device,
                         options, gdiplus_detail::premultiplied(brush->color_));
    return Ok;
}

Status Graphics::DrawString(const WCHAR* text, INT length, const Font* font, const PointF& origin,
                            const Brush* brush) {
    return DrawString(text, length, font, RectF(origin.X, origin.Y, 0, 0), nullptr, brush);
}

Status Graphics::DrawString(const WCHAR* text, INT length, const Font* font, const PointF& origin,
                            const StringFormat* format, const Brush* brush) {
    return DrawString(text, length, font, RectF(origin.X, origin.Y, 0, 0), format, brush);
}

Status Graphics::MeasureString(const WCHAR* text, INT length, const Font* font, const RectF& layout,
                               const StringFormat* format, RectF* bounding_box,
                               INT* code_points_fitted, INT* lines_filled) const {
    std::wstring_view content;
    if (!text_of(text, length, content) || !font || !font->font_ || !bounding_box)
        return fail(InvalidParameter);
    const StringFormat defaults;
    const win_gdi::layout_options options = options_of(format ? *format : defaults);
    std::lock_guard<std::mutex> guard(win_gdi::text_lock());
    const win_gdi::text_layout laid = win_gdi::lay_out(
        *font->font_, content, limit_of(layout.Width), limit_of(layout.Height), options);
    const RECT box = box_of(layout);
    LONG left = box.left;
    if (options.horizontal == win_gdi::horizontal_alignment::center)
        left = box.left + (box.right - box.left - laid.width) / 2;
    else if (options.horizontal == win_gdi::horizontal_alignment::right)
        left = box.right - laid.width;
    *bounding_box =
        RectF(static_cast<REAL>(left), static_cast<REAL>(win_gdi::layout_top(laid, box, options)),
              static_cast<REAL>(laid.width), static_cast<REAL>(laid.height()));
    if (lines_filled) *lines_filled = static_cast<INT>(laid.lines.size());
    if (code_points_fitted) {
        size_t shown = 0;
        for (const win_gdi::laid_line& line : laid.lines) shown += line.text.size();
        *code_points_fitted = static_cast<INT>(std::min(shown, content.size()));
    }
    return Ok;
}

Status Graphics::MeasureString(const WCHAR* text, INT length, const Font* font,
                               const PointF& origin, RectF* bounding_box) const {
    return MeasureString(text, length, font, RectF(origin.X, origin.Y, 0, 0), nullptr,
                         bounding_box);
}

}  // namespace Gdiplus

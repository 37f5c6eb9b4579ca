// Fonts of DCs and text drawing through GDI: CreateFont, metrics, extents,
// TextOutW and DrawTextW.
#include <algorithm>
#include <cmath>
#include <cwchar>

#include "gdi_objects.h"
#include "gdi_pixels.h"
#include "text_layout.h"

namespace win_gdi {

namespace {

// Used for an lfHeight of 0: 8 points at 96 pixels an inch.
constexpr int default_em_pixels = 11;

std::wstring face_name(const LOGFONTW& font) {
    // The name need not be terminated within its field.
    size_t length = 0;
    while (length < LF_FACESIZE && font.lfFaceName[length]) ++length;
    return std::wstring(font.lfFaceName, length);
}

std::shared_ptr<const text_font> font_for(const LOGFONTW& logfont) {
    const std::wstring family = face_name(logfont);
    const bool bold = logfont.lfWeight >= FW_SEMIBOLD;
    const bool italic = logfont.lfItalic != 0;
    double em = default_em_pixels;
    if (logfont.lfHeight < 0)
        em = -static_cast<double>(logfont.lfHeight);
    else if (logfont.lfHeight > 0)
        em = text_font::em_for_cell_height(family, bold, italic, logfont.lfHeight);
    return text_font::open(family, bold, italic, em);
}

LOGFONTW dialog_font() {
    LOGFONTW font{};
    font.lfHeight = -default_em_pixels;
    font.lfWeight = FW_NORMAL;
    font.lfCharSet = DEFAULT_CHARSET;
    const wchar_t name[] = L"MS Shell Dlg";
    std::wmemcpy(font.lfFaceName, name, sizeof name / sizeof name[0]);
    return font;
}

const text_font* selected_font(const dc_object& dc) {
    return dc.state.font ? dc.state.font->font.get() : nullptr;
}

bool selected_underline(const dc_object& dc) {
    return dc.state.font && dc.state.font->logfont.lfUnderline;
}

int gdi_line_height(const text_font& font) {
    return font.ascent() + font.descent();
}

// What text may touch: the DC's drawable parts of a device box.
std::vector<RECT> text_parts(const dc_object& dc, const RECT& box, bool clip_to_box) {
    const canvas& surface = dc.target();
    return dc.drawable_parts(clip_to_box ? box : RECT{0, 0, surface.width(), surface.height()});
}

void fill_line_backgrounds(const dc_object& dc, const std::vector<RECT>& parts,
                           const text_layout& layout, const RECT& box,
                           const layout_options& options) {
    canvas& surface = dc.target();
    const pixel color = opaque_pixel(dc.state.background_color);
    int top = layout_top(layout, box, options);
    for (const laid_line& line : layout.lines) {
        int left = box.left;
        if (options.horizontal == horizontal_alignment::center)
            left = box.left + (box.right - box.left - line.width) / 2;
        else if (options.horizontal == horizontal_alignment::right)
            left = box.right - line.width;
        const RECT extent{left, top, left + line.width, top + layout.line_height};
        for (const RECT& part : parts) {
            RECT visible;
            if (!IntersectRect(&visible, &extent, &part)) continue;
            for (LONG y = visible.top; y < visible.bottom; ++y)
                std::fill(surface.row(y) + visible.left, surface.row(y) + visible.right, color);
        }
        top += layout.line_height;
    }
}

}  // namespace

font_object::font_object(const LOGFONTW& f) : logfont(f), font(font_for(f)) {}

std::shared_ptr<font_object> stock_font(int which) {
    static const auto fonts = [] {
        std::vector<std::shared_ptr<font_object>> list;
        for (int i = 0; i < 2; ++i) {
            auto font = std::make_shared<font_object>(dialog_font());
            font->stock = true;
            add_object(font);
            list.push_back(font);
        }
        return list;
    }();
    if (which == SYSTEM_FONT) return fonts[0];
    if (which == DEFAULT_GUI_FONT) return fonts[1];
    return nullptr;
}

}  // namespace win_gdi

using namespace win_gdi;

HFONT CreateFontIndirectW(const LOGFONTW* logfont) {
    if (!logfont) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto object = std::make_shared<font_object>(*logfont);
    if (!object->font) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return static_cast<HFONT>(add_object(object));
}

HFONT CreateFontW(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                  DWORD underline, DWORD strike_out, DWORD charset, DWORD out_precision,
                  DWORD clip_precision, DWORD quality, DWORD pitch_and_family, LPCWSTR face) {
    LOGFONTW logfont{};
    logfont.lfHeight = height;
    logfont.lfWidth = width;
    logfont.lfEscapement = escapement;
    logfont.lfOrientation = orientation;
    logfont.lfWeight = weight;
    logfont.lfItalic = static_cast<BYTE>(italic != 0);
    logfont.lfUnderline = static_cast<BYTE>(underline != 0);
    logfont.lfStrikeOut = static_cast<BYTE>(strike_out != 0);
    logfont.lfCharSet = static_cast<BYTE>(charset);
    logfont.lfOutPrecision = static_cast<BYTE>(out_precision);
    logfont.lfClipPrecision = static_cast<BYTE>(clip_precision);
    logfont.lfQuality = static_cast<BYTE>(quality);
    logfont.lfPitchAndFamily = static_cast<BYTE>(pitch_and_family);
    if (face) {
        size_t length = 0;
        while (length + 1 < LF_FACESIZE && face[length]) ++length;
        std::wmemcpy(logfont.lfFaceName, face, length);
    }
    return CreateFontIndirectW(&logfont);
}

BOOL GetTextMetricsW(HDC dc, LPTEXTMETRICW metrics) {
    auto object = find_dc(dc);
    if (!object || !metrics) return FALSE;
    const text_font* font = selected_font(*object);
    if (!font) return FALSE;
    TEXTMETRICW m{};
    m.tmAscent = font->ascent();
    m.tmDescent = font->descent();
    m.tmHeight = gdi_line_height(*font);
    m.tmInternalLeading = std::max(0L, m.tmHeight - std::lround(font->em_pixels()));
    m.tmExternalLeading = std::max(0, font->line_spacing() - gdi_line_height(*font));
    m.tmAveCharWidth = font->average_width();
    m.tmMaxCharWidth = font->max_width();
    m.tmWeight = font->bold() ? FW_BOLD : FW_NORMAL;
    m.tmDigitizedAspectX = 96;
    m.tmDigitizedAspectY = 96;
    m.tmFirstChar = L' ';
    m.tmLastChar = 0xFFFF;
    m.tmDefaultChar = L'?';
    m.tmBreakChar = L' ';
    m.tmItalic = font->italic();
    m.tmPitchAndFamily = FF_SWISS;
    m.tmCharSet = DEFAULT_CHARSET;
    *metrics = m;
    return TRUE;
}

BOOL GetTextExtentPoint32W(HDC dc, LPCWSTR text, int count, LPSIZE size) {
    auto object = find_dc(dc);
    if (!object || !size || count < 0 || (!text && count > 0)) return FALSE;
    const text_font* font = selected_font(*object);
    if (!font) return FALSE;
    std::lock_guard<std::mutex> guard(text_lock());
    size->cx = text_width(*font, std::wstring_view(text ? text : L"", count));
    size->cy = gdi_line_height(*font);
    return TRUE;
}

BOOL TextOutW(HDC dc, int x, int y, LPCWSTR text, int count) {
    auto object = find_dc(dc);
    if (!object || count < 0 || (!text && count > 0)) return FALSE;
    const text_font* font = selected_font(*object);
    if (!font) return FALSE;
    std::lock_guard<std::mutex> guard(text_lock());
    layout_options options;
    options.single_line = true;
    options.underline_lines = selected_underline(*object);
    options.line_height = gdi_line_height(*font);
    const text_layout layout =
        lay_out(*font, std::wstring_view(text ? text : L"", count), 0, 0, options);
    const RECT box = object->to_device(RECT{x, y, x + layout.width, y + layout.height()});
    const std::vector<RECT> parts = text_parts(*object, box, false);
    if (object->state.background_mode == OPAQUE)
        fill_line_backgrounds(*object, parts, layout, box, options);
    draw_layout(object->target(), parts, *font, layout, box, options,
                opaque_pixel(object->state.text_color));
    return TRUE;
}

int DrawTextW(HDC dc, LPCWSTR text, int count, LPRECT rect, UINT format) {
    auto object = find_dc(dc);
    if (!object || !text || !rect || count < -1) return 0;
    const text_font* font = selected_font(*object);
    if (!font) return 0;
    const std::wstring_view content(text, count == -1 ? std::wcslen(text) : count);

    layout_options options;
    options.single_line = format & DT_SINGLELINE;
    options.wrap = (format & DT_WORDBREAK) && !options.single_line;
    // A word wider than the box breaks between characters, as it does on
    // Windows: a long name in a static control stays inside the control.
    options.break_long_words = options.wrap;
    options.ellipsis = format & DT_END_ELLIPSIS;
    options.prefixes = !(format & DT_NOPREFIX);
    options.underline_lines = selected_underline(*object);
    options.line_height = gdi_line_height(*font);
    if (format & DT_CENTER)
        options.horizontal = horizontal_alignment::center;
    else if (format & DT_RIGHT)
        options.horizontal = horizontal_alignment::right;
    if (options.single_line && (format & DT_VCENTER))
        options.vertical = vertical_alignment::center;
    else if (options.single_line && (format & DT_BOTTOM))
        options.vertical = vertical_alignment::bottom;

    std::lock_guard<std::mutex> guard(text_lock());
    const int box_width = std::max<LONG>(1, rect->right - rect->left);
    text_layout layout =
        lay_out(*font, content, options.wrap || options.ellipsis ? box_width : 0, 0, options);
    if (format & DT_HIDEPREFIX)
        for (laid_line& line : layout.lines) line.underline = -1;
    const int top_offset = layout_top(layout, *rect, options) - rect->top;
    const int result = options.vertical == vertical_alignment::top ? layout.height()
                                                                   : top_offset + layout.height();
    if (format & DT_CALCRECT) {
        rect->right = rect->left + layout.width;
        rect->bottom = rect->top + layout.height();
        return result;
    }
    const RECT box = object->to_device(*rect);
    const std::vector<RECT> parts = text_parts(*object, box, !(format & DT_NOCLIP));
    if (object->state.background_mode == OPAQUE)
        fill_line_backgrounds(*object, parts, layout, box, options);
    draw_layout(object->target(), parts, *font, layout, box, options,
                opaque_pixel(object->state.text_color));
    return result;
}

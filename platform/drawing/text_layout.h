// Laying text out in a box and drawing it: line breaks, word wrapping,
// trimming with an ellipsis, alignment, and glyphs composited into a canvas.
// GDI's DrawTextW and GDI+'s DrawString both come here with their options.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "gdi_canvas.h"
#include "text_fonts.h"

namespace win_gdi {

enum class horizontal_alignment { left, center, right };
enum class vertical_alignment { top, center, bottom };

struct layout_options {
    horizontal_alignment horizontal = horizontal_alignment::left;
    vertical_alignment vertical = vertical_alignment::top;
    bool single_line = false;       // line breaks do not break lines
    bool wrap = false;              // break between words at the box's width
    bool break_long_words = false;  // a word wider than the box breaks between characters
    bool ellipsis = false;          // a line too wide for the box is cut and ends in the marker
    std::wstring ellipsis_marker = L"...";
    bool whole_lines_only = false;  // lines not wholly inside the box's height are left out
    bool prefixes = false;          // "&" underlines the next character, "&&" is "&"
    bool underline_lines = false;   // an underlined font: a line under all the text
    int line_height = 0;            // 0: the font's line spacing
};

struct laid_line {
    std::wstring text;
    int width = 0;
    int underline = -1;  // index of the underlined character
};

struct text_layout {
    std::vector<laid_line> lines;
    int width = 0;  // the widest line
    int line_height = 0;
    int height() const { return static_cast<int>(lines.size()) * line_height; }
};

// Width of a run of text; call with text_lock() held.
int text_width(const text_font& font, std::wstring_view text);

// Lays text out for a box width_limit wide (0: no limit) and height_limit
// high (0: no limit; only whole_lines_only and the ellipsis of the last line
// use it). Call with text_lock() held.
text_layout lay_out(const text_font& font, std::wstring_view text, int width_limit,
                    int height_limit, const layout_options& options);

// Draws the laid-out lines in box (device coordinates) aligned by options,
// touching only pixels inside the parts (device rectangles). color is the
// premultiplied colour of full coverage. Call with text_lock() held.
void draw_layout(canvas& target, const std::vector<RECT>& parts, const text_font& font,
                 const text_layout& layout, const RECT& box, const layout_options& options,
                 pixel color);

// The top of the first line in box for the alignment.
int layout_top(const text_layout& layout, const RECT& box, const layout_options& options);

}  // namespace win_gdi

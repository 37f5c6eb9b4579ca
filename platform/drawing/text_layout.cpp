// Text layout: paragraphs, greedy word wrapping, ellipsis trimming, and the
// compositing of glyph coverage into premultiplied pixels.
#include "text_layout.h"

#include <algorithm>

#include "gdi_pixels.h"

namespace win_gdi {

namespace {

// Text with the prefix characters taken out, and the underlined position.
struct plain_text {
    std::wstring text;
    int underline = -1;
};

plain_text strip_prefixes(std::wstring_view text) {
    plain_text plain;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'&' && i + 1 < text.size()) {
            ++i;
            if (text[i] != L'&') plain.underline = static_cast<int>(plain.text.size());
        }
        plain.text.push_back(text[i]);
    }
    return plain;
}

// A line as a span of the plain text.
struct span {
    size_t begin;
    size_t end;
};

bool is_break(wchar_t c) {
    return c == L'\r' || c == L'\n';
}

std::vector<span> paragraphs(const std::wstring& text, bool single_line) {
    std::vector<span> result;
    if (single_line) {
        result.push_back({0, text.size()});
        return result;
    }
    size_t begin = 0;
    for (size_t i = 0; i <= text.size(); ++i) {
        if (i < text.size() && !is_break(text[i])) continue;
        result.push_back({begin, i});
        if (i + 1 < text.size() && text[i] == L'\r' && text[i + 1] == L'\n') ++i;
        begin = i + 1;
    }
    return result;
}

class wrapper {
public:
    wrapper(const text_font& font, const std::wstring& text, int width, bool break_long_words)
        : font_(font), text_(text), width_(width), break_long_words_(break_long_words) {}

    void wrap(span paragraph, std::vector<span>& lines) {
        size_t line_begin = paragraph.begin;
        size_t line_end = paragraph.begin;  // end of the last word on the line
        size_t i = paragraph.begin;
        while (i < paragraph.end) {
            size_t word_begin = i;
            while (word_begin < paragraph.end && text_[word_begin] == L' ') ++word_begin;
            size_t word_end = word_begin;
            while (word_end < paragraph.end && text_[word_end] != L' ') ++word_end;
            if (word_begin == paragraph.end) break;
            if (line_end > line_begin && width_of(line_begin, word_end) > width_) {
                lines.push_back({line_begin, line_end});
                line_begin = word_begin;
            }
            // A word wider than the whole line on its own.
            while (break_long_words_ && width_of(line_begin, word_end) > width_) {
                const size_t cut = fitting_end(line_begin, word_end);
                lines.push_back({line_begin, cut});
                line_begin = cut;
            }
            line_end = word_end;
            i = word_end;
        }
        lines.push_back({line_begin, std::max(line_begin, line_end)});
    }

private:
    int width_of(size_t begin, size_t end) const {
        return text_width(font_, std::wstring_view(text_).substr(begin, end - begin));
    }

    // The end of the longest run from begin that fits, at least one character.
    size_t fitting_end(size_t begin, size_t end) const {
        int width = 0;
        size_t i = begin;
        while (i < end) {
            width += font_.advance_of(text_[i]);
            if (width > width_ && i > begin) break;
            ++i;
        }
        return i;
    }

    const text_font& font_;
    const std::wstring& text_;
    int width_;
    bool break_long_words_;
};

// The text cut to fit width with the marker after it; trailing blanks go.
std::wstring with_marker(const text_font& font, std::wstring text, const std::wstring& marker,
                         int width) {
    const int marker_width = text_width(font, marker);
    while (!text.empty() && text_width(font, text) + marker_width > width) text.pop_back();
    while (!text.empty() && text.back() == L' ') text.pop_back();
    return text + marker;
}

void composite_glyph(canvas& target, const std::vector<RECT>& parts, const glyph& g, int x, int y,
                     pixel color) {
    const RECT box{x, y, x + g.width, y + g.rows};
    for (const RECT& part : parts) {
        RECT visible;
        if (!IntersectRect(&visible, &box, &part)) continue;
        for (LONG row = visible.top; row < visible.bottom; ++row) {
            const uint8_t* coverage = &g.coverage[static_cast<size_t>(row - y) * g.width];
            pixel* to = target.row(row);
            for (LONG column = visible.left; column < visible.right; ++column) {
                const uint32_t c = coverage[column - x];
                if (c == 0) continue;
                to[column] = source_over(c == 255 ? color : scale_pixel(color, c), to[column]);
            }
        }
    }
}

void fill_parts(canvas& target, const std::vector<RECT>& parts, const RECT& box, pixel color) {
    for (const RECT& part : parts) {
        RECT visible;
        if (!IntersectRect(&visible, &box, &part)) continue;
        for (LONG row = visible.top; row < visible.bottom; ++row)
            for (LONG column = visible.left; column < visible.right; ++column)
                target.row(row)[column] = source_over(color, target.row(row)[column]);
    }
}

}  // namespace

int text_width(const text_font& font, std::wstring_view text) {
    int width = 0;
    for (wchar_t c : text)
        if (!is_break(c)) width += font.advance_of(static_cast<char32_t>(c));
    return width;
}

text_layout lay_out(const text_font& font, std::wstring_view text, int width_limit,
                    int height_limit, const layout_options& options) {
    const plain_text plain =
        options.prefixes ? strip_prefixes(text) : plain_text{std::wstring(text)};
    text_layout layout;
    layout.line_height = options.line_height > 0 ? options.line_height : font.line_spacing();

    std::vector<span> lines;
    wrapper wrap(font, plain.text, width_limit, options.break_long_words);
    for (const span& paragraph : paragraphs(plain.text, options.single_line)) {
        if (options.wrap && width_limit > 0)
            wrap.wrap(paragraph, lines);
        else
            lines.push_back(paragraph);
    }

    size_t kept = lines.size();
    if (height_limit > 0 && layout.line_height > 0) {
        const size_t fitting = options.whole_lines_only
                                   ? height_limit / layout.line_height
                                   : (height_limit + layout.line_height - 1) / layout.line_height;
        kept = std::min(kept, fitting);
    }
    for (size_t i = 0; i < kept; ++i) {
        laid_line line;
        const span& s = lines[i];
        line.text = plain.text.substr(s.begin, s.end - s.begin);
        if (options.single_line)
            line.text.erase(std::remove_if(line.text.begin(), line.text.end(), is_break),
                            line.text.end());
        const bool cut_after = i + 1 == kept && kept < lines.size();
        if (options.ellipsis && width_limit > 0 && cut_after) {
            // The last line shown stands for everything after it.
            line.text = plain.text.substr(s.begin);
            std::replace_if(line.text.begin(), line.text.end(), is_break, L' ');
            line.text = with_marker(font, line.text, options.ellipsis_marker, width_limit);
        } else if (options.ellipsis && width_limit > 0 &&
                   text_width(font, line.text) > width_limit) {
            line.text = with_marker(font, line.text, options.ellipsis_marker, width_limit);
        }
        if (plain.underline >= static_cast<int>(s.begin) &&
            plain.underline < static_cast<int>(s.begin + line.text.size()))
            line.underline = plain.underline - static_cast<int>(s.begin);
        line.width = text_width(font, line.text);
        layout.width = std::max(layout.width, line.width);
        layout.lines.push_back(std::move(line));
    }
    return layout;
}

int layout_top(const text_layout& layout, const RECT& box, const layout_options& options) {
    switch (options.vertical) {
        case vertical_alignment::center:
            return box.top + (box.bottom - box.top - layout.height()) / 2;
        case vertical_alignment::bottom:
            return box.bottom - layout.height();
        default:
            return box.top;
    }
}

void draw_layout(canvas& target, const std::vector<RECT>& parts, const text_font& font,
                 const text_layout& layout, const RECT& box, const layout_options& options,
                 pixel color) {
    int top = layout_top(layout, box, options);
    for (const laid_line& line : layout.lines) {
        int pen = box.left;
        if (options.horizontal == horizontal_alignment::center)
            pen = box.left + (box.right - box.left - line.width) / 2;
        else if (options.horizontal == horizontal_alignment::right)
            pen = box.right - line.width;
        const int baseline = top + font.ascent();
        const int underline_y = baseline + std::max(1, font.descent() / 2);
        if (options.underline_lines && line.width > 0)
            fill_parts(target, parts, RECT{pen, underline_y, pen + line.width, underline_y + 1},
                       color);
        for (size_t i = 0; i < line.text.size(); ++i) {
            const glyph& g = font.glyph_of(static_cast<char32_t>(line.text[i]));
            if (!g.coverage.empty())
                composite_glyph(target, parts, g, pen + g.left, baseline - g.top, color);
            if (static_cast<int>(i) == line.underline)
                fill_parts(target, parts, RECT{pen, underline_y, pen + g.advance, underline_y + 1},
                           color);
            pen += g.advance;
        }
        top += layout.line_height;
    }
}

}  // namespace win_gdi

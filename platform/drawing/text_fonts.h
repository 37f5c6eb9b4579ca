// Faces and glyphs for text: font names resolved through fontconfig to
// installed files, opened with FreeType at a pixel size, and their glyphs
// rasterised once and kept (anti-aliased coverage masks), so a window that
// redraws the same text never rasterises it again.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

namespace win_gdi {

// Where a family name leads: the file and face index fontconfig chose, and
// whether it is the family asked for (or its stand-in) rather than the
// generic sans-serif family that stands in for missing ones.
struct resolved_face {
    std::string file;
    int index = 0;
    std::string family;
    bool found = false;
};

// Windows face names map to their metric-compatible stand-ins first
// ("Arial" and "MS Shell Dlg" to Liberation Sans).
resolved_face resolve_face(const std::wstring& family, bool bold, bool italic);

// One rasterised glyph: coverage 0..255 per pixel, placed relative to the pen
// on the baseline.
struct glyph {
    int left = 0;  // from the pen to the mask's left edge
    int top = 0;   // from the baseline up to the mask's top edge
    int width = 0;
    int rows = 0;
    int advance = 0;  // whole pixels
    std::vector<uint8_t> coverage;
};

class face_entry;

// A face at one size. Shared and immutable once made; glyphs are made on
// first use under the text lock (text_lock below).
class text_font {
public:
    // em_pixels may be fractional (sizes in points).
    static std::shared_ptr<const text_font> open(const std::wstring& family, bool bold, bool italic,
                                                 double em_pixels);
    // For a cell height (ascent + descent) instead of an em size.
    static double em_for_cell_height(const std::wstring& family, bool bold, bool italic,
                                     int cell_height);

    int ascent() const { return ascent_; }
    int descent() const { return descent_; }
    int line_spacing() const { return line_spacing_; }  // ascent + descent + line gap
    int average_width() const { return average_width_; }
    int max_width() const { return max_width_; }
    double em_pixels() const { return em_pixels_; }
    bool bold() const { return bold_; }
    bool italic() const { return italic_; }
    // Whether the family asked for is installed (else the sans-serif family
    // stands in).
    bool family_found() const { return found_; }
    const std::string& family_name() const { return family_; }

    // Call with text_lock() held. The reference stays valid for the life of
    // the process.
    const glyph& glyph_of(char32_t character) const;
    int advance_of(char32_t character) const { return glyph_of(character).advance; }

private:
    text_font() = default;

    std::shared_ptr<face_entry> face_;
    long size_26_6_ = 0;
    double em_pixels_ = 0;
    int ascent_ = 0;
    int descent_ = 0;
    int line_spacing_ = 0;
    int average_width_ = 0;
    int max_width_ = 0;
    bool bold_ = false;
    bool italic_ = false;
    bool found_ = false;
    std::string family_;
    mutable std::unordered_map<char32_t, const glyph*> by_character_;
};

// FreeType faces are not safe to share between threads: every use of a
// text_font's glyphs runs under this lock.
std::mutex& text_lock();

// How many glyphs have been rasterised in this process (the cache's misses).
uint64_t glyph_rasterisations();

}  // namespace win_gdi

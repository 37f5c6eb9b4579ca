// Font resolution through fontconfig, faces and sizes through FreeType, and
// the glyph cache.
#include "text_fonts.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SIZES_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cwctype>
#include <map>
#include <optional>
#include <tuple>

#include "kernel/wide_text.h"

namespace win_gdi {

namespace {

std::atomic<uint64_t> rasterisations{0};

std::string lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

// Windows faces the programs name, and the installed faces that share their
// metrics.
std::string stand_in_family(const std::string& family) {
    const std::string name = lower(family);
    if (name == "arial" || name == "ms shell dlg" || name == "ms shell dlg 2" ||
        name == "microsoft sans serif" || name == "ms sans serif")
        return "Liberation Sans";
    if (name == "times new roman") return "Liberation Serif";
    if (name == "courier new") return "Liberation Mono";
    return family;
}

bool generic_family(const std::string& family) {
    const std::string name = lower(family);
    return name == "sans-serif" || name == "sans" || name == "serif" || name == "monospace";
}

FT_Library library() {
    static FT_Library instance = [] {
        FT_Library made = nullptr;
        FT_Init_FreeType(&made);
        return made;
    }();
    return instance;
}

// Fontconfig keeps its configuration until FcFini; releasing it at exit keeps
// leak checkers quiet about memory that is not ours. Matching runs under the
// text lock, and so does the release.
void release_fontconfig_at_exit() {
    static const bool registered = [] {
        std::atexit([] {
            std::lock_guard<std::mutex> guard(text_lock());
            FcFini();
        });
        return true;
    }();
    (void)registered;
}

std::optional<resolved_face> match(const std::string& family, bool bold, bool italic) {
    release_fontconfig_at_exit();
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult outcome = FcResultNoMatch;
    FcPattern* found = FcFontMatch(nullptr, pattern, &outcome);
    FcPatternDestroy(pattern);
    if (!found) return std::nullopt;
    resolved_face face;
    FcChar8* file = nullptr;
    if (FcPatternGetString(found, FC_FILE, 0, &file) != FcResultMatch) {
        FcPatternDestroy(found);
        return std::nullopt;
    }
    face.file = reinterpret_cast<const char*>(file);
    FcPatternGetInteger(found, FC_INDEX, 0, &face.index);
    FcChar8* name = nullptr;
    for (int i = 0; FcPatternGetString(found, FC_FAMILY, i, &name) == FcResultMatch; ++i) {
        const std::string candidate = reinterpret_cast<const char*>(name);
        if (i == 0) face.family = candidate;
        if (lower(candidate) == lower(family)) {
            face.found = true;
            face.family = candidate;
        }
    }
    FcPatternDestroy(found);
    return face;
}

using glyph_key = std::tuple<const face_entry*, long, unsigned>;

// Process-wide caches. Glyphs live in a map whose nodes never move.
struct caches {
    std::map<std::pair<std::string, int>, std::shared_ptr<face_entry>> faces;
    std::map<std::tuple<std::string, bool, bool, long>, std::shared_ptr<const text_font>> fonts;
    std::map<glyph_key, glyph> glyphs;
};

caches& the_caches() {
    static caches* c = new caches;  // outlives static destructors of other units
    return *c;
}

}  // namespace

class face_entry {
public:
    FT_Face face = nullptr;
    FT_Size size_in_use = nullptr;
    std::map<long, FT_Size> sizes;

    // Makes the face render at the size (26.6 pixels).
    bool use_size(long size_26_6) {
        auto it = sizes.find(size_26_6);
        if (it == sizes.end()) {
            FT_Size made = nullptr;
            if (FT_New_Size(face, &made) != 0) return false;
            FT_Activate_Size(made);
            if (FT_Set_Char_Size(face, 0, size_26_6, 72, 72) != 0) return false;
            it = sizes.emplace(size_26_6, made).first;
        }
        if (size_in_use != it->second) {
            FT_Activate_Size(it->second);
            size_in_use = it->second;
        }
        return true;
    }
};

std::mutex& text_lock() {
    static std::mutex* lock = new std::mutex;
    return *lock;
}

uint64_t glyph_rasterisations() {
    return rasterisations.load();
}

resolved_face resolve_face(const std::wstring& family, bool bold, bool italic) {
    std::lock_guard<std::mutex> guard(text_lock());
    const std::string wanted = stand_in_family(win_detail::to_utf8(family));
    std::optional<resolved_face> face;
    if (!wanted.empty()) face = match(wanted, bold, italic);
    if (face && generic_family(wanted)) face->found = true;
    if (!face || !face->found) {
        std::optional<resolved_face> fallback = match("sans-serif", bold, italic);
        if (fallback) {
            fallback->found = false;
            face = fallback;
        }
    }
    return face.value_or(resolved_face{});
}

namespace {

std::shared_ptr<face_entry> open_face(const resolved_face& where) {
    caches& c = the_caches();
    auto& entry = c.faces[{where.file, where.index}];
    if (!entry) {
        auto made = std::make_shared<face_entry>();
        if (FT_New_Face(library(), where.file.c_str(), where.index, &made->face) != 0)
            return nullptr;
        entry = made;
    }
    return entry;
}

int scaled_units(const FT_Face face, long units, double em_pixels) {
    return static_cast<int>(std::lround(units * em_pixels / face->units_per_EM));
}

}  // namespace

std::shared_ptr<const text_font> text_font::open(const std::wstring& family, bool bold, bool italic,
                                                 double em_pixels) {
    const resolved_face where = resolve_face(family, bold, italic);
    if (where.file.empty()) return nullptr;
    const long size_26_6 = std::max(1L, std::lround(em_pixels * 64));
    std::lock_guard<std::mutex> guard(text_lock());
    caches& c = the_caches();
    auto& cached =
        c.fonts[{where.file + "#" + std::to_string(where.index) + (where.found ? "" : "?"), bold,
                 italic, size_26_6}];
    if (cached) return cached;
    std::shared_ptr<face_entry> face = open_face(where);
    if (!face || !face->use_size(size_26_6)) return nullptr;
    std::shared_ptr<text_font> font(new text_font);
    font->face_ = face;
    font->size_26_6_ = size_26_6;
    font->em_pixels_ = size_26_6 / 64.0;
    const FT_Size_Metrics& metrics = face->face->size->metrics;
    font->ascent_ = static_cast<int>((metrics.ascender + 63) >> 6);
    font->descent_ = static_cast<int>((-metrics.descender + 63) >> 6);
    font->line_spacing_ =
        std::max(font->ascent_ + font->descent_, static_cast<int>((metrics.height + 32) >> 6));
    font->max_width_ = static_cast<int>((metrics.max_advance + 63) >> 6);
    const auto* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face->face, FT_SFNT_OS2));
    font->average_width_ = os2 && os2->xAvgCharWidth > 0
                               ? scaled_units(face->face, os2->xAvgCharWidth, font->em_pixels_)
                               : std::max(1, font->max_width_ / 2);
    font->bold_ = bold;
    font->italic_ = italic;
    font->found_ = where.found;
    font->family_ = where.family;
    cached = font;
    return cached;
}

double text_font::em_for_cell_height(const std::wstring& family, bool bold, bool italic,
                                     int cell_height) {
    const resolved_face where = resolve_face(family, bold, italic);
    std::lock_guard<std::mutex> guard(text_lock());
    std::shared_ptr<face_entry> face = where.file.empty() ? nullptr : open_face(where);
    if (!face) return cell_height;
    const long cell_units = face->face->ascender - face->face->descender;
    if (cell_units <= 0) return cell_height;
    return static_cast<double>(cell_height) * face->face->units_per_EM / cell_units;
}

const glyph& text_font::glyph_of(char32_t character) const {
    auto known = by_character_.find(character);
    if (known != by_character_.end()) return *known->second;
    FT_Face face = face_->face;
    const unsigned index = FT_Get_Char_Index(face, character);
    caches& c = the_caches();
    auto [it, made] = c.glyphs.try_emplace(glyph_key{face_.get(), size_26_6_, index});
    glyph& g = it->second;
    if (made && face_->use_size(size_26_6_) &&
        FT_Load_Glyph(face, index, FT_LOAD_DEFAULT | FT_LOAD_TARGET_LIGHT) == 0 &&
        FT_Render_Glyph(face->glyph, FT_RENDER_MODE_LIGHT) == 0 &&
        face->glyph->bitmap.pixel_mode == FT_PIXEL_MODE_GRAY) {
        ++rasterisations;
        const FT_GlyphSlot slot = face->glyph;
        const FT_Bitmap& bitmap = slot->bitmap;
        g.left = slot->bitmap_left;
        g.top = slot->bitmap_top;
        g.width = static_cast<int>(bitmap.width);
        g.rows = static_cast<int>(bitmap.rows);
        g.advance = static_cast<int>((slot->advance.x + 32) >> 6);
        g.coverage.resize(static_cast<size_t>(g.width) * g.rows);
        for (int y = 0; y < g.rows; ++y)
            for (int x = 0; x < g.width; ++x)
                g.coverage[static_cast<size_t>(y) * g.width + x] =
                    bitmap.buffer[y * bitmap.pitch + x];
    }
    by_character_.emplace(character, &g);
    return g;
}

}  // namespace win_gdi

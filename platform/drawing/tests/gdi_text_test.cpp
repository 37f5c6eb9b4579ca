#include <gtest/gtest.h>

#include <algorithm>
#include <cwchar>

#include "drawing/text_fonts.h"
#include "gdi_test_support.h"
#include "win/gdi.h"
#include "win/gdi_test.h"

using gdi_testing::surface;

namespace {

constexpr uint32_t white = 0xFFFFFFFF;

// The box around every pixel that is not the background.
struct ink {
    int count = 0;
    RECT box{1 << 20, 1 << 20, -1, -1};
};

ink find_ink(const surface& s, uint32_t background) {
    ink found;
    for (int y = 0; y < s.height(); ++y)
        for (int x = 0; x < s.width(); ++x) {
            if (s.at(x, y) == background) continue;
            ++found.count;
            found.box.left = std::min<LONG>(found.box.left, x);
            found.box.top = std::min<LONG>(found.box.top, y);
            found.box.right = std::max<LONG>(found.box.right, x + 1);
            found.box.bottom = std::max<LONG>(found.box.bottom, y + 1);
        }
    return found;
}

class Text : public ::testing::Test {
protected:
    Text() {
        font_ =
            CreateFontW(-15, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"Arial");
        previous_ = SelectObject(s_.dc(), font_);
        s_.fill(white);
        SetBkMode(s_.dc(), TRANSPARENT);
    }
    ~Text() override {
        SelectObject(s_.dc(), previous_);
        DeleteObject(font_);
    }

    int draw(const wchar_t* text, RECT rect, UINT format) {
        return DrawTextW(s_.dc(), text, -1, &rect, format);
    }
    int measure(const wchar_t* text, RECT& rect, UINT format) {
        return DrawTextW(s_.dc(), text, -1, &rect, format | DT_CALCRECT);
    }

    surface s_{240, 80};
    HFONT font_;
    HGDIOBJ previous_;
};

}  // namespace

TEST(Fonts, WindowsFacesResolveToMetricCompatibleOnesAndMissingOnesFallBack) {
    const auto arial = win_gdi::resolve_face(L"Arial", false, false);
    EXPECT_TRUE(arial.found);
    EXPECT_EQ(arial.family, "Liberation Sans");
    const auto dialog = win_gdi::resolve_face(L"MS Shell Dlg", false, false);
    EXPECT_EQ(dialog.file, arial.file);
    const auto bold = win_gdi::resolve_face(L"arial", true, false);
    EXPECT_NE(bold.file, arial.file);

    const auto missing = win_gdi::resolve_face(L"No Such Face Anywhere", false, false);
    const auto generic = win_gdi::resolve_face(L"sans-serif", false, false);
    EXPECT_FALSE(missing.found);
    EXPECT_TRUE(generic.found);
    EXPECT_EQ(missing.file, generic.file);
    EXPECT_FALSE(missing.file.empty());
}

TEST_F(Text, MetricsFollowTheRequestedSize) {
    TEXTMETRICW metrics{};
    ASSERT_TRUE(GetTextMetricsW(s_.dc(), &metrics));
    EXPECT_EQ(metrics.tmHeight, metrics.tmAscent + metrics.tmDescent);
    EXPECT_GE(metrics.tmHeight, 15);
    EXPECT_LE(metrics.tmHeight, 19);
    SIZE one{}, two{};
    GetTextExtentPoint32W(s_.dc(), L"Wide", 4, &one);
    GetTextExtentPoint32W(s_.dc(), L"WideWide", 8, &two);
    EXPECT_EQ(two.cx, 2 * one.cx);
    EXPECT_EQ(one.cy, metrics.tmHeight);
    // A positive height asks for the cell, a smaller em.
    HFONT cell = CreateFontW(15, 0, 0, 0, FW_NORMAL, 0, 0, 0, 0, 0, 0, 0, 0, L"Arial");
    SelectObject(s_.dc(), cell);
    TEXTMETRICW cell_metrics{};
    GetTextMetricsW(s_.dc(), &cell_metrics);
    EXPECT_LE(std::abs(cell_metrics.tmHeight - 15), 1);
    SelectObject(s_.dc(), font_);
    DeleteObject(cell);
}

TEST_F(Text, InksOnlyInsideTheRectangleAndCentresThere) {
    const RECT box{40, 20, 200, 60};
    draw(L"Centred text", box, DT_SINGLELINE | DT_CENTER | DT_VCENTER);
    EXPECT_TRUE(win_test::save_png(s_.dc(), gdi_testing::snapshot_path("text_centred.png")));
    const ink found = find_ink(s_, white);
    ASSERT_GT(found.count, 50);
    EXPECT_GE(found.box.left, box.left);
    EXPECT_LE(found.box.right, box.right);
    EXPECT_GE(found.box.top, box.top);
    EXPECT_LE(found.box.bottom, box.bottom);
    EXPECT_LE(std::abs((found.box.left + found.box.right) / 2 - 120), 2);
    EXPECT_LE(std::abs((found.box.top + found.box.bottom) / 2 - 40), 3);
}

TEST_F(Text, LeftRightAndBottomAlignment) {
    const RECT box{10, 10, 230, 70};
    draw(L"Left", box, DT_SINGLELINE);
    const ink left = find_ink(s_, white);
    EXPECT_LE(left.box.left - box.left, 2);
    EXPECT_LE(left.box.bottom, 10 + 20);
    s_.fill(white);
    const int offset = draw(L"Right", box, DT_SINGLELINE | DT_RIGHT | DT_BOTTOM);
    const ink right = find_ink(s_, white);
    EXPECT_LE(box.right - right.box.right, 2);
    EXPECT_GE(right.box.top, 70 - 20);
    EXPECT_EQ(offset, 60);  // the text's bottom is the rectangle's
}

TEST_F(Text, CalcRectMeasuresWithoutDrawing) {
    SIZE extent{};
    GetTextExtentPoint32W(s_.dc(), L"Measure me", 10, &extent);
    RECT rect{5, 5, 6, 6};
    const int height = measure(L"Measure me", rect, DT_SINGLELINE);
    EXPECT_EQ(rect.right - rect.left, extent.cx);
    EXPECT_EQ(rect.bottom - rect.top, extent.cy);
    EXPECT_EQ(height, extent.cy);
    EXPECT_EQ(find_ink(s_, white).count, 0);

    // Word breaking in a narrow rectangle: one word a line.
    RECT narrow{0, 0, extent.cx / 2, 0};
    measure(L"one two three", narrow, DT_WORDBREAK);
    EXPECT_EQ(narrow.bottom, 3 * extent.cy);
    EXPECT_LE(narrow.right, extent.cx / 2);
    // A word wider than the rectangle breaks between characters.
    RECT long_word{0, 0, extent.cx / 2, 0};
    measure(L"one-two-three-four-five-six", long_word, DT_WORDBREAK);
    EXPECT_GT(long_word.bottom, extent.cy);
    EXPECT_LE(long_word.right, extent.cx / 2);
    // Line breaks count, unless the text is one line.
    RECT lines{0, 0, 200, 0};
    measure(L"a\r\nb\nc", lines, 0);
    EXPECT_EQ(lines.bottom, 3 * extent.cy);
    RECT single{0, 0, 200, 0};
    measure(L"a\r\nb\nc", single, DT_SINGLELINE);
    EXPECT_EQ(single.bottom, extent.cy);
}

TEST_F(Text, EndEllipsisKeepsALongLineInsideItsRectangle) {
    const wchar_t* text = L"A file name far too long for the little box it is shown in";
    const RECT box{10, 10, 110, 40};
    draw(text, box, DT_SINGLELINE | DT_NOCLIP);
    EXPECT_GT(find_ink(s_, white).box.right, box.right + 20);  // spills over unclipped
    s_.fill(white);
    draw(text, box, DT_SINGLELINE | DT_NOCLIP | DT_END_ELLIPSIS);
    const ink cut = find_ink(s_, white);
    EXPECT_LE(cut.box.right, box.right);
    EXPECT_GT(cut.box.right, box.right - 15);  // filled up to the edge
    RECT measured = box;
    measure(text, measured, DT_SINGLELINE | DT_END_ELLIPSIS);
    EXPECT_LE(measured.right, box.right);
}

TEST_F(Text, PrefixesAreHiddenUnlessAsked) {
    RECT with_prefix{0, 0, 200, 0}, without{0, 0, 200, 0}, plain{0, 0, 200, 0};
    measure(L"A&B", with_prefix, DT_SINGLELINE);
    measure(L"A&B", without, DT_SINGLELINE | DT_NOPREFIX);
    measure(L"AB", plain, DT_SINGLELINE);
    EXPECT_EQ(with_prefix.right, plain.right);
    EXPECT_GT(without.right, plain.right);
}

TEST_F(Text, OpaqueModePaintsTheBackgroundBehindTheText) {
    SetBkMode(s_.dc(), OPAQUE);
    SetBkColor(s_.dc(), RGB(0, 0, 255));
    SetTextColor(s_.dc(), RGB(255, 255, 0));
    TextOutW(s_.dc(), 10, 10, L"Hi", 2);
    EXPECT_EQ(s_.at(10, 10), 0xFF0000FFu);
    EXPECT_EQ(s_.at(9, 10), white);
    SIZE extent{};
    GetTextExtentPoint32W(s_.dc(), L"Hi", 2, &extent);
    EXPECT_EQ(s_.at(10 + extent.cx - 1, 10 + extent.cy - 1), 0xFF0000FFu);
    EXPECT_EQ(s_.at(10 + extent.cx, 10), white);
}

TEST_F(Text, TextOnATransparentSurfaceIsValidPremultipliedColour) {
    s_.fill(0);
    SetTextColor(s_.dc(), RGB(255, 128, 0));
    const RECT box{0, 0, 240, 80};
    draw(L"Alpha", box, DT_SINGLELINE);
    int partial = 0;
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 80; ++x) {
            const uint32_t p = s_.at(x, y);
            const uint32_t a = p >> 24;
            ASSERT_LE((p >> 16) & 0xFF, a);
            partial += a > 0 && a < 255;
        }
    EXPECT_GT(partial, 0);  // anti-aliased edges
}

TEST_F(Text, GlyphsAreRasterisedOncePerFaceSizeAndGlyph) {
    const RECT box{0, 0, 240, 80};
    draw(L"Cache me", box, DT_SINGLELINE);
    const uint64_t after_first = win_gdi::glyph_rasterisations();
    draw(L"Cache me", box, DT_SINGLELINE);
    draw(L"me Cache", box, DT_SINGLELINE);
    EXPECT_EQ(win_gdi::glyph_rasterisations(), after_first);
    draw(L"Q", box, DT_SINGLELINE);
    EXPECT_EQ(win_gdi::glyph_rasterisations(), after_first + 1);
    // Another size is other glyphs.
    HFONT bigger = CreateFontW(-30, 0, 0, 0, FW_NORMAL, 0, 0, 0, 0, 0, 0, 0, 0, L"Arial");
    SelectObject(s_.dc(), bigger);
    draw(L"Q", box, DT_SINGLELINE);
    EXPECT_EQ(win_gdi::glyph_rasterisations(), after_first + 2);
    SelectObject(s_.dc(), font_);
    DeleteObject(bigger);
}

TEST_F(Text, WrappedParagraphSnapshot) {
    SetTextColor(s_.dc(), RGB(20, 40, 120));
    const RECT box{8, 4, 232, 76};
    draw(L"Should Calvimora synchronize all subfolders of folders 'Documents' and 'Work'?", box,
         DT_WORDBREAK | DT_END_ELLIPSIS);
    EXPECT_TRUE(win_test::save_png(s_.dc(), gdi_testing::snapshot_path("text_wrapped.png")));
    const ink found = find_ink(s_, white);
    EXPECT_GT(found.box.bottom - found.box.top, 30);  // more than one line
    EXPECT_LE(found.box.right, box.right);
}

TEST_F(Text, AnUnderlinedFontDrawsALineUnderTheWholeText) {
    // "...." leaves gaps between its dots: only a line fills a row across.
    const RECT box{0, 0, 200, 40};
    draw(L"....", box, DT_SINGLELINE | DT_NOPREFIX);
    const ink plain = find_ink(s_, white);
    s_.fill(white);
    LOGFONTW description{};
    GetObjectW(font_, sizeof description, &description);
    description.lfUnderline = 1;
    HFONT underlined = CreateFontIndirectW(&description);
    SelectObject(s_.dc(), underlined);
    draw(L"....", box, DT_SINGLELINE | DT_NOPREFIX);
    const ink lined = find_ink(s_, white);
    SelectObject(s_.dc(), font_);
    DeleteObject(underlined);

    ASSERT_GT(plain.count, 0);
    EXPECT_GT(lined.count, plain.count);
    int longest_run = 0;
    for (int y = 0; y < s_.height(); ++y) {
        int run = 0;
        for (int x = 0; x < s_.width(); ++x) {
            run = s_.at(x, y) != white ? run + 1 : 0;
            longest_run = std::max(longest_run, run);
        }
    }
    EXPECT_GE(longest_run, plain.box.right - plain.box.left - 1);
}

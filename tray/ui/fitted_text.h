// Texts that must keep every line in a place of fixed size: the parts that
// may be shortened (names and paths within a sentence) are cut in their
// middle, as little as the place needs, and the rest stays as it is.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "win/user.h"

struct text_part {
    std::wstring text;
    bool may_shorten = false;
};
using text_parts = std::vector<text_part>;

std::wstring JoinParts(const text_parts& parts);

// The parts with each shortenable one longer than a common limit cut to
// that limit: its start and its end kept (so a file name keeps its
// extension) and "..." in place of its middle. The limit is the longest
// that lets fits accept the joined text; the parts are returned as they
// are when the whole text fits, and cut to the shortest form
// (min_shortened characters) when nothing fits.
text_parts ShortenToFit(const text_parts& parts,
                        const std::function<bool(const std::wstring&)>& fits);
inline constexpr size_t min_shortened = 7;

// Whether the text, laid out as the static control lays out its own text
// (in its font, broken between words at the width of its client area), is
// neither taller nor wider than that area.
bool FitsStatic(HWND control, const std::wstring& text);

#include "ui/fitted_text.h"

#include <algorithm>

#include "win/gdi.h"
#include "win/user_dialog.h"

namespace {

constexpr wchar_t marker[] = L"...";
constexpr size_t marker_length = sizeof marker / sizeof marker[0] - 1;

std::wstring cut_to(const std::wstring& text, size_t limit) {
    if (text.size() <= limit) return text;
    const size_t kept = limit > marker_length ? limit - marker_length : 0;
    const size_t tail = kept / 2;
    const size_t head = kept - tail;
    return text.substr(0, head) + marker + text.substr(text.size() - tail);
}

text_parts cut_all_to(const text_parts& parts, size_t limit) {
    text_parts cut = parts;
    for (text_part& part : cut)
        if (part.may_shorten) part.text = cut_to(part.text, limit);
    return cut;
}

}  // namespace

std::wstring JoinParts(const text_parts& parts) {
    std::wstring text;
    for (const text_part& part : parts) text += part.text;
    return text;
}

text_parts ShortenToFit(const text_parts& parts,
                        const std::function<bool(const std::wstring&)>& fits) {
    if (fits(JoinParts(parts))) return parts;
    size_t longest = 0;
    for (const text_part& part : parts)
        if (part.may_shorten) longest = std::max(longest, part.text.size());
    if (longest <= min_shortened) return cut_all_to(parts, min_shortened);
    // The longest limit that fits, between the shortest form and one less
    // than the longest part (which did not fit).
    size_t low = min_shortened, high = longest - 1;
    if (!fits(JoinParts(cut_all_to(parts, low)))) return cut_all_to(parts, low);
    while (low < high) {
        const size_t middle = low + (high - low + 1) / 2;
        if (fits(JoinParts(cut_all_to(parts, middle))))
            low = middle;
        else
            high = middle - 1;
    }
    return cut_all_to(parts, low);
}

bool FitsStatic(HWND control, const std::wstring& text) {
    if (text.empty()) return true;
    RECT client{};
    if (!GetClientRect(control, &client)) return false;
    const HDC dc = GetDC(control);
    if (!dc) return false;
    const HGDIOBJ old_font =
        SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(control, WM_GETFONT, 0, 0)));
    UINT format = DT_WORDBREAK | DT_EXPANDTABS | DT_CALCRECT;
    if (GetWindowLongW(control, GWL_STYLE) & SS_NOPREFIX) format |= DT_NOPREFIX;
    RECT laid_out = client;
    const int height =
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &laid_out, format);
    SelectObject(dc, old_font);
    ReleaseDC(control, dc);
    return height > 0 && laid_out.bottom <= client.bottom && laid_out.right <= client.right;
}

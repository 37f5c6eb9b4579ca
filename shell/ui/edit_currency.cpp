#include "ui/edit_currency.h"

#include <cmath>
#include <cwchar>
#include <cwctype>

namespace currency_text {

namespace {

bool is_separator(wchar_t c) {
    return c == L'.' || c == L',';
}

}  // namespace

std::optional<double> parse_amount(const std::wstring& text) {
    size_t first = 0, last = text.size();
    while (first < last && std::iswspace(text[first])) ++first;
    while (last > first && std::iswspace(text[last - 1])) --last;
    double whole = 0;
    double fraction = 0;
    double scale = 1;
    bool separator_seen = false;
    int digits = 0, decimals = 0;
    for (size_t i = first; i < last; ++i) {
        const wchar_t c = text[i];
        if (is_separator(c)) {
            if (separator_seen) return std::nullopt;
            separator_seen = true;
        } else if (c >= L'0' && c <= L'9') {
            ++digits;
            if (separator_seen) {
                if (++decimals > 2) return std::nullopt;
                scale /= 10;
                fraction += (c - L'0') * scale;
            } else {
                whole = whole * 10 + (c - L'0');
            }
        } else {
            return std::nullopt;
        }
    }
    if (digits == 0 || !std::isfinite(whole)) return std::nullopt;
    return whole + fraction;
}

std::wstring format_amount(double amount) {
    if (!std::isfinite(amount)) amount = 0;
    const bool negative = amount < 0;
    const double cents = std::round(std::fabs(amount) * 100);
    const double whole = std::floor(cents / 100);
    wchar_t text[64];
    std::swprintf(text, 64, L"%ls%.0f.%02d", negative ? L"-" : L"", whole,
                  static_cast<int>(cents - whole * 100));
    return text;
}

}  // namespace currency_text

void CEditCurrency::SetAmount(double amount) {
    SetWindowText(currency_text::format_amount(amount).c_str());
}

std::optional<double> CEditCurrency::GetAmount() const {
    return currency_text::parse_amount(GetWindowText());
}

bool CEditCurrency::accepts(wchar_t character) const {
    if (character == VK_BACK) return true;
    const std::wstring text = GetWindowText();
    DWORD start = 0, end = 0;
    SendMessage(EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    const bool separator = character == L'.' || character == L',';
    if (separator) {
        if (text.find_first_of(L".,") != std::wstring::npos) return false;
    } else if (character < L'0' || character > L'9') {
        return false;
    }
    if (start != end) return true;  // it replaces the selection
    std::wstring typed = text;
    typed.insert(std::min<size_t>(start, typed.size()), 1, character);
    const size_t at = typed.find_first_of(L".,");
    return at == std::wstring::npos || at + 3 >= typed.size();
}

BOOL CEditCurrency::ProcessWindowMessage(HWND, UINT message, WPARAM wparam, LPARAM, LRESULT& result,
                                         DWORD) {
    if (message != WM_CHAR || accepts(static_cast<wchar_t>(wparam))) return FALSE;
    result = 0;  // refused: the control never sees it
    return TRUE;
}

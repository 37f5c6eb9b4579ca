// An edit control that takes an amount with at most two decimals: digits,
// one decimal separator ("." or ","), and no third decimal while typing.
#pragma once

#include <optional>
#include <string>

#include "win/atl_window.h"

class CEditCurrency : public CWindowImpl<CEditCurrency> {
public:
    // Writes the amount with two decimals and "." as separator.
    void SetAmount(double amount);
    // The amount the text stands for: digits with at most one "." or ","
    // and at most two decimals after it, blanks around it allowed (either
    // separator is the decimal point, whatever the locale). Nothing for any
    // other text (a pasted "-5", "1e3" or "12.345"), so that no price is
    // ever negative or other than what the text shows.
    std::optional<double> GetAmount() const;

    BOOL ProcessWindowMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam,
                              LRESULT& result, DWORD map_id = 0) override;

private:
    // Whether a typed character may reach the edit control.
    bool accepts(wchar_t character) const;
};

namespace currency_text {

// The amount of a text as CEditCurrency::GetAmount reads it.
std::optional<double> parse_amount(const std::wstring& text);
// "%.2f" with "." whatever the locale.
std::wstring format_amount(double amount);

}  // namespace currency_text

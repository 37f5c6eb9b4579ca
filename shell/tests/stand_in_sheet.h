// A window in the property sheet's place while one page is tested on its
// own: a dialog of the sheet's size with the sheet's Apply button, created
// disabled as the sheet creates it. The page is made as its child and
// enables Apply through it.
#pragma once

#include <string>

#include "win/user.h"

namespace shell_testing {

class stand_in_sheet {
public:
    explicit stand_in_sheet(const std::wstring& caption = L"Sheet");
    ~stand_in_sheet();
    stand_in_sheet(const stand_in_sheet&) = delete;
    stand_in_sheet& operator=(const stand_in_sheet&) = delete;

    HWND window() const { return window_; }
    operator HWND() const { return window_; }
    HWND apply_button() const;
    bool apply_enabled() const;

private:
    HWND window_ = nullptr;
};

}  // namespace shell_testing

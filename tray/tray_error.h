// The tray program's own failures: a text for the person, thrown where the
// failure happens and shown at the program's entry points in the
// system-modal error box captioned "Calvimora".
#pragma once

#include <string>
#include <utility>

#include "error_text.h"

class CTrayError {
public:
    explicit CTrayError(std::wstring text) : text_(std::move(text)) {}
    const std::wstring& Text() const { return text_; }

private:
    std::wstring text_;
};

// The error box of the entry points, owned by the desktop.
void ShowTrayErrorBox(const std::wstring& text);

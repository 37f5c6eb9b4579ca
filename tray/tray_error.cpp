#include "tray_error.h"

#include <utf8.h>

#include <iterator>

#include "win/user.h"

void ShowTrayErrorBox(const std::wstring& text) {
    MessageBoxW(GetDesktopWindow(), text.c_str(), L"Calvimora", MB_SYSTEMMODAL | MB_ICONERROR);
}

std::wstring ErrorTextOf(const std::exception& failure) {
    const std::string bytes = failure.what();
    std::string valid;
    utf8::replace_invalid(bytes.begin(), bytes.end(), std::back_inserter(valid));
    std::wstring text;
    utf8::utf8to32(valid.begin(), valid.end(), std::back_inserter(text));
    return text;
}

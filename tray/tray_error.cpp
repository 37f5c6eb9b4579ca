#include "tray_error.h"

#include "win/user.h"

void ShowTrayErrorBox(const std::wstring& text) {
    MessageBoxW(GetDesktopWindow(), text.c_str(), L"Calvimora", MB_SYSTEMMODAL | MB_ICONERROR);
}

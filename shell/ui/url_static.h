// A self-drawn text link: it opens its text as an address or as an e-mail
// address, or tells its parent, when clicked. Underlined, with the hand
// cursor over the text, drawn over the parent's background.
#pragma once

#include <string>

#include "win/atl_window.h"

class CUrlStatic : public CWindowImpl<CUrlStatic> {
public:
    enum link_kind {
        link_notify_parent = 0,  // sends WM_USER + 1 to the parent
        link_address = 1,        // opens the text
        link_mail = 2,           // opens "mailto:" and the text
    };

    static LPCWSTR GetWndClassName() { return L"CalvimoraUrlStatic"; }

    CUrlStatic() = default;
    ~CUrlStatic() override;

    // A child window of the parent; style bits 0x300 align the text (0x300
    // centre, 0x200 right, otherwise left).
    HWND Create(HWND parent, const RECT& rect, DWORD style);
    void SetText(const std::wstring& text, int kind);
    void SetColor(COLORREF color);

    const RECT& TextRect() const { return text_rect_; }
    HFONT Font() const { return font_; }

    BOOL ProcessWindowMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam,
                              LRESULT& result, DWORD map_id = 0) override;
    void OnFinalMessage(HWND) override { release_drawing_objects(); }

private:
    void on_create();
    void paint();
    void clicked();
    void release_drawing_objects();

    std::wstring text_;
    int kind_ = link_notify_parent;
    HCURSOR hand_ = nullptr;
    HFONT font_ = nullptr;
    COLORREF color_ = RGB(0, 0, 255);
    RECT text_rect_{};
    HBITMAP background_ = nullptr;
};

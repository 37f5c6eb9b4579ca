#include "ui/url_static.h"

#include "win/shell_execute.h"

namespace {

constexpr DWORD alignment_bits = 0x300;

}  // namespace

CUrlStatic::~CUrlStatic() {
    if (m_hWnd) DestroyWindow();
    release_drawing_objects();
}

HWND CUrlStatic::Create(HWND parent, const RECT& rect, DWORD style) {
    return CWindowImpl::Create(parent, rect, L"", style);
}

void CUrlStatic::SetText(const std::wstring& text, int kind) {
    text_ = text;
    kind_ = kind;
    if (m_hWnd) Invalidate();
}

void CUrlStatic::SetColor(COLORREF color) {
    color_ = color;
    if (m_hWnd) Invalidate();
}

void CUrlStatic::release_drawing_objects() {
    if (font_) DeleteObject(font_);
    if (background_) DeleteObject(background_);
    font_ = nullptr;
    background_ = nullptr;
}

// The underlined font, the hand, and a picture of the parent's background
// for the text to be drawn over.
void CUrlStatic::on_create() {
    LOGFONTW description{};
    GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof description, &description);
    description.lfUnderline = TRUE;
    font_ = CreateFontIndirectW(&description);
    hand_ = LoadCursorW(nullptr, IDC_HAND);

    const HWND parent = GetParent();
    RECT area{};
    if (!parent || !::GetClientRect(parent, &area) || area.right <= 0 || area.bottom <= 0) return;
    HDC screen = GetDC(parent);
    HDC memory = CreateCompatibleDC(screen);
    background_ = CreateCompatibleBitmap(screen, area.right, area.bottom);
    HGDIOBJ previous = SelectObject(memory, background_);
    ::SendMessageW(parent, WM_ERASEBKGND, reinterpret_cast<WPARAM>(memory), 0);
    SelectObject(memory, previous);
    DeleteDC(memory);
    ReleaseDC(parent, screen);
}

void CUrlStatic::paint() {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(m_hWnd, &ps);
    if (!dc) {
        EndPaint(m_hWnd, &ps);
        return;
    }
    RECT client{};
    GetClientRect(&client);
    if (background_) {
        POINT origin{0, 0};
        MapWindowPoints(m_hWnd, GetParent(), &origin, 1);
        HDC memory = CreateCompatibleDC(dc);
        HGDIOBJ previous = SelectObject(memory, background_);
        BitBlt(dc, 0, 0, client.right, client.bottom, memory, origin.x, origin.y, SRCCOPY);
        SelectObject(memory, previous);
        DeleteDC(memory);
    }
    HGDIOBJ previous_font = SelectObject(dc, font_ ? font_ : GetStockObject(DEFAULT_GUI_FONT));
    SetTextColor(dc, color_);
    SetBkMode(dc, TRANSPARENT);
    const DWORD alignment = GetStyle() & alignment_bits;
    const UINT format = alignment == 0x300 ? DT_CENTER : alignment == 0x200 ? DT_RIGHT : DT_LEFT;
    // Measured, then placed as it is drawn, so that the hand shows over
    // the text wherever the alignment puts it.
    RECT text = client;
    DrawTextW(dc, text_.c_str(), -1, &text, format | DT_NOPREFIX | DT_CALCRECT);
    const LONG width = text.right - text.left;
    if (format == DT_CENTER) text.left = client.left + (client.right - client.left - width) / 2;
    if (format == DT_RIGHT) text.left = client.right - width;
    text.right = text.left + width;
    text_rect_ = text;
    DrawTextW(dc, text_.c_str(), -1, &text, format | DT_NOPREFIX);
    SelectObject(dc, previous_font);
    EndPaint(m_hWnd, &ps);
}

void CUrlStatic::clicked() {
    if (kind_ == link_notify_parent) {
        ::SendMessageW(GetParent(), WM_USER + 1, 0, 0);
    } else if (kind_ == link_address || kind_ == link_mail) {
        const std::wstring target = kind_ == link_mail ? L"mailto:" + text_ : text_;
        ShellExecuteW(nullptr, L"open", target.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    }
}

BOOL CUrlStatic::ProcessWindowMessage(HWND, UINT message, WPARAM, LPARAM lparam, LRESULT& result,
                                      DWORD) {
    switch (message) {
        case WM_CREATE:
            result = DefWindowProc();
            if (result != -1) on_create();
            return TRUE;
        case WM_PAINT:
            paint();
            result = 0;
            return TRUE;
        case WM_ERASEBKGND:
            result = 1;
            return TRUE;
        case WM_MOUSEMOVE: {
            const POINT point{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
            if (!PtInRect(&text_rect_, point)) return FALSE;
            SetCursor(hand_);
            result = 0;
            return TRUE;
        }
        case WM_LBUTTONDOWN:
            if (text_.empty()) return FALSE;  // an empty link is nothing to click on
            clicked();
            if (kind_ != link_notify_parent) return FALSE;  // the default handling follows
            result = 0;
            return TRUE;
        default:
            return FALSE;
    }
}

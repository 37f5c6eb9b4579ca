// The class wrappers over drawing handles.
#include "win/afx_gdi.h"

CGdiObject::~CGdiObject() {
    DeleteObject();
}

BOOL CGdiObject::Attach(HGDIOBJ object) {
    if (!object || m_hObject) return FALSE;
    m_hObject = object;
    return TRUE;
}

HGDIOBJ CGdiObject::Detach() {
    HGDIOBJ object = m_hObject;
    m_hObject = nullptr;
    return object;
}

BOOL CGdiObject::DeleteObject() {
    if (!m_hObject || !::DeleteObject(m_hObject)) return FALSE;
    m_hObject = nullptr;
    return TRUE;
}

namespace {

// The blit with the bitmap selected into a memory DC compatible with dc.
template <typename Blit>
BOOL blit_from(HBITMAP bitmap, HDC dc, Blit blit) {
    if (!bitmap) return FALSE;
    HDC memory = CreateCompatibleDC(dc);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    BOOL done = FALSE;
    if (previous) {
        done = blit(memory);
        SelectObject(memory, previous);
    }
    DeleteDC(memory);
    return done;
}

}  // namespace

int CBitmap::GetBitmap(BITMAP* description) const {
    if (!m_hObject) return 0;
    return GetObjectW(m_hObject, sizeof(BITMAP), description);
}

CImage::~CImage() {
    Destroy();
}

void CImage::Attach(HBITMAP bitmap, DIBOrientation) {
    Destroy();
    BITMAP description{};
    if (!bitmap || !GetObjectW(bitmap, sizeof description, &description)) return;
    bitmap_ = bitmap;
    width_ = description.bmWidth;
    height_ = description.bmHeight;
}

HBITMAP CImage::Detach() {
    HBITMAP bitmap = bitmap_;
    bitmap_ = nullptr;
    width_ = height_ = 0;
    has_alpha_ = false;
    return bitmap;
}

void CImage::Destroy() {
    if (bitmap_) ::DeleteObject(Detach());
}

BOOL CImage::Draw(HDC dc, int x, int y) const {
    return Draw(dc, x, y, width_, height_, 0, 0, width_, height_);
}

BOOL CImage::Draw(HDC dc, int x, int y, int width, int height) const {
    return Draw(dc, x, y, width, height, 0, 0, width_, height_);
}

BOOL CImage::Draw(HDC dc, const RECT& destination) const {
    return Draw(dc, destination.left, destination.top, destination.right - destination.left,
                destination.bottom - destination.top);
}

BOOL CImage::Draw(HDC dc, int x, int y, int width, int height, int source_x, int source_y,
                  int source_width, int source_height) const {
    if (has_alpha_)
        return AlphaBlend(dc, x, y, width, height, source_x, source_y, source_width, source_height);
    return blit_from(bitmap_, dc, [&](HDC memory) {
        return StretchBlt(dc, x, y, width, height, memory, source_x, source_y, source_width,
                          source_height, SRCCOPY);
    });
}

BOOL CImage::AlphaBlend(HDC dc, int x, int y, BYTE source_alpha, BYTE blend_op) const {
    return AlphaBlend(dc, x, y, width_, height_, 0, 0, width_, height_, source_alpha, blend_op);
}

BOOL CImage::AlphaBlend(HDC dc, int x, int y, int width, int height, int source_x, int source_y,
                        int source_width, int source_height, BYTE source_alpha,
                        BYTE blend_op) const {
    const BLENDFUNCTION blend{blend_op, 0, source_alpha,
                              static_cast<BYTE>(has_alpha_ ? AC_SRC_ALPHA : 0)};
    return blit_from(bitmap_, dc, [&](HDC memory) {
        return ::AlphaBlend(dc, x, y, width, height, memory, source_x, source_y, source_width,
                            source_height, blend);
    });
}

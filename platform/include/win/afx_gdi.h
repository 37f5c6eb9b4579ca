// Thin class wrappers over drawing handles, as the programs' class library
// offers them: a GDI object owner, a bitmap, and an image that draws a
// 32-bit bitmap onto a DC with its alpha channel.
#pragma once

#include "win/gdi.h"

// Owns one drawing object; the destructor deletes it.
class CGdiObject {
public:
    CGdiObject() = default;
    virtual ~CGdiObject();
    CGdiObject(const CGdiObject&) = delete;
    CGdiObject& operator=(const CGdiObject&) = delete;

    // FALSE for a null handle or when an object is already attached.
    BOOL Attach(HGDIOBJ object);
    HGDIOBJ Detach();
    // Deletes the attached object; FALSE when there is none or the system
    // refuses (it is still selected into a DC: it stays attached then).
    BOOL DeleteObject();
    HGDIOBJ GetSafeHandle() const { return m_hObject; }

    HGDIOBJ m_hObject = nullptr;
};

class CBitmap : public CGdiObject {
public:
    operator HBITMAP() const { return static_cast<HBITMAP>(m_hObject); }
    // The bitmap's description; 0 when nothing is attached.
    int GetBitmap(BITMAP* description) const;
};

// A 32-bit image over a bitmap it owns. Only an image marked as having an
// alpha channel is drawn with its premultiplied per-pixel alpha: attaching a
// bitmap does not mark it (the class library cannot tell whether its fourth
// byte is alpha), so an unmarked image is copied opaque by Draw and blended
// with the constant alpha alone by AlphaBlend, as the system's class does.
class CImage {
public:
    enum DIBOrientation { DIBOR_DEFAULT, DIBOR_TOPDOWN, DIBOR_BOTTOMUP };

    CImage() = default;
    ~CImage();
    CImage(const CImage&) = delete;
    CImage& operator=(const CImage&) = delete;

    // Takes the bitmap over (an attached one is destroyed first); the image
    // has no alpha channel until it is marked.
    void Attach(HBITMAP bitmap, DIBOrientation orientation = DIBOR_DEFAULT);
    // Marks the pixels' fourth byte as premultiplied alpha (or not).
    void SetHasAlphaChannel(bool has_alpha) { has_alpha_ = has_alpha; }
    HBITMAP Detach();
    void Destroy();
    bool IsNull() const { return bitmap_ == nullptr; }
    int GetWidth() const { return width_; }
    int GetHeight() const { return height_; }
    int GetBPP() const { return bitmap_ ? 32 : 0; }
    operator HBITMAP() const { return bitmap_; }

    BOOL Draw(HDC dc, int x, int y) const;
    BOOL Draw(HDC dc, int x, int y, int width, int height) const;
    BOOL Draw(HDC dc, const RECT& destination) const;
    BOOL Draw(HDC dc, int x, int y, int width, int height, int source_x, int source_y,
              int source_width, int source_height) const;
    // The whole image at its size, with its per-pixel alpha when it has an
    // alpha channel, scaled by source_alpha.
    BOOL AlphaBlend(HDC dc, int x, int y, BYTE source_alpha = 0xFF,
                    BYTE blend_op = AC_SRC_OVER) const;
    BOOL AlphaBlend(HDC dc, int x, int y, int width, int height, int source_x, int source_y,
                    int source_width, int source_height, BYTE source_alpha = 0xFF,
                    BYTE blend_op = AC_SRC_OVER) const;

private:
    HBITMAP bitmap_ = nullptr;
    int width_ = 0;
    int height_ = 0;
    bool has_alpha_ = false;
};

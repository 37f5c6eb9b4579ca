// Images of the layered-window toolkit: PNG resources decoded once into a
// process-wide cache, the slots through which controls and windows refer to
// cached images, and bitmaps loaded straight from a PNG resource.
//
// Every image keeps its transparency: it is made into a bitmap over
// transparent black, so its premultiplied alpha survives and the parts it
// leaves open show what lies under it in a per-pixel-alpha window.
//
// The cache belongs to the thread that draws the layered windows (the
// tray program's main thread); bitmaps of LoadBitmapEx may be loaded and
// drawn on any thread.
#pragma once

#include <memory>

#include "win/afx.h"
#include "win/afx_gdi.h"
#include "win/gdiplus.h"

// A control's (or window's) reference to one cached image, by resource id.
// A slot counts in the cache's use count from its construction until it is
// released or destroyed; when no slot counts any more, the cache empties.
class CImageSlot {
public:
    CImageSlot();
    ~CImageSlot();
    CImageSlot(const CImageSlot&) = delete;
    CImageSlot& operator=(const CImageSlot&) = delete;

    // The resource id, 0 while the slot is empty.
    int GetId() const { return m_id; }
    bool IsEmpty() const { return m_id == 0; }
    // The cached image; null for an empty slot.
    CImage* GetImage() const;
    Gdiplus::Bitmap* GetBitmap() const;
    int GetWidth() const;
    int GetHeight() const;

    // Drawing in the DC's logical coordinates with the image's per-pixel
    // alpha. An empty slot draws nothing.
    void Draw(HDC dc, int x, int y) const;
    void DrawStretched(HDC dc, const RECT& destination) const;
    // Whole tiles from the top-left corner, cut at the right and bottom.
    void DrawTiled(HDC dc, const RECT& destination) const;

private:
    friend class CImageEx;
    int m_id = 0;
    bool m_counted = false;
};

// The process-wide cache from PNG resource id to decoded image.
class CImageEx {
public:
    struct img_struct {
        std::unique_ptr<Gdiplus::Bitmap> bitmap;
        CImage image;  // over a bitmap made from it, alpha kept
    };

    // Points the slot at the image of PNG resource id, decoding it into the
    // cache the first time. FALSE, with the slot left empty and nothing
    // cached, when the resource is missing or is no image.
    static BOOL LoadSlot(CImageSlot& slot, int id, HINSTANCE instance);
    // Empties the slot and takes it out of the use count (once: a slot
    // already released counts no further).
    static void ReleaseSlot(CImageSlot& slot);

    static img_struct* Find(int id);
    static int CachedImages();
    static int CountedSlots();

    // A PNG resource decoded; null when it is missing or no image.
    static std::unique_ptr<Gdiplus::Bitmap> DecodePng(int id, HINSTANCE instance);
    // A 32-bit bitmap of the image with its alpha (premultiplied); null on
    // failure.
    static HBITMAP MakeBitmap(Gdiplus::Bitmap& bitmap);

private:
    friend class CImageSlot;
    static void Count(CImageSlot& slot);
};

// A bitmap that knows its size.
class CBitmapEx : public CBitmap {
public:
    int m_nWidth = 0;
    int m_nHeight = 0;
};

BOOL LoadImageSlot(CImageSlot& slot, int id, HINSTANCE instance);
void ReleaseImageSlot(CImageSlot& slot);
// Loads a PNG resource into the bitmap (replacing what it held) and records
// its size; FALSE, leaving the bitmap as it was, on failure.
BOOL LoadBitmapEx(CBitmapEx& bitmap, int id, HINSTANCE instance);

// The frame of a layered window, drawn from the eleven frame images: a top
// band with its corner pieces, stretched left and right borders, a stretched
// centre and a bottom band. The progress window and the toolkit's demo both
// wear it.
#pragma once

#include "ui/image_ex.h"
#include "win/afx_gdi.h"

class CWindowFrame {
public:
    CWindowFrame() = default;
    CWindowFrame(const CWindowFrame&) = delete;
    CWindowFrame& operator=(const CWindowFrame&) = delete;

    // Loads images IDB_FRAME_CENTRE to IDB_FRAME_TOP_RIGHT.
    void Load(HINSTANCE instance);
    // Draws the frame over a window of that size.
    void Paint(HDC dc, int width, int height) const;
    // The area inside the borders and bands of a window of that size.
    CRect Inside(int width, int height) const;

private:
    const CImageSlot& Piece(int id) const;

    CImageSlot m_pieces[11];
};

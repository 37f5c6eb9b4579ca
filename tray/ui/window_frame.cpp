#include "ui/window_frame.h"

#include "ui/resource_ids.h"

void CWindowFrame::Load(HINSTANCE instance) {
    for (int i = 0; i < 11; ++i) LoadImageSlot(m_pieces[i], IDB_FRAME_CENTRE + i, instance);
}

const CImageSlot& CWindowFrame::Piece(int id) const {
    return m_pieces[id - IDB_FRAME_CENTRE];
}

CRect CWindowFrame::Inside(int width, int height) const {
    return CRect(Piece(IDB_FRAME_LEFT).GetWidth(), Piece(IDB_FRAME_TOP_LEFT).GetHeight(),
                 width - Piece(IDB_FRAME_RIGHT).GetWidth(),
                 height - Piece(IDB_FRAME_BOTTOM).GetHeight());
}

void CWindowFrame::Paint(HDC dc, int W, int H) const {
    const CImageSlot& top_left = Piece(IDB_FRAME_TOP_LEFT);
    const CImageSlot& top_left_piece = Piece(IDB_FRAME_TOP_LEFT_PIECE);
    const CImageSlot& top = Piece(IDB_FRAME_TOP);
    const CImageSlot& top_right_piece = Piece(IDB_FRAME_TOP_RIGHT_PIECE);
    const CImageSlot& top_right = Piece(IDB_FRAME_TOP_RIGHT);
    const CImageSlot& left = Piece(IDB_FRAME_LEFT);
    const CImageSlot& centre = Piece(IDB_FRAME_CENTRE);
    const CImageSlot& right = Piece(IDB_FRAME_RIGHT);
    const CImageSlot& bottom_left = Piece(IDB_FRAME_BOTTOM_LEFT);
    const CImageSlot& bottom = Piece(IDB_FRAME_BOTTOM);
    const CImageSlot& bottom_right = Piece(IDB_FRAME_BOTTOM_RIGHT);

    top_left.Draw(dc, 0, 0);
    top_left_piece.Draw(dc, top_left.GetWidth(), 0);
    top.DrawStretched(
        dc, CRect(top_left.GetWidth() + top_left_piece.GetWidth(), 0,
                  W - top_right_piece.GetWidth() - top_right.GetWidth(), top.GetHeight()));
    top_right_piece.Draw(dc, W - top_right.GetWidth() - top_right_piece.GetWidth(), 0);
    top_right.Draw(dc, W - top_right.GetWidth(), 0);
    left.DrawStretched(
        dc, CRect(0, top_left.GetHeight(), left.GetWidth(), H - bottom_left.GetHeight()));
    centre.DrawStretched(dc, CRect(left.GetWidth(), top_left.GetHeight(), W - right.GetWidth(),
                                   H - bottom.GetHeight()));
    right.DrawStretched(
        dc, CRect(W - right.GetWidth(), top_right.GetHeight(), W, H - bottom_right.GetHeight()));
    bottom_left.Draw(dc, 0, H - bottom_left.GetHeight());
    bottom.DrawStretched(
        dc, CRect(bottom_left.GetWidth(), H - bottom.GetHeight(), W - bottom_right.GetWidth(), H));
    bottom_right.Draw(dc, W - bottom_right.GetWidth(), H - bottom_right.GetHeight());
}

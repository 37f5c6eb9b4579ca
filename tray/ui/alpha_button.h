// An image button of the layered-window toolkit: one image for each of its
// states (normal, hovered, pressed, disabled). A click (press and release
// inside it) sends WM_COMMAND with its id through the window's Notify.
#pragma once

#include "ui/alpha_control.h"
#include "ui/image_ex.h"

class CAlphaButton : public CAlphaControl {
public:
    // State bits.
    static constexpr int state_hovered = 1;
    static constexpr int state_pressed = 2;
    static constexpr int state_disabled = 4;

    using CAlphaControl::Create;
    // At (x, y), at the size of the normal image (empty when that image is
    // missing). The images are PNG resources of the program.
    BOOL Create(CAlphaWindow* window, CAlphaControl* parent, int id, int normal, int hovered,
                int pressed, int disabled, const std::wstring& tooltip, int x, int y);

    void Enable(BOOL enable);
    BOOL IsEnabled() const { return (m_state & state_disabled) == 0; }
    int GetState() const { return m_state; }

    void Paint(HDC dc) override;
    void OnMouseEnter(CPoint point) override;
    void OnMouseLeave() override;
    void OnButtonDown(CPoint point) override;
    void OnButtonUp(CPoint point) override;
    void OnDoubleClick(CPoint point) override;

protected:
    CImageSlot m_normal, m_hovered, m_pressed, m_disabled;
    int m_state = 0;

private:
    void change_state(int state);
};

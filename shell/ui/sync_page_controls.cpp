#include "ui/sync_page_controls.h"

win_dialogs::control_template sync_option_radio(int id, std::wstring text, short x, short y,
                                                short cx, short cy) {
    win_dialogs::control_template c;
    c.class_name = WC_BUTTONW;
    c.text = std::move(text);
    c.id = id;
    // Created disabled: the check box above them enables them.
    c.style = BS_AUTORADIOBUTTON | WS_VISIBLE | WS_TABSTOP | WS_DISABLED;
    c.x = x;
    c.y = y;
    c.cx = cx;
    c.cy = cy;
    return c;
}

win_dialogs::control_template sync_note(int id, std::wstring text, short y, short cy,
                                        bool visible) {
    win_dialogs::control_template c = win_dialogs::left_text(id, std::move(text), 14, y, 215, cy);
    if (!visible) c.style &= ~WS_VISIBLE;
    return c;
}

// The question box through which the sync engine's questions reach the
// user: a caption, the question, an image, "Yes" and "No", and two optional
// check boxes ("Apply to all", "Don't ask me again"). It opens on top of
// every window and gives up the topmost place after a second, so that a
// question from a background thread is seen without holding the screen.
//
// Ask runs the dialog modally on the calling thread (the engine's scan
// thread), whose messages its loop then pumps.
#pragma once

#include <string>

#include "ui/fitted_text.h"
#include "ui/image_ex.h"
#include "win/afx.h"

class CYesNoMessageBox : public CDialog {
public:
    explicit CYesNoMessageBox(CWnd* parent = nullptr);

    // IDOK for "Yes", IDCANCEL for "No" (Escape and closing are "No"), -1
    // when the dialog cannot be made. Afterwards m_applyToAll and
    // m_dontAskAgain hold the two check boxes as the dialog closed (both 0
    // when it never opened).
    INT_PTR Ask(const std::wstring& caption, const std::wstring& text, bool show_apply_to_all,
                bool show_dont_ask);
    // The same for a text of parts: when the whole text would not fit the
    // message's place, the parts that may be shortened are cut (fitted_text.h),
    // so that every line of it is shown; m_text then holds the text shown.
    INT_PTR Ask(const std::wstring& caption, const text_parts& text, bool show_apply_to_all,
                bool show_dont_ask);

    CStatic m_message;
    int m_applyToAll = 0;
    int m_dontAskAgain = 0;
    CBitmapEx m_image;
    std::wstring m_caption;
    std::wstring m_text;
    text_parts m_parts;
    bool m_showApplyToAll = false;
    bool m_showDontAsk = false;

protected:
    void DoDataExchange(CDataExchange* exchange) override;
    BOOL OnInitDialog() override;
    BOOL OnCommand(WPARAM wparam, LPARAM lparam) override;
    void OnOK() override;
    void OnCancel() override;
    void OnPaint() override;
    void OnTimer(UINT_PTR id) override;

private:
    static constexpr UINT_PTR topmost_timer = 1;
    void on_dont_ask_clicked();
};

// Files the question box's dialog template as the module's dialog resource.
void RegisterYesNoMessageBoxTemplate(HMODULE module);

#include "ui/yes_no_message_box.h"

#include "ui/resource_ids.h"

CYesNoMessageBox::CYesNoMessageBox(CWnd* parent) : CDialog(IDD_YESNO_MESSAGEBOX, parent) {
    LoadBitmapEx(m_image, IDB_YESNO_QUESTION, AfxGetResourceHandle());
}

INT_PTR CYesNoMessageBox::Ask(const std::wstring& caption, const std::wstring& text,
                              bool show_apply_to_all, bool show_dont_ask) {
    return Ask(caption, text_parts{{text, false}}, show_apply_to_all, show_dont_ask);
}

INT_PTR CYesNoMessageBox::Ask(const std::wstring& caption, const text_parts& text,
                              bool show_apply_to_all, bool show_dont_ask) {
    m_caption = caption;
    m_parts = text;
    m_text = JoinParts(text);
    m_showApplyToAll = show_apply_to_all;
    m_showDontAsk = show_dont_ask;
    m_applyToAll = 0;
    m_dontAskAgain = 0;
    return DoModal();
}

void CYesNoMessageBox::DoDataExchange(CDataExchange* exchange) {
    DDX_Control(exchange, IDC_YESNO_MESSAGE, m_message);
    DDX_Check(exchange, IDC_YESNO_APPLY_TO_ALL, m_applyToAll);
    DDX_Check(exchange, IDC_YESNO_DONT_ASK, m_dontAskAgain);
}

BOOL CYesNoMessageBox::OnInitDialog() {
    CDialog::OnInitDialog();
    SetWindowText(m_caption.c_str());
    const HWND message = m_message.m_hWnd;
    m_text = JoinParts(
        ShortenToFit(m_parts, [message](const std::wstring& t) { return FitsStatic(message, t); }));
    m_message.SetWindowText(m_text.c_str());
    GetDlgItem(IDC_YESNO_APPLY_TO_ALL)->ShowWindow(m_showApplyToAll ? SW_SHOW : SW_HIDE);
    GetDlgItem(IDC_YESNO_DONT_ASK)->ShowWindow(m_showDontAsk ? SW_SHOW : SW_HIDE);
    CheckDlgButton(IDC_YESNO_APPLY_TO_ALL, BST_UNCHECKED);
    CheckDlgButton(IDC_YESNO_DONT_ASK, BST_UNCHECKED);
    SetTimer(topmost_timer, 1000);
    return TRUE;
}

BOOL CYesNoMessageBox::OnCommand(WPARAM wparam, LPARAM lparam) {
    if (LOWORD(wparam) == IDC_YESNO_DONT_ASK && HIWORD(wparam) == BN_CLICKED) {
        on_dont_ask_clicked();
        return TRUE;
    }
    return CDialog::OnCommand(wparam, lparam);
}

// "Apply to all" means nothing for a question that is not asked again, so
// it is cleared and disabled while "Don't ask me again" is ticked.
void CYesNoMessageBox::on_dont_ask_clicked() {
    const bool dont_ask = IsDlgButtonChecked(IDC_YESNO_DONT_ASK) == BST_CHECKED;
    if (dont_ask) CheckDlgButton(IDC_YESNO_APPLY_TO_ALL, BST_UNCHECKED);
    GetDlgItem(IDC_YESNO_APPLY_TO_ALL)->EnableWindow(!dont_ask);
    UpdateData(TRUE);
}

void CYesNoMessageBox::OnOK() {
    UpdateData(TRUE);
    EndDialog(IDOK);
}

void CYesNoMessageBox::OnCancel() {
    UpdateData(TRUE);
    EndDialog(IDCANCEL);
}

void CYesNoMessageBox::OnPaint() {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(m_hWnd, &paint);
    if (dc && m_image.GetSafeHandle()) {
        HDC source = CreateCompatibleDC(dc);
        HGDIOBJ previous = SelectObject(source, m_image.GetSafeHandle());
        BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
        AlphaBlend(dc, 25, 20, m_image.m_nWidth, m_image.m_nHeight, source, 0, 0, m_image.m_nWidth,
                   m_image.m_nHeight, blend);
        SelectObject(source, previous);
        DeleteDC(source);
    }
    EndPaint(m_hWnd, &paint);
}

// Topmost only for the first second. The topmost band is left through the
// z-order (clearing the style bit alone would leave the window in it).
void CYesNoMessageBox::OnTimer(UINT_PTR id) {
    if (id != topmost_timer) {
        CDialog::OnTimer(id);
        return;
    }
    KillTimer(topmost_timer);
    SetWindowPos(&wndNoTopMost, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

namespace {

// Names in the question are shown as they are: an "&" in one is no
// mnemonic.
win_dialogs::control_template message_text() {
    win_dialogs::control_template text =
        win_dialogs::left_text(IDC_YESNO_MESSAGE, L"", 60, 12, 246, 66);
    text.style |= SS_NOPREFIX;
    return text;
}

}  // namespace

void RegisterYesNoMessageBoxTemplate(HMODULE module) {
    using namespace win_dialogs;
    dialog_template box;
    box.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFOREGROUND | DS_SETFONT;
    box.ex_style = WS_EX_TOPMOST;
    box.cx = 320;
    box.cy = 113;
    box.caption = L"Calvimora";
    box.font_face = L"MS Shell Dlg";
    box.point_size = 8;
    box.controls = {
        default_push_button(IDOK, L"Yes", 204, 87, 50, 14),
        push_button(IDCANCEL, L"No", 258, 87, 50, 14),
        message_text(),
        auto_check_box(IDC_YESNO_DONT_ASK, L"Don't ask me again for this syncing task", 60, 79, 142,
                       10),
        auto_check_box(IDC_YESNO_APPLY_TO_ALL, L"Apply to all ", 60, 91, 122, 10),
    };
    register_dialog(module, IDD_YESNO_MESSAGEBOX, box);
}

namespace {

// The template is part of the program, as its images are: filed at start-up
// for the module that holds this code.
[[maybe_unused]] const bool template_registered =
    (RegisterYesNoMessageBoxTemplate(win_module::this_module()), true);

}  // namespace

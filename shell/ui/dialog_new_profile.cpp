#include "ui/dialog_new_profile.h"

#include <string>

#include "folder/module/failure_text.h"
#include "vfs/profile.h"

namespace {

const int field_ids[] = {IDC_PROFILE_USER,  IDC_PROFILE_PASSWORD,   IDC_PROFILE_VERIFY_PASSWORD,
                         IDC_PROFILE_EMAIL, IDC_PROFILE_FIRST_NAME, IDC_PROFILE_LAST_NAME};

}  // namespace

BOOL CDialogNewProfile::ProcessWindowMessage(HWND, UINT message, WPARAM wparam, LPARAM,
                                             LRESULT& result, DWORD) {
    if (message != WM_COMMAND) return FALSE;
    result = 0;
    switch (LOWORD(wparam)) {
        case IDOK:
            return TRUE;
        case IDCANCEL:
            ::SendMessageW(GetParent(), WM_NEW_PROFILE_CANCEL, 0, 0);
            return TRUE;
        case IDC_PROFILE_SIGN_UP:
            if (HIWORD(wparam) != BN_CLICKED) return FALSE;
            sign_up();
            return TRUE;
        default:
            return FALSE;
    }
}

void CDialogNewProfile::sign_up() {
    std::wstring fields[std::size(field_ids)];
    for (size_t i = 0; i < std::size(field_ids); ++i)
        fields[i] = CWindow(GetDlgItem(field_ids[i])).GetWindowText();
    try {
        vfs_calvimora::create_new_profile(fields[0], fields[1], fields[2], fields[3], fields[4],
                                          fields[5]);
    } catch (...) {
        const failure_text failure = current_failure();
        ::SendMessageW(GetParent(), WM_NEW_PROFILE_FAILED, 0,
                       reinterpret_cast<LPARAM>(failure.text.c_str()));
        return;
    }
    for (const int id : field_ids) SetDlgItemTextW(m_hWnd, id, L"");
    ::SendMessageW(GetParent(), WM_NEW_PROFILE_CREATED, 0,
                   reinterpret_cast<LPARAM>(fields[0].c_str()));
}

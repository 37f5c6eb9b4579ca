// The "Calvimora" page of local items as a person sees it in the items'
// property sheet, with a folder bound as a backup.
#include <cstdio>
#include <string>

#include "folder/module/folder_session.h"
#include "ui/local_items_resources.h"
#include "ui/local_sync_page.h"
#include "win/commctrl.h"
#include "win/user.h"
#include "win/win_test.h"

namespace {

// Nobody logged in and no login: the page starts disabled, and the picture
// then fills it as a bound folder fills it.
class absent_session final : public folder_session {
public:
    bool is_logged_in() override { return false; }
    vfs::client_ptr get_client() override { return nullptr; }
    vfs::user_info get_user_info() override { return {}; }
    bool log_in_with_dialog(HWND) override { return false; }
};

}  // namespace

bool local_sync_page_snapshot(const std::string& folder) {
    absent_session session;
    replace_folder_session(&session);
    CComObject<CPropertiesSyncDlg>* handler = nullptr;
    if (FAILED(CComObject<CPropertiesSyncDlg>::CreateInstance(&handler))) return false;
    handler->AddRef();
    HPROPSHEETPAGE page = nullptr;
    const HRESULT added = handler->AddPages(
        [](HPROPSHEETPAGE made, LPARAM into) {
            *reinterpret_cast<HPROPSHEETPAGE*>(into) = made;
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&page));
    handler->Release();
    if (added != 2) return false;
    const std::string path = folder + "/local_sync_page_backup.png";
    bool saved = false;
    {
        win_test::scoped_dialog_responder script([&](HWND sheet) {
            const HWND shown = PropSheet_GetCurrentPageHwnd(sheet);
            if (!shown) return;
            EnableWindow(shown, TRUE);
            SetDlgItemTextW(shown, IDC_LOCAL_PATH, L"/home/anna/Pictures/Holiday photos");
            SetDlgItemTextW(shown, IDC_LOCAL_REMOTE_FOLDER,
                            L"Calvimora\\Documents\\Holiday photos");
            SendDlgItemMessageW(shown, IDC_LOCAL_PERMANENT, BM_CLICK, 0, 0);
            SendDlgItemMessageW(shown, IDC_LOCAL_BACKUP, BM_CLICK, 0, 0);
            win_test::pump();
            saved = win_test::save_png(sheet, path);
            win_test::press(sheet, IDCANCEL);
        });
        PROPSHEETHEADERW header{};
        header.dwSize = sizeof header;
        header.dwFlags = PSH_PROPTITLE;
        header.pszCaption = L"Holiday photos";
        header.nPages = 1;
        header.phpage = &page;
        PropertySheetW(&header);
    }
    replace_folder_session(nullptr);
    if (saved) std::printf("%s\n", path.c_str());
    return saved;
}

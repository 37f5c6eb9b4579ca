// Pictures of the login dialog for people to look at: collapsed with a name
// and a password typed and both boxes ticked, expanded with the new-account
// child filled in, and the child alone. Nothing logs in: the dialog is
// cancelled once the pictures are taken.
//
//   shell_login_snapshots <folder>
#include <cstdio>
#include <filesystem>
#include <string>

#include "ui/login_dlg.h"
#include "win/machine.h"
#include "win/win_test.h"

namespace {

void type_into(HWND dialog, int id, const std::wstring& text) {
    HWND edit = win_test::control(dialog, id);
    SendMessageW(edit, EM_SETSEL, 0, -1);
    SendMessageW(edit, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(text.c_str()));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: shell_login_snapshots <folder>\n");
        return 2;
    }
    const std::string folder = argv[1];
    std::filesystem::create_directories(folder);
    win_machine::scoped_root root;

    std::vector<std::string> written;
    bool all_saved = true;
    auto save = [&](HWND window, const std::string& name) {
        const std::string path = folder + "/" + name;
        if (win_test::save_png(window, path))
            written.push_back(path);
        else
            all_saved = false;
    };
    win_test::scoped_dialog_responder script([&](HWND dialog) {
        type_into(dialog, IDC_LOGIN_USER, L"alice@example.com");
        type_into(dialog, IDC_LOGIN_PASSWORD, L"secret");
        CheckDlgButton(dialog, IDC_LOGIN_SAVE_PASSWORD, BST_CHECKED);
        CheckDlgButton(dialog, IDC_LOGIN_AUTO_LOGIN, BST_CHECKED);
        win_test::pump();
        save(dialog, "login_collapsed.png");

        win_test::click(win_test::control(dialog, 0));
        win_test::pump();
        type_into(dialog, IDC_PROFILE_USER, L"newbie");
        type_into(dialog, IDC_PROFILE_PASSWORD, L"pass1");
        type_into(dialog, IDC_PROFILE_VERIFY_PASSWORD, L"pass1");
        type_into(dialog, IDC_PROFILE_EMAIL, L"newbie@example.com");
        type_into(dialog, IDC_PROFILE_FIRST_NAME, L"New");
        type_into(dialog, IDC_PROFILE_LAST_NAME, L"Bie");
        win_test::pump();
        save(dialog, "login_expanded.png");
        save(GetParent(win_test::control(dialog, IDC_PROFILE_USER)), "login_new_account.png");
        EndDialog(dialog, IDCANCEL);
    });
    CLoginDlg dialog;
    dialog.DoModal(nullptr);
    for (const std::string& path : written) std::printf("%s\n", path.c_str());
    if (!all_saved || written.size() != 3) {
        std::fprintf(stderr, "shell_login_snapshots: the pictures could not all be written\n");
        return 1;
    }
    return 0;
}

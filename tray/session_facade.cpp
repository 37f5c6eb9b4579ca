#include "session_facade.h"

#include "tray_error.h"
#include "utils/class_ids.h"
#include "vfs/session.h"
#include "win/com.h"
#include "win/shell_execute.h"
#include "win/shell_folder.h"
#include "win/user.h"

namespace {

// Releases a COM interface when the scope ends.
template <typename Interface>
class com_ref {
public:
    com_ref() = default;
    ~com_ref() {
        if (pointer_) pointer_->Release();
    }
    com_ref(const com_ref&) = delete;
    com_ref& operator=(const com_ref&) = delete;

    Interface** out() { return &pointer_; }
    void** out_void() { return reinterpret_cast<void**>(&pointer_); }
    Interface* operator->() const { return pointer_; }

private:
    Interface* pointer_ = nullptr;
};

std::wstring class_id_text(REFCLSID clsid, const wchar_t* failure) {
    wchar_t text[39];
    if (StringFromGUID2(clsid, text, 39) == 0) throw CTrayError(failure);
    return text;
}

// Enumerating the folder makes the shell extension log in, showing its
// login dialog; true when that worked.
bool enumerate_folder(const std::wstring& folder_name) {
    com_ref<IShellFolder> desktop;
    if (FAILED(SHGetDesktopFolder(desktop.out())))
        throw CTrayError(L"Error taking 'Desktop' object");
    std::wstring name = folder_name;
    PIDLIST_RELATIVE list = nullptr;
    if (FAILED(desktop->ParseDisplayName(nullptr, nullptr, name.data(), nullptr, &list, nullptr)))
        throw CTrayError(L"Error taking Calvimora PIDL");
    com_ref<IShellFolder> folder;
    const HRESULT bound = desktop->BindToObject(list, nullptr, IID_IShellFolder, folder.out_void());
    CoTaskMemFree(list);
    if (FAILED(bound)) throw CTrayError(L"Error binding to Calvimora");
    com_ref<IEnumIDList> items;
    return SUCCEEDED(folder->EnumObjects(GetDesktopWindow(), 0, items.out()));
}

}  // namespace

bool CSessionFacade::IsLoggedIn() {
    try {
        return vfs_calvimora::is_logged_in(instance_);
    } catch (...) {
        return false;
    }
}

void CSessionFacade::LogOff() {
    try {
        vfs_calvimora::logoff(instance_);
    } catch (...) {
        // Nobody to tell: the next tick shows whatever state the session is in.
    }
}

std::wstring CSessionFacade::GetUserInfo() {
    try {
        return vfs_calvimora::get_user_info(instance_).user_name;
    } catch (...) {
        return L"";
    }
}

std::vector<vfs::notification> CSessionFacade::GetNotifications() {
    try {
        return vfs_calvimora::get_client(instance_)->get_user_notifications();
    } catch (...) {
        return {};
    }
}

void CSessionFacade::Login(const std::wstring& user_name, const std::wstring& password) {
    vfs_calvimora::login(instance_, user_name, password);
}

void CSessionFacade::OpenCalvimoraFolder(const std::wstring& suffix) {
    const std::wstring computer =
        class_id_text(CLSID_MyComputer, L"Error taking path to 'My Computer'");
    const std::wstring calvimora =
        class_id_text(utils::clsid_calvimora_folder, L"Error taking path to 'Calvimora'");
    const std::wstring folder_name = L"::" + computer + L"\\::" + calvimora;
    if (!IsLoggedIn() && !enumerate_folder(folder_name)) return;
    const std::wstring target = folder_name + suffix;
    ShellExecuteW(nullptr, L"open", target.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

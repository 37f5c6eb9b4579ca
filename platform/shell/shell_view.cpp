// The folder view stand-in: it drives the folder's callback as the shell's
// view does when it starts, enumerates the folder when it fills its window,
// and records everything per view for the tests.
#include <atomic>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>

#include "com/counted_object.h"
#include "win/shell_folder2.h"
#include "win/shell_view.h"

namespace {

std::mutex records_lock;
std::vector<std::shared_ptr<win_test::folder_view_record>>& records() {
    static std::vector<std::shared_ptr<win_test::folder_view_record>> all;
    return all;
}

class folder_view final
    : public win_platform::counted_object<IShellView, IID_IOleWindow, IID_IShellView> {
public:
    folder_view(IShellFolder* folder, IShellFolderViewCB* callback)
        : folder_(folder), callback_(callback), record_(new win_test::folder_view_record) {
        folder_->AddRef();
        if (callback_) callback_->AddRef();
        record_->has_callback = callback_ != nullptr;
        std::lock_guard<std::mutex> hold(records_lock);
        records().push_back(record_);
    }
    ~folder_view() {
        if (callback_) callback_->Release();
        folder_->Release();
        std::lock_guard<std::mutex> hold(records_lock);
        record_->released = true;
    }
    folder_view(const folder_view&) = delete;
    folder_view& operator=(const folder_view&) = delete;

    // What the shell's view asks first: the list and events to watch, then
    // the security zone.
    void start() {
        if (!callback_) return;
        LPCITEMIDLIST watched = nullptr;
        LONG events = 0;
        const HRESULT notify = callback_->MessageSFVCB(
            SFVM_GETNOTIFY, reinterpret_cast<WPARAM>(&watched), reinterpret_cast<LPARAM>(&events));
        DWORD zone = 0;
        const HRESULT zone_result =
            callback_->MessageSFVCB(SFVM_GETZONE, 0, reinterpret_cast<LPARAM>(&zone));
        std::lock_guard<std::mutex> hold(records_lock);
        record_->notify_result = notify;
        if (SUCCEEDED(notify) && watched) {
            const auto* bytes = reinterpret_cast<const unsigned char*>(watched);
            record_->notify_list.assign(bytes, bytes + ILGetSize(watched));
            record_->notify_events = events;
        }
        record_->zone_result = zone_result;
        if (SUCCEEDED(zone_result)) record_->zone = zone;
    }

    HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override {
        record("GetWindow");
        if (!window) return E_INVALIDARG;
        *window = window_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override {
        record("ContextSensitiveHelp");
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(MSG*) override {
        record("TranslateAccelerator");
        return S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE EnableModeless(BOOL) override {
        record("EnableModeless");
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE UIActivate(UINT) override {
        record("UIActivate");
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Refresh() override {
        record("Refresh");
        return fill();
    }
    HRESULT STDMETHODCALLTYPE CreateViewWindow(IShellView*, LPCFOLDERSETTINGS, IShellBrowser*,
                                               RECT*, HWND* window) override {
        record("CreateViewWindow");
        if (window) *window = nullptr;
        return fill();
    }
    HRESULT STDMETHODCALLTYPE DestroyViewWindow() override {
        record("DestroyViewWindow");
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetCurrentInfo(LPFOLDERSETTINGS settings) override {
        record("GetCurrentInfo");
        if (!settings) return E_INVALIDARG;
        *settings = {};
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE AddPropertySheetPages(DWORD, LPFNSVADDPROPSHEETPAGE,
                                                    LPARAM) override {
        record("AddPropertySheetPages");
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SaveViewState() override {
        record("SaveViewState");
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SelectItem(PCUITEMID_CHILD, UINT) override {
        record("SelectItem");
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetItemObject(UINT, REFIID, void** object) override {
        record("GetItemObject");
        if (object) *object = nullptr;
        return E_NOTIMPL;
    }

private:
    void record(const char* call) {
        std::lock_guard<std::mutex> hold(records_lock);
        record_->calls.push_back(call);
    }

    // Lists the folder and reads every item's in-folder name.
    HRESULT fill() {
        IEnumIDList* enumerator = nullptr;
        const HRESULT result =
            folder_->EnumObjects(window_, SHCONTF_FOLDERS | SHCONTF_NONFOLDERS, &enumerator);
        std::vector<std::wstring> names;
        if (result == S_OK && enumerator) {
            PITEMID_CHILD item = nullptr;
            ULONG fetched = 0;
            while (enumerator->Next(1, &item, &fetched) == S_OK && fetched == 1) {
                names.push_back(in_folder_name(item));
                CoTaskMemFree(item);
            }
        }
        if (enumerator) enumerator->Release();
        {
            std::lock_guard<std::mutex> hold(records_lock);
            record_->items = names;
        }
        return FAILED(result) ? result : S_OK;
    }

    std::wstring in_folder_name(PCUITEMID_CHILD item) {
        STRRET name{};
        if (FAILED(folder_->GetDisplayNameOf(item, SHGDN_INFOLDER, &name))) return L"";
        LPWSTR text = nullptr;
        if (FAILED(StrRetToStrW(&name, item, &text))) return L"";
        std::wstring out = text;
        CoTaskMemFree(text);
        return out;
    }

    IShellFolder* folder_;
    IShellFolderViewCB* callback_;
    HWND window_ = nullptr;
    std::shared_ptr<win_test::folder_view_record> record_;
};

}  // namespace

HRESULT SHCreateShellFolderView(const SFV_CREATE* create, IShellView** view) {
    if (!view) return E_INVALIDARG;
    *view = nullptr;
    if (!create || create->cbSize != sizeof(SFV_CREATE) || !create->pshf) return E_INVALIDARG;
    auto* made = new (std::nothrow) folder_view(create->pshf, create->psfvcb);
    if (!made) return E_OUTOFMEMORY;
    made->start();
    *view = made;
    return S_OK;
}

namespace win_test {

std::vector<folder_view_record> folder_views() {
    std::lock_guard<std::mutex> hold(records_lock);
    std::vector<folder_view_record> out;
    for (const auto& record : records()) out.push_back(*record);
    return out;
}

void forget_folder_views() {
    std::lock_guard<std::mutex> hold(records_lock);
    records().clear();
}

}  // namespace win_test

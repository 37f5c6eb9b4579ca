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
#include "win/shell_view2.h"

namespace {

std::mutex records_lock;
std::vector<std::shared_ptr<win_test::folder_view_record>>& records() {
    static std::vector<std::shared_ptr<win_test::folder_view_record>> all;
    return all;
}

// The view answers IShellView2 and, as the same object, IFolderView, which
// is what hosted objects find through their site's services.
class folder_view final : public win_platform::counted_object<IShellView2, IID_IOleWindow,
                                                              IID_IShellView, IID_IShellView2>,
                          public IFolderView {
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
    HRESULT STDMETHODCALLTYPE SelectItem(PCUITEMID_CHILD item, UINT flags) override {
        record("SelectItem");
        if (!item) return E_INVALIDARG;
        select("SelectItem", item, flags, POINT{});
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetItemObject(UINT, REFIID, void** object) override {
        record("GetItemObject");
        if (object) *object = nullptr;
        return E_NOTIMPL;
    }

    // IShellView2.
    HRESULT STDMETHODCALLTYPE GetView(SHELLVIEWID*, ULONG) override {
        record("GetView");
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE CreateViewWindow2(LPSV2CVW2_PARAMS) override {
        record("CreateViewWindow2");
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE HandleRename(PCUITEMID_CHILD) override {
        record("HandleRename");
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SelectAndPositionItem(PCUITEMID_CHILD item, UINT flags,
                                                    POINT* point) override {
        record("SelectAndPositionItem");
        if (!item) return E_INVALIDARG;
        select("SelectAndPositionItem", item, flags, point ? *point : POINT{});
        return S_OK;
    }

    // IUnknown of both interfaces: one object, one count.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (object && iid == IID_IFolderView) {
            *object = static_cast<IFolderView*>(this);
            AddRef();
            return S_OK;
        }
        return counted_object::QueryInterface(iid, object);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return counted_object::AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return counted_object::Release(); }

    // IFolderView: the view has no window and so no items, modes or
    // positions to give; each call is recorded and refused.
    HRESULT STDMETHODCALLTYPE GetCurrentViewMode(UINT*) override {
        return refuse("GetCurrentViewMode");
    }
    HRESULT STDMETHODCALLTYPE SetCurrentViewMode(UINT) override {
        return refuse("SetCurrentViewMode");
    }
    HRESULT STDMETHODCALLTYPE GetFolder(REFIID iid, void** folder) override {
        record("GetFolder");
        if (!folder) return E_POINTER;
        return folder_->QueryInterface(iid, folder);
    }
    HRESULT STDMETHODCALLTYPE Item(int, PITEMID_CHILD* item) override {
        if (item) *item = nullptr;
        return refuse("Item");
    }
    HRESULT STDMETHODCALLTYPE ItemCount(UINT, int*) override { return refuse("ItemCount"); }
    HRESULT STDMETHODCALLTYPE Items(UINT, REFIID, void** items) override {
        if (items) *items = nullptr;
        return refuse("Items");
    }
    HRESULT STDMETHODCALLTYPE GetSelectionMarkedItem(int*) override {
        return refuse("GetSelectionMarkedItem");
    }
    HRESULT STDMETHODCALLTYPE GetFocusedItem(int*) override { return refuse("GetFocusedItem"); }
    HRESULT STDMETHODCALLTYPE GetItemPosition(PCUITEMID_CHILD, POINT*) override {
        return refuse("GetItemPosition");
    }
    HRESULT STDMETHODCALLTYPE GetSpacing(POINT*) override { return refuse("GetSpacing"); }
    HRESULT STDMETHODCALLTYPE GetDefaultSpacing(POINT*) override {
        return refuse("GetDefaultSpacing");
    }
    HRESULT STDMETHODCALLTYPE GetAutoArrange() override { return refuse("GetAutoArrange"); }
    HRESULT STDMETHODCALLTYPE SelectItem(int, DWORD) override {
        return refuse("SelectItem(index)");
    }
    HRESULT STDMETHODCALLTYPE SelectAndPositionItems(UINT, PCUITEMID_CHILD_ARRAY, POINT*,
                                                     DWORD) override {
        return refuse("SelectAndPositionItems");
    }

    std::vector<win_test::view_selection> selections() {
        std::lock_guard<std::mutex> hold(records_lock);
        return selections_;
    }

private:
    HRESULT refuse(const char* call) {
        record(call);
        return E_NOTIMPL;
    }

    void select(const char* call, PCUITEMID_CHILD item, UINT flags, POINT point) {
        win_test::view_selection selection{call, in_folder_name(item), flags, point};
        std::lock_guard<std::mutex> hold(records_lock);
        selections_.push_back(std::move(selection));
    }

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
    std::vector<win_test::view_selection> selections_;
};

}  // namespace

HRESULT SHCreateShellFolderView(const SFV_CREATE* create, IShellView** view) {
    if (!view) return E_INVALIDARG;
    *view = nullptr;
    if (!create || create->cbSize != sizeof(SFV_CREATE) || !create->pshf) return E_INVALIDARG;
    auto* made = new (std::nothrow) folder_view(create->pshf, create->psfvcb);
    if (!made) return E_OUTOFMEMORY;
    made->start();
    *view = static_cast<IShellView2*>(made);
    return S_OK;
}

namespace win_test {

std::vector<folder_view_record> folder_views() {
    std::lock_guard<std::mutex> hold(records_lock);
    std::vector<folder_view_record> out;
    for (const auto& record : records()) out.push_back(*record);
    return out;
}

std::vector<view_selection> folder_view_selections(IShellView* view) {
    auto* ours = dynamic_cast<folder_view*>(view);
    return ours ? ours->selections() : std::vector<view_selection>{};
}

void forget_folder_views() {
    std::lock_guard<std::mutex> hold(records_lock);
    records().clear();
}

}  // namespace win_test

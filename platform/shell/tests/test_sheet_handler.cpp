// An in-process server of two property-sheet handlers, as programs
// register under a class key's "shellex\PropertySheetHandlers". Each adds
// one page titled by its class ("Alpha", "Beta") whose page callback holds
// a reference on the handler while the page exists. What happens is kept
// in a list the tests read through sheet_handler_events().
#include <atomic>
#include <string>
#include <vector>

#include "kernel/wide_text.h"
#include "win/process.h"
#include "win/shell.h"
#include "win/shell_dragdrop.h"
#include "win/user.h"

namespace {

// {6C2B8E41-7A3D-4E59-8B16-2F4D9C0A7E51}
constexpr CLSID alpha_class{
    0x6C2B8E41, 0x7A3D, 0x4E59, {0x8B, 0x16, 0x2F, 0x4D, 0x9C, 0x0A, 0x7E, 0x51}};
// {6C2B8E42-7A3D-4E59-8B16-2F4D9C0A7E51}
constexpr CLSID beta_class{
    0x6C2B8E42, 0x7A3D, 0x4E59, {0x8B, 0x16, 0x2F, 0x4D, 0x9C, 0x0A, 0x7E, 0x51}};

constexpr WORD page_template = 140;

std::atomic<long> live_objects{0};
std::vector<std::string> events;

void note(const std::string& name, const std::string& what) {
    events.push_back(name + ":" + what);
}

std::string files_of(IDataObject* data) {
    if (!data) return "(none)";
    FORMATETC format{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium{};
    if (FAILED(data->GetData(&format, &medium))) return "(no files)";
    std::string joined;
    for (const std::wstring& file :
         win_shell::read_drop_files(GlobalLock(medium.hGlobal), GlobalSize(medium.hGlobal))) {
        const size_t cut = file.find_last_of(L"\\/");
        joined += (joined.empty() ? "" : ",") +
                  win_detail::to_utf8(cut == std::wstring::npos ? file : file.substr(cut + 1));
    }
    GlobalUnlock(medium.hGlobal);
    ReleaseStgMedium(&medium);
    return joined;
}

void register_page_template() {
    static const bool done = [] {
        using namespace win_dialogs;
        dialog_template t;
        t.style = WS_CHILD | WS_CAPTION | DS_SETFONT;
        t.cx = 180;
        t.cy = 120;
        t.caption = L"Page";
        t.controls = {left_text(-1, L"A handler's page", 10, 10, 120, 10)};
        register_dialog(win_module::this_module(), page_template, t);
        return true;
    }();
    (void)done;
}

class sheet_handler final : public IShellExtInit, public IShellPropSheetExt {
public:
    explicit sheet_handler(std::string name) : name_(std::move(name)) { ++live_objects; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (iid == IID_IUnknown || iid == IID_IShellExtInit)
            *object = static_cast<IShellExtInit*>(this);
        else if (iid == IID_IShellPropSheetExt)
            *object = static_cast<IShellPropSheetExt*>(this);
        else
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --references_;
        if (left == 0) {
            note(name_, "gone");
            --live_objects;
            delete this;
        }
        return left;
    }

    HRESULT STDMETHODCALLTYPE Initialize(PCIDLIST_ABSOLUTE, IDataObject* data, HKEY key) override {
        note(name_, "initialize " + files_of(data) + (key ? " with key" : " without key"));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE AddPages(LPFNADDPROPSHEETPAGE add, LPARAM parameter) override {
        register_page_template();
        title_ = win_detail::from_utf8(name_);
        PROPSHEETPAGEW page{};
        page.dwSize = sizeof page;
        page.dwFlags = PSP_USETITLE | PSP_USECALLBACK;
        page.hInstance = win_module::this_module();
        page.pszTemplate = MAKEINTRESOURCEW(page_template);
        page.pszTitle = title_.c_str();
        page.pfnDlgProc = page_procedure;
        page.lParam = reinterpret_cast<LPARAM>(this);
        page.pfnCallback = page_callback;
        HPROPSHEETPAGE made = CreatePropertySheetPageW(&page);
        if (!made) return E_OUTOFMEMORY;
        if (!add(made, parameter)) {
            DestroyPropertySheetPage(made);
            return E_FAIL;
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ReplacePage(EXPPS, LPFNADDPROPSHEETPAGE, LPARAM) override {
        return E_NOTIMPL;
    }

private:
    ~sheet_handler() = default;

    static UINT CALLBACK page_callback(HWND, UINT message, PROPSHEETPAGEW* page) {
        auto* self = reinterpret_cast<sheet_handler*>(page->lParam);
        if (message == PSPCB_ADDREF) self->AddRef();
        if (message == PSPCB_CREATE) note(self->name_, "create");
        if (message == PSPCB_RELEASE) {
            note(self->name_, "page released");
            self->Release();
        }
        return 1;
    }
    static INT_PTR CALLBACK page_procedure(HWND page, UINT message, WPARAM, LPARAM lparam) {
        if (message == WM_INITDIALOG) {
            auto* self = reinterpret_cast<sheet_handler*>(
                reinterpret_cast<const PROPSHEETPAGEW*>(lparam)->lParam);
            SetWindowLongPtrW(page, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
            note(self->name_, "init");
            return TRUE;
        }
        auto* self = reinterpret_cast<sheet_handler*>(GetWindowLongPtrW(page, DWLP_USER));
        if (self && message == WM_NOTIFY &&
            reinterpret_cast<const NMHDR*>(lparam)->code == PSN_APPLY) {
            note(self->name_, "apply");
            return TRUE;
        }
        return FALSE;
    }

    const std::string name_;
    std::wstring title_;
    std::atomic<ULONG> references_{1};
};

class handler_factory final : public IClassFactory {
public:
    explicit handler_factory(std::string name) : name_(std::move(name)) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (iid != IID_IUnknown && iid != IID_IClassFactory) return E_NOINTERFACE;
        *object = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --references_;
        if (left == 0) delete this;
        return left;
    }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        auto* handler = new sheet_handler(name_);
        const HRESULT result = handler->QueryInterface(iid, object);
        handler->Release();
        return result;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

private:
    const std::string name_;
    std::atomic<ULONG> references_{1};
};

}  // namespace

extern "C" __attribute__((visibility("default"))) HRESULT DllGetClassObject(REFCLSID clsid,
                                                                            REFIID iid,
                                                                            LPVOID* object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    const char* name = clsid == alpha_class ? "Alpha" : clsid == beta_class ? "Beta" : nullptr;
    if (!name) return CLASS_E_CLASSNOTAVAILABLE;
    auto* factory = new handler_factory(name);
    const HRESULT result = factory->QueryInterface(iid, object);
    factory->Release();
    return result;
}

extern "C" __attribute__((visibility("default"))) HRESULT DllCanUnloadNow() {
    return live_objects == 0 ? S_OK : S_FALSE;
}

extern "C" __attribute__((visibility("default"))) std::vector<std::string>* sheet_handler_events() {
    return &events;
}

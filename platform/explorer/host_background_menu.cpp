#include "host_background_menu.h"

#include <ostream>

#include "item_workers.h"
#include "kernel/wide_text.h"
#include "win/shell_view2.h"
#include "win/user.h"

namespace shell_host {

namespace {

// Explorer's own item of the background menu, carried out by the folder's
// menu object through its verb.
const std::wstring explorer_paste = L"Paste";

// The view's browser as the site of the objects it hosts: it hands out the
// view only as a service.
class view_site final : public IServiceProvider {
public:
    explicit view_site(IShellView* view) : view_(view) {}
    view_site(const view_site&) = delete;
    view_site& operator=(const view_site&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (iid != IID_IUnknown && iid != IID_IServiceProvider) return E_NOINTERFACE;
        *object = static_cast<IServiceProvider*>(this);
        AddRef();
        return S_OK;
    }
    // The site lives on the stack of the call that uses the menu, and the
    // menu lets go of it before that call returns.
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override { return --references_; }
    HRESULT STDMETHODCALLTYPE QueryService(REFGUID service, REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (service != SID_SFolderView || !view_) return E_NOINTERFACE;
        return view_->QueryInterface(iid, object);
    }

private:
    IShellView* view_;
    ULONG references_ = 1;
};

// The folder's background menu, sited and queried into a new menu.
class queried_background {
public:
    explicit queried_background(shell_browser& browser) : site_(browser.view()) {
        if (!browser.folder()) {
            result_ = E_UNEXPECTED;
            return;
        }
        result_ = browser.folder()->CreateViewObject(nullptr, IID_IContextMenu,
                                                     reinterpret_cast<void**>(&context_));
        if (FAILED(result_)) return;
        IObjectWithSite* sited = nullptr;
        if (SUCCEEDED(
                context_->QueryInterface(IID_IObjectWithSite, reinterpret_cast<void**>(&sited)))) {
            sited->SetSite(&site_);
            sited_ = sited;
        }
        menu_ = CreatePopupMenu();
        result_ = context_->QueryContextMenu(menu_, 0, 1, 0x7FFF, view_background_menu_flag);
    }
    ~queried_background() {
        if (menu_) DestroyMenu(menu_);
        if (sited_) {
            // As the view does when the menu closes: the site is taken back.
            sited_->SetSite(nullptr);
            sited_->Release();
        }
        if (context_) context_->Release();
    }
    queried_background(const queried_background&) = delete;
    queried_background& operator=(const queried_background&) = delete;

    HRESULT result() const { return result_; }
    HMENU menu() const { return menu_; }
    IContextMenu* context() const { return context_; }

private:
    view_site site_;
    IContextMenu* context_ = nullptr;
    IObjectWithSite* sited_ = nullptr;
    HMENU menu_ = nullptr;
    HRESULT result_ = E_FAIL;
};

}  // namespace

HRESULT background_menu(shell_browser& browser, std::vector<menu_item>& items) {
    items.clear();
    queried_background queried(browser);
    if (FAILED(queried.result())) return queried.result();
    items = read_menu(queried.menu());
    return S_OK;
}

HRESULT invoke_background_command(shell_browser& browser, const std::wstring& command) {
    extension_workers workers;
    HRESULT result = S_OK;
    {
        queried_background queried(browser);
        if (FAILED(queried.result())) return queried.result();
        const std::string verb =
            command == explorer_paste ? std::string("paste") : win_detail::to_utf8(command);
        CMINVOKECOMMANDINFO info{};
        info.cbSize = sizeof info;
        info.lpVerb = verb.c_str();
        for (const menu_item& item : read_menu(queried.menu()))
            if (!item.separator && item.text == command)
                info.lpVerb = MAKEINTRESOURCEA(item.offset);
        result = queried.context()->InvokeCommand(&info);
    }
    workers.wait();
    return result;
}

HRESULT background_menu_command(shell_browser& browser, const std::string& words, std::ostream& out,
                                bool& changed) {
    changed = false;
    if (words.empty()) {
        std::vector<menu_item> items;
        const HRESULT result = background_menu(browser, items);
        if (FAILED(result)) return result;
        for (const menu_item& item : items)
            out << (item.separator ? std::string("  ----") : "  " + win_detail::to_utf8(item.text))
                << "\n";
        out << "  ----\n  " << win_detail::to_utf8(explorer_paste) << "\n";
        return S_OK;
    }
    const std::string prefix = "do ";
    const std::string command =
        words.rfind(prefix, 0) == 0 ? words.substr(prefix.size()) : std::string();
    if (command.find_first_not_of(' ') == std::string::npos) {
        out << "usage: bg | bg do TEXT\n";
        return S_OK;
    }
    const size_t before = win_test::folder_view_selections(browser.view()).size();
    const HRESULT result = invoke_background_command(browser, win_detail::from_utf8(command));
    if (result == E_NOTIMPL) {
        out << "the background menu has no command \"" << command << "\"; bg lists its commands\n";
        return S_OK;
    }
    if (FAILED(result)) return result;
    changed = true;
    out << "done\n";
    const auto selections = win_test::folder_view_selections(browser.view());
    for (size_t i = before; i < selections.size(); ++i)
        if ((selections[i].flags & SVSI_EDIT) == SVSI_EDIT)
            out << "selected for renaming: " << win_detail::to_utf8(selections[i].name) << "\n";
    return S_OK;
}

}  // namespace shell_host

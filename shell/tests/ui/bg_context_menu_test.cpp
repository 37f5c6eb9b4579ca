// The view background's menu over scripted remote folders: which items each
// kind of folder gets, new folders and their names, the view that selects
// them, and the paste through the folder's drop target.
#include <string>
#include <utility>
#include <vector>

#include "folder/module/module.h"
#include "folder/transfer/data_object_impl.h"
#include "folder_fakes.h"
#include "ui/bg_context_menu.h"
#include "win/shell.h"
#include "win/shell_view2.h"
#include "win/test_journal.h"
#include "win/user.h"
#include "win/user_input.h"

namespace {

using namespace shell_testing;

std::vector<std::wstring> texts_of(HMENU menu) {
    std::vector<std::wstring> texts;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        wchar_t text[64] = {};
        MENUITEMINFOW item{};
        item.cbSize = sizeof item;
        item.fMask = MIIM_FTYPE | MIIM_STRING;
        item.dwTypeData = text;
        item.cch = 64;
        GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &item);
        texts.push_back(item.fType & MFT_SEPARATOR ? L"-" : text);
    }
    return texts;
}

// A service failure that is no missing item.
class network_failure : public virtual vfs::exception {
public:
    std::wstring get_title() const override { return L"Connection error"; }
    std::wstring get_text() const override { return L"The service did not answer"; }
};

// A folder that records its lookups by name and makes the folders asked
// for; the lookup of one name may fail as the network does.
class probed_folder : public steered_folder {
public:
    using steered_folder::steered_folder;

    std::vector<std::pair<std::wstring, bool>> probes;  // name, relisted
    std::wstring unreachable;
    std::vector<std::wstring> made;

    vfs::item_ptr get_item(const std::wstring& name, bool refresh) override {
        probes.emplace_back(name, refresh);
        if (name == unreachable) throw network_failure();
        return steered_folder::get_item(name, refresh);
    }
    vfs::item_ptr create_directory(const std::wstring& name) override {
        made.push_back(name);
        auto folder = make_steered(name);
        children.push_back(folder);
        return folder;
    }
};

// A drop target that records what it is given and fails DragEnter on
// request.
class recording_target final : public IDropTarget {
public:
    HRESULT enter_result = S_OK;
    std::vector<std::pair<std::string, DWORD>> calls;  // method, effect given

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (iid != IID_IUnknown && iid != IID_IDropTarget) return E_NOINTERFACE;
        *object = this;
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE DragEnter(IDataObject*, DWORD, POINTL, DWORD* effect) override {
        calls.emplace_back("DragEnter", *effect);
        *effect = DROPEFFECT_NONE;
        return enter_result;
    }
    HRESULT STDMETHODCALLTYPE DragOver(DWORD, POINTL, DWORD*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE DragLeave() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Drop(IDataObject*, DWORD, POINTL, DWORD* effect) override {
        calls.emplace_back("Drop", *effect);
        return S_OK;
    }
};

// A site that only serves a folder view, as the shell's browser does.
class serving_site final : public IServiceProvider {
public:
    explicit serving_site(IUnknown* view) : view_(view) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (iid != IID_IUnknown && iid != IID_IServiceProvider) return E_NOINTERFACE;
        *object = this;
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE QueryService(REFGUID service, REFIID iid, void** object) override {
        *object = nullptr;
        if (!view_ || service != SID_SFolderView) return E_NOINTERFACE;
        return view_->QueryInterface(iid, object);
    }

private:
    IUnknown* view_;
};

class BackgroundMenu : public FolderTest {
protected:
    BackgroundMenu() {
        shown = boost::make_shared<probed_folder>(item_values{L"Work", L"id-Work"});
        shown->folder_type = vfs::folder_type_own;
        win_test::clear_message_boxes();
        win_test::clear_shell_notifications();
    }
    ~BackgroundMenu() override {
        OleSetClipboard(nullptr);
        if (view) view->Release();
        if (context) context->Release();
        if (folder) folder->Release();
        if (menu) DestroyMenu(menu);
    }

    // The menu of the shown folder (below the junction), queried with the
    // flags into a new menu with ids from 100.
    HRESULT query(UINT flags, IDropTarget* target = nullptr) {
        if (context) context->Release();
        context = nullptr;
        const std::vector<BYTE> whole = junction;
        CItemIdList place(reinterpret_cast<LPCITEMIDLIST>(whole.data()), true);
        place += CItemIdList(make_pidl_data(shown));
        EXPECT_EQ(create_background_menu(target, place, shown, IID_IContextMenu,
                                         reinterpret_cast<void**>(&context)),
                  S_OK);
        if (menu) DestroyMenu(menu);
        menu = CreatePopupMenu();
        return context->QueryContextMenu(menu, 0, 100, 200, flags);
    }

    HRESULT invoke(LPCSTR verb) {
        CMINVOKECOMMANDINFO info{};
        info.cbSize = sizeof info;
        info.lpVerb = verb;
        return context->InvokeCommand(&info);
    }

    // A view of the junction's folder from the shell's stand-in.
    IShellView* make_view() {
        if (!folder) folder = make_folder();
        SFV_CREATE create{};
        create.cbSize = sizeof create;
        create.pshf = folder;
        IShellView* made = nullptr;
        EXPECT_EQ(SHCreateShellFolderView(&create, &made), S_OK);
        return made;
    }

    CCalvimoraModule module;
    boost::shared_ptr<probed_folder> shown;
    IShellFolder2* folder = nullptr;
    IContextMenu* context = nullptr;
    IShellView* view = nullptr;
    IObjectWithSite* site_of = nullptr;
    HMENU menu = nullptr;
};

TEST_F(BackgroundMenu, EachKindOfFolderGetsItsItems) {
    // The root through the folder's own view object: New Folder alone.
    folder = make_folder();
    ASSERT_EQ(
        folder->CreateViewObject(nullptr, IID_IContextMenu, reinterpret_cast<void**>(&context)),
        S_OK);
    menu = CreatePopupMenu();
    EXPECT_EQ(context->QueryContextMenu(menu, 0, 100, 200, 0x20000), MAKE_HRESULT(0, 0, 1));
    EXPECT_EQ(texts_of(menu), (std::vector<std::wstring>{L"-", L"New Folder"}));
    // Asked for the default only, nothing changes.
    EXPECT_EQ(context->QueryContextMenu(menu, 0, 100, 200, CMF_DEFAULTONLY), MAKE_HRESULT(0, 0, 1));
    EXPECT_EQ(texts_of(menu), (std::vector<std::wstring>{L"-", L"New Folder"}));

    EXPECT_EQ(query(0x20000), MAKE_HRESULT(0, 0, 4));
    EXPECT_EQ(texts_of(menu), (std::vector<std::wstring>{L"-", L"New Folder", L"-", L"Share...",
                                                         L"Synchronize with Computer"}));
    EXPECT_EQ(GetMenuItemID(menu, 1), 100u);
    EXPECT_EQ(GetMenuItemID(menu, 3), 102u);
    EXPECT_EQ(GetMenuItemID(menu, 4), 103u);
    // A File menu (flags without the view's bits) has no New Folder.
    EXPECT_EQ(query(CMF_EXPLORE), MAKE_HRESULT(0, 0, 4));
    EXPECT_EQ(texts_of(menu),
              (std::vector<std::wstring>{L"-", L"Share...", L"Synchronize with Computer"}));
    // A folder that cannot be shared is still synchronised.
    shown->plain = false;
    EXPECT_EQ(query(0), MAKE_HRESULT(0, 0, 4));
    EXPECT_EQ(texts_of(menu),
              (std::vector<std::wstring>{L"-", L"New Folder", L"-", L"Synchronize with Computer"}));
    // The trash, the shared-folders container and a users folder are fixed
    // and hold no new folders.
    shown->fixed = true;
    for (const int type :
         {vfs::folder_type_trash, vfs::folder_type_shared_container, vfs::folder_type_users}) {
        shown->folder_type = type;
        EXPECT_EQ(query(0x20000), S_OK) << type;
        EXPECT_TRUE(texts_of(menu).empty()) << type;
    }
    // Too few ids is a failure, not an id beyond the caller's range.
    shown->folder_type = vfs::folder_type_own;
    shown->fixed = false;
    shown->plain = true;
    context->Release();
    context = nullptr;
    ASSERT_EQ(query(0), MAKE_HRESULT(0, 0, 4));
    DestroyMenu(menu);
    menu = CreatePopupMenu();
    EXPECT_EQ(context->QueryContextMenu(menu, 0, 100, 101, 0), E_FAIL);
    EXPECT_EQ(texts_of(menu), (std::vector<std::wstring>{L"-", L"New Folder", L"-"}));
}

TEST_F(BackgroundMenu, ANewFolderTakesTheFirstFreeNameAndIsSelectedForRenaming) {
    shown->children = {make_steered(L"New Folder"), make_steered(L"New Folder (3)")};
    view = make_view();
    ASSERT_EQ(query(0), MAKE_HRESULT(0, 0, 4));
    ASSERT_EQ(context->QueryInterface(IID_IObjectWithSite, reinterpret_cast<void**>(&site_of)),
              S_OK);
    ASSERT_EQ(site_of->SetSite(view), S_OK);
    EXPECT_EQ(invoke(MAKEINTRESOURCEA(background_new_folder)), S_OK);
    EXPECT_EQ(shown->made, (std::vector<std::wstring>{L"New Folder (2)"}));
    // One fresh listing, then what it listed.
    EXPECT_EQ(shown->probes, (std::vector<std::pair<std::wstring, bool>>{
                                 {L"New Folder", true}, {L"New Folder (2)", false}}));
    const auto notices = win_test::shell_notifications();
    ASSERT_EQ(notices.size(), 1u);
    EXPECT_EQ(notices[0].event, SHCNE_MKDIR);
    auto selections = win_test::folder_view_selections(view);
    ASSERT_EQ(selections.size(), 1u);
    EXPECT_EQ(selections[0].call, "SelectItem");
    EXPECT_EQ(selections[0].name, L"New Folder (2)");
    EXPECT_EQ(selections[0].flags, SVSI_EDIT | SVSI_ENSUREVISIBLE);

    // From the view's own background the folder is also placed where the
    // menu opened; the verb makes one too.
    shown->children = {make_steered(L"New Folder (2)")};
    SetCursorPos(30, 40);
    ASSERT_EQ(context->QueryContextMenu(menu, 0, 100, 200, 0x20000), MAKE_HRESULT(0, 0, 4));
    SetCursorPos(0, 0);
    EXPECT_EQ(invoke("NewFolder"), S_OK);
    EXPECT_EQ(shown->made.back(), L"New Folder") << "the plain name is free again";
    selections = win_test::folder_view_selections(view);
    ASSERT_EQ(selections.size(), 2u);
    EXPECT_EQ(selections[1].call, "SelectAndPositionItem");
    EXPECT_EQ(selections[1].flags, SVSI_EDIT | SVSI_ENSUREVISIBLE | SVSI_TRANSLATEPT);
    EXPECT_EQ(selections[1].point.x, 30);
    EXPECT_EQ(selections[1].point.y, 40);
    site_of->Release();
}

TEST_F(BackgroundMenu, AFailedLookupIsShownAndNoFolderIsMade) {
    shown->children = {make_steered(L"New Folder")};
    shown->unreachable = L"New Folder (2)";
    ASSERT_EQ(query(0), MAKE_HRESULT(0, 0, 4));
    EXPECT_EQ(invoke(MAKEINTRESOURCEA(background_new_folder)), E_FAIL);
    EXPECT_TRUE(shown->made.empty()) << "a name the service could not check is not free";
    const auto boxes = win_test::message_boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "Connection error");
    EXPECT_EQ(boxes[0].text, "The service did not answer");
    EXPECT_EQ(boxes[0].type, static_cast<UINT>(MB_ICONERROR));
    EXPECT_TRUE(win_test::shell_notifications().empty());
    EXPECT_EQ(invoke("rename"), E_NOTIMPL);
    EXPECT_EQ(invoke(MAKEINTRESOURCEA(1)), E_NOTIMPL);
}

TEST_F(BackgroundMenu, TheViewIsFoundThroughTheSiteOrItsServices) {
    view = make_view();
    ASSERT_EQ(query(0), MAKE_HRESULT(0, 0, 4));
    ASSERT_EQ(context->QueryInterface(IID_IObjectWithSite, reinterpret_cast<void**>(&site_of)),
              S_OK);
    IUnknown* got = reinterpret_cast<IUnknown*>(1);
    EXPECT_EQ(site_of->GetSite(IID_IShellView, reinterpret_cast<void**>(&got)), E_NOINTERFACE);
    EXPECT_EQ(got, nullptr);
    serving_site nothing(nullptr);
    EXPECT_EQ(site_of->SetSite(&nothing), E_NOINTERFACE);
    serving_site browser(view);
    EXPECT_EQ(site_of->SetSite(&browser), S_OK);
    EXPECT_EQ(site_of->SetSite(nullptr), E_NOINTERFACE) << "the view found stays";
    ASSERT_EQ(site_of->GetSite(IID_IShellView, reinterpret_cast<void**>(&got)), S_OK);
    EXPECT_EQ(got, view);
    got->Release();
    site_of->Release();
}

TEST_F(BackgroundMenu, APasteDropsTheClipboardAsACopyAndLetsGoOfItWhateverTheTarget) {
    recording_target target;
    ASSERT_EQ(query(0, &target), MAKE_HRESULT(0, 0, 4));
    // Nothing on the clipboard: its failure, and nothing dropped.
    EXPECT_TRUE(FAILED(invoke("paste")));
    folder = make_folder();
    LPITEMIDLIST child = child_list(music);
    PCUITEMID_CHILD selection[] = {child};
    IDataObject* data = nullptr;
    ASSERT_EQ(folder->GetUIObjectOf(nullptr, 1, selection, IID_IDataObject, nullptr,
                                    reinterpret_cast<void**>(&data)),
              S_OK);
    CoTaskMemFree(child);
    ASSERT_EQ(OleSetClipboard(data), S_OK);
    // No preferred effect: the failure to read it, and nothing dropped.
    EXPECT_EQ(invoke("paste"), DV_E_FORMATETC);
    EXPECT_TRUE(target.calls.empty());

    ASSERT_EQ(
        write_clipboard_dword(data, module.Format(CCalvimoraModule::format_preferred_drop_effect),
                              DROPEFFECT_COPY | DROPEFFECT_LINK),
        S_OK);
    const auto references = [&] {
        data->AddRef();
        return data->Release();
    };
    const ULONG before = references();
    EXPECT_EQ(invoke("paste"), S_OK);
    EXPECT_EQ(target.calls, (std::vector<std::pair<std::string, DWORD>>{
                                {"DragEnter", DROPEFFECT_COPY}, {"Drop", DROPEFFECT_COPY}}));
    EXPECT_EQ(references(), before);
    target.calls.clear();
    target.enter_result = E_OUTOFMEMORY;
    EXPECT_EQ(invoke("paste"), E_OUTOFMEMORY);
    EXPECT_EQ(target.calls.size(), 1u) << "no drop after a refused enter";
    EXPECT_EQ(references(), before) << "the clipboard's object is let go of";
    data->Release();
    // The menu holds the target, which lives on this test's stack.
    context->Release();
    context = nullptr;
}

}  // namespace

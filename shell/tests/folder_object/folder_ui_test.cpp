#include <chrono>
#include <string>
#include <vector>

#include "folder/module/module.h"
#include "folder/transfer/data_object_impl.h"
#include "folder_fakes.h"
#include "ui/property_sheet.h"
#include "win/shell_menu.h"
#include "win/shell_test.h"
#include "win/shell_thread.h"
#include "win/test_journal.h"
#include "win/user.h"
#include "win/win_test.h"

namespace {

using namespace shell_testing;
using namespace std::chrono_literals;

struct menu_entry {
    bool separator;
    UINT id;
    UINT state;
    std::wstring text;
};

std::vector<menu_entry> entries_of(HMENU menu) {
    std::vector<menu_entry> entries;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        wchar_t text[64] = {};
        MENUITEMINFOW item{};
        item.cbSize = sizeof item;
        item.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STATE | MIIM_STRING;
        item.dwTypeData = text;
        item.cch = 64;
        EXPECT_TRUE(GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &item));
        entries.push_back({(item.fType & MFT_SEPARATOR) != 0, item.wID, item.fState, text});
    }
    return entries;
}

// The texts in menu order, "-" for a separator.
std::vector<std::wstring> texts_of(HMENU menu) {
    std::vector<std::wstring> texts;
    for (const menu_entry& entry : entries_of(menu))
        texts.push_back(entry.separator ? L"-" : entry.text);
    return texts;
}

class ItemMenu : public FolderTest {
protected:
    ~ItemMenu() override {
        OleSetClipboard(nullptr);
        if (folder) folder->Release();
    }

    // The item menu of children of the remote root, queried with the flags
    // into a new menu with ids from 100.
    IContextMenu* query(const vfs::item_list& items, UINT flags, HMENU* menu) {
        if (!folder) folder = make_folder();
        std::vector<LPITEMIDLIST> lists;
        for (const vfs::item_ptr& item : items) lists.push_back(child_list(item));
        std::vector<PCUITEMID_CHILD> selection(lists.begin(), lists.end());
        IContextMenu* context = nullptr;
        EXPECT_EQ(
            folder->GetUIObjectOf(nullptr, static_cast<UINT>(selection.size()), selection.data(),
                                  IID_IContextMenu, nullptr, reinterpret_cast<void**>(&context)),
            S_OK);
        for (LPITEMIDLIST list : lists) CoTaskMemFree(list);
        *menu = CreatePopupMenu();
        if (context) used = context->QueryContextMenu(*menu, 0, 100, 200, flags);
        return context;
    }

    HRESULT invoke(IContextMenu* context, LPCSTR verb) {
        CMINVOKECOMMANDINFO info{};
        info.cbSize = sizeof info;
        info.lpVerb = verb;
        return context->InvokeCommand(&info);
    }

    CCalvimoraModule module;
    IShellFolder2* folder = nullptr;
    HRESULT used = E_FAIL;
};

const std::vector<std::wstring> shell_own = {L"-",      L"Cut", L"Copy",      L"-",
                                             L"Delete", L"-",   L"Properties"};

std::vector<std::wstring> with_shell_own(std::vector<std::wstring> texts) {
    texts.insert(texts.end(), shell_own.begin(), shell_own.end());
    return texts;
}

TEST_F(ItemMenu, OnePlainFolderOffersOpenFirstAsDefaultThenSynchronizeAndShare) {
    HMENU menu = nullptr;
    IContextMenu* context = query({docs}, CMF_NORMAL, &menu);
    ASSERT_NE(context, nullptr);
    EXPECT_EQ(texts_of(menu),
              with_shell_own({L"Open", L"-", L"Synchronize with Computer", L"Share..."}));
    const std::vector<menu_entry> entries = entries_of(menu);
    EXPECT_EQ(entries[0].id, 100u);
    EXPECT_EQ(entries[0].state, MFS_DEFAULT | MFS_HILITE);
    EXPECT_EQ(entries[2].id, 102u);
    EXPECT_EQ(entries[3].id, 101u);
    // The folder's ids 100 to 102, then the shell's own seven.
    EXPECT_EQ(used, MAKE_HRESULT(0, 0, 3 + 7));
    context->Release();
    DestroyMenu(menu);
}

TEST_F(ItemMenu, ShareOnlyForASinglePlainFolder) {
    HMENU menu = nullptr;
    IContextMenu* files = query({music}, CMF_NORMAL, &menu);
    EXPECT_EQ(texts_of(menu), with_shell_own({L"Open", L"-", L"Synchronize with Computer"}));
    files->Release();
    DestroyMenu(menu);
    IContextMenu* two = query({docs, music}, CMF_NORMAL, &menu);
    EXPECT_EQ(texts_of(menu), with_shell_own({L"Open", L"-", L"Synchronize with Computer"}));
    two->Release();
    DestroyMenu(menu);
    docs->plain = false;
    IContextMenu* special = query({docs}, CMF_NORMAL, &menu);
    EXPECT_EQ(texts_of(menu), with_shell_own({L"Open", L"-", L"Synchronize with Computer"}));
    special->Release();
    DestroyMenu(menu);
}

TEST_F(ItemMenu, FixedItemsAndDefaultOnlyMenusGetOnlyOpen) {
    docs->fixed = true;
    HMENU menu = nullptr;
    IContextMenu* fixed = query({music, docs}, CMF_NORMAL, &menu);
    // A fixed item can be neither moved, copied nor deleted, so the shell
    // offers none of that for the selection.
    EXPECT_EQ(texts_of(menu), (std::vector<std::wstring>{L"Open", L"-", L"Properties"}));
    EXPECT_EQ(invoke(fixed, "copy"), E_INVALIDARG);
    EXPECT_EQ(invoke(fixed, "delete"), E_INVALIDARG);
    fixed->Release();
    DestroyMenu(menu);
    IContextMenu* default_only = query({music}, CMF_DEFAULTONLY, &menu);
    EXPECT_EQ(texts_of(menu), (std::vector<std::wstring>{L"Open"}));
    EXPECT_EQ(used, MAKE_HRESULT(0, 0, 1));
    default_only->Release();
    DestroyMenu(menu);
    // Menus built for verbs by other hosts get nothing of the folder's.
    IContextMenu* restricted = query({music}, CMF_EXPLORE, &menu);
    EXPECT_EQ(texts_of(menu), std::vector<std::wstring>(shell_own.begin() + 1, shell_own.end()))
        << "no separator first";
    restricted->Release();
    DestroyMenu(menu);
}

TEST_F(ItemMenu, InTheTrashOnlyRestoreIsOffered) {
    remote_root->folder_type = vfs::folder_type_trash;
    HMENU menu = nullptr;
    IContextMenu* context = query({music}, CMF_NORMAL, &menu);
    EXPECT_EQ(texts_of(menu), with_shell_own({L"Restore"}));
    EXPECT_EQ(entries_of(menu)[0].id, 103u);
    context->Release();
    DestroyMenu(menu);
}

TEST_F(ItemMenu, ADeletedItemCanBeDeletedForGoodButNeitherCutNorCopied) {
    remote_root->folder_type = vfs::folder_type_trash;
    auto old = boost::make_shared<fake_file>(item_values{L"old.txt", L"f-old", -1, 1700000000});
    remote_root->children.push_back(old);
    HMENU menu = nullptr;
    IContextMenu* context = query({old}, CMF_NORMAL, &menu);
    EXPECT_EQ(texts_of(menu),
              (std::vector<std::wstring>{L"Restore", L"-", L"Delete", L"-", L"Properties"}));
    EXPECT_EQ(invoke(context, "cut"), E_INVALIDARG);
    EXPECT_EQ(invoke(context, "copy"), E_INVALIDARG);
    IDataObject* held = nullptr;
    EXPECT_EQ(OleGetClipboard(&held), CLIPBRD_E_CANT_OPEN) << "nothing went on the clipboard";
    context->Release();
    DestroyMenu(menu);
}

TEST_F(ItemMenu, CommandsStartTheirWorkersAndSheetsAndCopyFillsTheClipboard) {
    HMENU menu = nullptr;
    IContextMenu* context = query({docs}, CMF_NORMAL, &menu);
    // Open starts its worker, which opens the folder in a window of its own.
    win_test::process_reference process;
    SHSetInstanceExplorer(&process);
    win_test::clear_shell_executions();
    EXPECT_EQ(invoke(context, MAKEINTRESOURCEA(0)), S_OK);
    EXPECT_TRUE(process.wait_until_released(std::chrono::seconds(30)));
    SHSetInstanceExplorer(nullptr);
    ASSERT_EQ(win_test::shell_executions().size(), 1u);
    EXPECT_EQ(win_test::shell_executions()[0].verb, "open");
    // Share... and Properties open the sheet of the selection on its own
    // thread; nobody answers it here, so its default button closes it.
    win_test::clear_dialogs();
    EXPECT_EQ(invoke(context, MAKEINTRESOURCEA(1)), S_OK);  // Share...
    EXPECT_TRUE(win_test::pump_until([] { return OpenItemPropertySheets() == 0; }, 30s));
    EXPECT_EQ(invoke(context, "properties"), S_OK);
    EXPECT_TRUE(win_test::pump_until([] { return OpenItemPropertySheets() == 0; }, 30s));
    const auto sheets = win_test::dialogs();
    ASSERT_EQ(sheets.size(), 2u);
    EXPECT_EQ(sheets[0].caption, "Docs Properties");
    EXPECT_EQ(sheets[1].template_name, "350");
    {
        // Delete asks first; No leaves everything as it was.
        std::vector<std::wstring> asked;
        win_test::scoped_message_box_responder no(
            [&](const std::wstring& text, const std::wstring&, UINT) {
                asked.push_back(text);
                return IDNO;
            });
        EXPECT_EQ(invoke(context, "delete"), S_OK);
        EXPECT_EQ(asked, std::vector<std::wstring>{
                             L"Are you sure you want to move this folder to the Trash?"});
    }
    EXPECT_TRUE(remote_root->deletions.empty());
    EXPECT_EQ(invoke(context, "rename"), E_INVALIDARG);

    ASSERT_EQ(invoke(context, "copy"), S_OK);
    IDataObject* held = nullptr;
    ASSERT_EQ(OleGetClipboard(&held), S_OK);
    ASSERT_NE(dynamic_cast<CDataObjectImpl*>(held), nullptr);
    DWORD effect = 0;
    EXPECT_EQ(read_clipboard_dword(
                  held, module.Format(CCalvimoraModule::format_preferred_drop_effect), &effect),
              S_OK);
    EXPECT_EQ(effect, DROPEFFECT_COPY);
    held->Release();
    context->Release();
    DestroyMenu(menu);
}

TEST_F(ItemMenu, ObjectsForItemsCheckTheirCountAndUnknownOnesAreRefused) {
    folder = make_folder();
    LPITEMIDLIST first = child_list(docs);
    LPITEMIDLIST second = child_list(music);
    PCUITEMID_CHILD two[] = {first, second};
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(folder->GetUIObjectOf(nullptr, 2, two, IID_IDropTarget, nullptr, &object),
              E_INVALIDARG);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(folder->GetUIObjectOf(nullptr, 2, two, IID_IExtractImage, nullptr, &object),
              E_INVALIDARG);
    EXPECT_EQ(folder->GetUIObjectOf(nullptr, 2, two, IID_IExtractIconW, nullptr, &object), E_FAIL);
    EXPECT_EQ(folder->GetUIObjectOf(nullptr, 2, two, IID_IStream, nullptr, &object), E_NOINTERFACE);
    EXPECT_EQ(folder->GetUIObjectOf(nullptr, 2, two, IID_IDataObject, nullptr, nullptr), E_POINTER);
    ASSERT_EQ(folder->GetUIObjectOf(nullptr, 2, two, IID_IDataObject, nullptr, &object), S_OK);
    EXPECT_EQ(static_cast<IDataObject*>(object)->QueryInterface(IID_IPersistStream, &object), S_OK);
    static_cast<IPersistStream*>(object)->Release();
    static_cast<IPersistStream*>(object)->Release();
    CoTaskMemFree(first);
    CoTaskMemFree(second);
}

TEST_F(ItemMenu, CreatingAStreamMakesTheFileAndRefusesAnExistingName) {
    folder = make_folder();
    IStorage* storage = nullptr;
    ASSERT_EQ(folder->QueryInterface(IID_IStorage, reinterpret_cast<void**>(&storage)), S_OK);
    EXPECT_EQ(storage->CreateStream(L"new.txt", STGM_CREATE, 0, 0, nullptr), E_POINTER);
    IStream* stream = nullptr;
    EXPECT_EQ(storage->CreateStream(L"Alpha.mp3", STGM_CREATE, 0, 0, &stream), E_FAIL);
    EXPECT_EQ(stream, nullptr);
    // The test's files cannot be opened, so the bind fails after the file
    // was made.
    EXPECT_EQ(storage->CreateStream(L"new.txt", STGM_CREATE, 0, 0, &stream), E_FAIL);
    EXPECT_EQ(remote_root->children.back()->get_name(), L"new.txt");
    storage->Release();
}

}  // namespace

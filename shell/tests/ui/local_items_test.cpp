#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <vector>

#include "folder_fakes.h"
#include "syncer/tables/binding_manager.h"
#include "ui/local_context_menu.h"
#include "ui/local_items_resources.h"
#include "ui/local_sync_page.h"
#include "ui/sync_choice.h"
#include "win/commctrl.h"
#include "win/shell_dragdrop.h"
#include "win/test_journal.h"
#include "win/user.h"
#include "win/win_test.h"

namespace {

using namespace shell_testing;
using syncer::binding;

// A selection's data object that tells whether anybody still holds it; it
// is never freed, so a missing reference shows as a count, not a crash.
class selection_object : public IDataObject {
public:
    explicit selection_object(std::vector<std::wstring> paths, bool with_files = true)
        : paths_(std::move(paths)), with_files_(with_files) {}

    int references = 1;
    int reads = 0;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (iid != IID_IUnknown && iid != IID_IDataObject) return E_NOINTERFACE;
        *object = this;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override { return --references; }
    HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) override {
        ++reads;
        if (references <= 0) ADD_FAILURE() << "read after its last release";
        if (!with_files_ || format->cfFormat != CF_HDROP) return DV_E_FORMATETC;
        medium->tymed = TYMED_HGLOBAL;
        medium->hGlobal = win_shell::make_drop_files(paths_);
        medium->pUnkForRelease = nullptr;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override { return E_NOTIMPL; }

private:
    std::vector<std::wstring> paths_;
    bool with_files_;
};

// A remote folder whose path the page reads.
class pathed_folder : public steered_folder {
public:
    using steered_folder::steered_folder;
    std::wstring get_path() override { return L"/" + get_name(); }
};

binding user_binding(const std::wstring& remote, const std::wstring& local,
                     const std::wstring& file, const syncer::sync_rule& rule = {}) {
    return binding(binding::type_user_choice, 1, remote, local, file,
                   syncer::sync_permission::not_set, rule, false, L"");
}

std::wstring with_backslashes(std::wstring path) {
    std::replace(path.begin(), path.end(), L'/', L'\\');
    return path;
}

class LocalSyncPage : public FolderTest {
protected:
    LocalSyncPage() {
        remote_root->children = {boost::make_shared<pathed_folder>(item_values{L"Docs", L"id-D"}),
                                 music};
        base = std::wstring(root_.path().begin(), root_.path().end()) + L"/local";
        for (const wchar_t* name : {L"mine", L"other"})
            std::filesystem::create_directories(std::filesystem::path(base + L"/" + name));
        std::ofstream(std::filesystem::path(base + L"/notes.txt")) << "n";
        mine = base + L"/mine";
    }

    // The page of the selection in a sheet of its own; the script acts on
    // it once it is up and ends it (the sheet is cancelled if the script
    // leaves it open). The sheet's result.
    INT_PTR run(IDataObject* data, std::function<void(HWND sheet, HWND page)> script,
                int mode = sync_page_mode_none) {
        CComObject<CPropertiesSyncDlg>* handler = nullptr;
        EXPECT_EQ(CComObject<CPropertiesSyncDlg>::CreateInstance(&handler), S_OK);
        handler->AddRef();
        EXPECT_EQ(handler->Initialize(nullptr, data, nullptr), S_OK);
        HPROPSHEETPAGE page = nullptr;
        // As a command does: the mode holds while the pages are added.
        SetSyncPageMode(mode);
        const HRESULT added = handler->AddPages(
            [](HPROPSHEETPAGE made, LPARAM into) {
                *reinterpret_cast<HPROPSHEETPAGE*>(into) = made;
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&page));
        SetSyncPageMode(sync_page_mode_none);
        EXPECT_EQ(added, 2);
        // The sheet keeps the handler while its page lives.
        handler->Release();
        win_test::scoped_dialog_responder responder([&](HWND sheet) {
            if (!GetDlgItem(sheet, IDC_PROPSHEET_APPLY)) return;
            script(sheet, PropSheet_GetCurrentPageHwnd(sheet));
            if (IsWindow(sheet)) win_test::press(sheet, IDCANCEL);
        });
        PROPSHEETHEADERW header{};
        header.dwSize = sizeof header;
        header.pszCaption = L"mine";
        header.nPages = 1;
        header.phpage = &page;
        return PropertySheetW(&header);
    }

    static bool checked(HWND page, int id) { return IsDlgButtonChecked(page, id) == BST_CHECKED; }
    static std::wstring text(HWND page, int id) { return win_test::text(GetDlgItem(page, id)); }

    static std::vector<binding> stored() {
        syncer::binding_manager table(L"alice", true);
        std::vector<binding> out;
        for (const binding& b : table.get_bindings())
            if (b._type == binding::type_user_choice) out.push_back(b);
        return out;
    }
    static void store(const std::vector<binding>& bindings) {
        syncer::binding_manager table(L"alice", true);
        for (const binding& b : bindings) table.add_binding(b);
        table.save();
    }
    static std::string table_file() {
        std::ifstream in(syncer::binding_manager::get_bindings_path(L"alice").native());
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    std::wstring base, mine;
};

TEST_F(LocalSyncPage, TheBackupCommandsOptionIsTakenWhenThePageIsAddedAndOkWritesIt) {
    selection_object data({mine});
    bool preset = false, pending = false;
    std::wstring shown_path, shown_remote;
    const INT_PTR result = run(
        &data,
        [&](HWND sheet, HWND page) {
            preset = checked(page, IDC_LOCAL_PERMANENT) && checked(page, IDC_LOCAL_BACKUP) &&
                     !checked(page, IDC_LOCAL_FULL) &&
                     win_test::visible(GetDlgItem(page, IDC_LOCAL_BACKUP_NOTE));
            pending = win_test::enabled(GetDlgItem(sheet, IDC_PROPSHEET_APPLY));
            shown_path = text(page, IDC_LOCAL_PATH);
            shown_remote = text(page, IDC_LOCAL_REMOTE_FOLDER);
            win_test::press(sheet, IDOK);
        },
        sync_page_mode_backup);
    EXPECT_TRUE(preset) << "Backup chosen, though the mode was reset before the page began";
    EXPECT_TRUE(pending) << "OK alone applies the command's option";
    EXPECT_EQ(result, 1);
    // The local path as the selection wrote it; the remote one as shown.
    EXPECT_EQ(shown_path, mine);
    EXPECT_EQ(shown_remote, L"Calvimora\\Docs\\mine");
    const std::vector<binding> bound = stored();
    ASSERT_EQ(bound.size(), 1u);
    EXPECT_EQ(bound[0].dir_local, mine);
    EXPECT_EQ(bound[0].dir_remote, L"/Docs/mine");
    EXPECT_EQ(bound[0].filename, L"");
    EXPECT_EQ(bound[0].rule, backup_rule());
    EXPECT_EQ(bound[0]._mode, 1);
    EXPECT_TRUE(win_test::message_boxes().empty());
}

TEST_F(LocalSyncPage, ABindingIsFoundWhateverItsSeparatorsAndUncheckingRemovesOnlyThePages) {
    binding open_copy = user_binding(L"/Docs/elsewhere", mine, L"");
    open_copy._mode = 2;
    store({user_binding(L"/Docs/Old", with_backslashes(mine), L""), open_copy});
    selection_object data({mine});
    bool shown_bound = false;
    std::wstring shown_remote;
    run(&data, [&](HWND sheet, HWND page) {
        shown_bound = checked(page, IDC_LOCAL_PERMANENT) && checked(page, IDC_LOCAL_FULL) &&
                      !win_test::enabled(GetDlgItem(sheet, IDC_PROPSHEET_APPLY));
        shown_remote = text(page, IDC_LOCAL_REMOTE_FOLDER);
        win_test::press(page, IDC_LOCAL_PERMANENT);
        win_test::press(sheet, IDOK);
    });
    EXPECT_TRUE(shown_bound);
    EXPECT_EQ(shown_remote, L"Calvimora\\Docs\\Old");
    // The open worker's binding of the same folder is not the page's.
    const std::vector<binding> left = stored();
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0]._mode, 2);
}

TEST_F(LocalSyncPage, AFailedSaveShowsItsBoxKeepsTheSheetOpenAndWritesNothing) {
    store({user_binding(L"/Docs/x", base + L"/other", L"")});
    const std::string before = table_file();
    const auto path = syncer::binding_manager::get_bindings_path(L"alice");
    // The temporary file cannot be made: a folder holds its name.
    std::filesystem::create_directory(path.native() + ".tmp");
    selection_object data({mine});
    bool stayed_open = false;
    const INT_PTR result = run(
        &data,
        [&](HWND sheet, HWND) {
            win_test::press(sheet, IDOK);
            stayed_open = IsWindow(sheet);
        },
        sync_page_mode_synchronize);
    std::filesystem::remove(path.native() + ".tmp");
    EXPECT_TRUE(stayed_open);
    EXPECT_EQ(result, 0);
    ASSERT_EQ(win_test::message_boxes().size(), 1u);
    EXPECT_EQ(win_test::message_boxes()[0].caption, "Error saving bindings");
    EXPECT_EQ(table_file(), before);
}

TEST_F(LocalSyncPage, ADuplicateIsReportedAndTheRemovalBeforeItIsUndone) {
    // The open worker holds the very paths the backup binding would take.
    binding open_copy = user_binding(L"/Docs/mine", mine, L"");
    open_copy._mode = 2;
    store({user_binding(L"/Docs/old", mine, L""), open_copy});
    const std::string before = table_file();
    selection_object data({mine});
    run(
        &data, [&](HWND sheet, HWND) { win_test::press(sheet, IDOK); }, sync_page_mode_backup);
    ASSERT_EQ(win_test::message_boxes().size(), 1u);
    EXPECT_EQ(win_test::message_boxes()[0].caption, "Error saving bindings");
    EXPECT_EQ(table_file(), before);
}

TEST_F(LocalSyncPage, SeveralItemsShareOneRemoteFolderAndFilesAreBoundInTheirFolder) {
    selection_object data({mine, base + L"/other", base + L"/notes.txt"});
    std::wstring shown_path, shown_remote;
    run(
        &data,
        [&](HWND sheet, HWND page) {
            shown_path = text(page, IDC_LOCAL_PATH);
            shown_remote = text(page, IDC_LOCAL_REMOTE_FOLDER);
            win_test::press(sheet, IDOK);
        },
        sync_page_mode_synchronize);
    EXPECT_EQ(shown_path, L"Multiple Items");
    EXPECT_EQ(shown_remote, L"Calvimora\\Docs");
    std::vector<std::wstring> described;
    for (const binding& b : stored()) described.push_back(b.to_string());
    std::sort(described.begin(), described.end());
    EXPECT_EQ(described, (std::vector<std::wstring>{base + L" <- notes.txt -> /Docs",
                                                    mine + L" <-  -> /Docs/mine",
                                                    base + L"/other <-  -> /Docs/other"}));
}

// A selection is read in one pass: name by name, a long list was walked
// again from its start for every name (16,000 paths took 4 s).
TEST_F(LocalSyncPage, AManyItemSelectionIsReadInOnePass) {
    std::vector<std::wstring> paths;
    for (int i = 0; i < 16000; ++i) paths.push_back(base + L"/item-" + std::to_wstring(i));
    selection_object data(paths);
    std::wstring shown;
    const auto start = std::chrono::steady_clock::now();
    run(&data, [&](HWND, HWND page) { shown = text(page, IDC_LOCAL_PATH); });
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1500));
    EXPECT_EQ(shown, L"Multiple Items");
}

// A path no file system takes, as another program may drop it: never
// bound, and the box says so.
TEST_F(LocalSyncPage, APathTooLongForABindingIsRefusedWithABox) {
    const std::wstring endless =
        base + L"/" + std::wstring(200, L'x') + L"/" + std::wstring(5000, L'y');
    selection_object data({endless});
    bool stayed_open = false;
    run(
        &data,
        [&](HWND sheet, HWND) {
            win_test::press(sheet, IDOK);
            stayed_open = IsWindow(sheet);
        },
        sync_page_mode_synchronize);
    EXPECT_TRUE(stayed_open);
    ASSERT_EQ(win_test::message_boxes().size(), 1u);
    EXPECT_EQ(win_test::message_boxes()[0].caption, "Wrong path selected");
    EXPECT_TRUE(stored().empty());
}

TEST_F(LocalSyncPage, WithoutDroppedFilesOrALoginThePageIsDisabled) {
    selection_object no_files({mine}, false);
    bool enabled = true;
    run(&no_files, [&](HWND, HWND page) { enabled = win_test::enabled(page); });
    EXPECT_FALSE(enabled);

    session.logged_in = [] { return false; };
    selection_object data({mine});
    enabled = true;
    run(&data, [&](HWND, HWND page) { enabled = win_test::enabled(page); });
    EXPECT_FALSE(enabled);
    EXPECT_EQ(session.dialogs, 1);
    EXPECT_TRUE(stored().empty());
}

TEST_F(LocalSyncPage, TheSelectionIsHeldUntilThePageHasReadIt) {
    selection_object data({mine});
    std::wstring shown;
    run(&data, [&](HWND, HWND page) {
        // The caller let go of its reference long ago.
        data.Release();
        shown = text(page, IDC_LOCAL_PATH);
    });
    EXPECT_EQ(shown, mine);
    EXPECT_GT(data.reads, 0);
    EXPECT_EQ(data.references, 0) << "released with the page";
}

// Made from the record's full form, the page holds its handler from its
// making and lets go when it is destroyed, shown or not.
TEST_F(LocalSyncPage, ThePageHoldsItsHandlerFromItsMakingUntilItIsDestroyed) {
    CComObject<CPropertiesSyncDlg>* handler = nullptr;
    ASSERT_EQ(CComObject<CPropertiesSyncDlg>::CreateInstance(&handler), S_OK);
    handler->AddRef();
    const auto references = [handler] {
        handler->AddRef();
        return handler->Release();
    };
    HPROPSHEETPAGE page = nullptr;
    const auto keep = [](HPROPSHEETPAGE made, LPARAM into) -> BOOL {
        *reinterpret_cast<HPROPSHEETPAGE*>(into) = made;
        return TRUE;
    };
    EXPECT_EQ(handler->AddPages(keep, reinterpret_cast<LPARAM>(&page)), 2);
    EXPECT_EQ(references(), 2u);
    EXPECT_TRUE(DestroyPropertySheetPage(page));
    EXPECT_EQ(references(), 1u);
    handler->Release();
}

TEST_F(LocalSyncPage, APathTheShellWroteWithBackslashesIsShownInTheNativeForm) {
    selection_object data({with_backslashes(mine)});
    std::wstring shown;
    run(&data, [&](HWND, HWND page) { shown = text(page, IDC_LOCAL_PATH); });
    EXPECT_EQ(shown, mine);
}

class LocalMenu : public FolderTest {};

TEST_F(LocalMenu, BackupStandsAboveSynchronizeWithTheFaceColouredPicture) {
    CComObject<CShellContextMenu>* handler = nullptr;
    ASSERT_EQ(CComObject<CShellContextMenu>::CreateInstance(&handler), S_OK);
    handler->AddRef();
    const HMENU menu = CreatePopupMenu();
    AppendMenuW(menu, MF_STRING, 1, L"Open");
    AppendMenuW(menu, MF_STRING, 2, L"Properties");
    EXPECT_EQ(handler->QueryContextMenu(menu, 1, 100, 200, CMF_DEFAULTONLY), S_OK);
    EXPECT_EQ(GetMenuItemCount(menu), 2);
    EXPECT_EQ(handler->QueryContextMenu(menu, 1, 100, 200, CMF_NORMAL), MAKE_HRESULT(0, 0, 2));
    ASSERT_EQ(GetMenuItemCount(menu), 4);
    const std::vector<std::pair<UINT, std::wstring>> expected = {
        {101, L"Backup to Calvimora"}, {100, L"Synchronize with Calvimora"}};
    for (int i = 0; i < 2; ++i) {
        wchar_t label[64] = {};
        MENUITEMINFOW info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_ID | MIIM_STRING | MIIM_CHECKMARKS;
        info.dwTypeData = label;
        info.cch = 64;
        ASSERT_TRUE(GetMenuItemInfoW(menu, static_cast<UINT>(1 + i), TRUE, &info));
        EXPECT_EQ(info.wID, expected[i].first);
        EXPECT_EQ(std::wstring(label), expected[i].second);
        // The key colour is gone; the face colour is where it was.
        DIBSECTION section{};
        ASSERT_EQ(GetObjectW(info.hbmpUnchecked, sizeof section, &section),
                  static_cast<int>(sizeof section));
        const auto* pixels = static_cast<const BYTE*>(section.dsBm.bmBits);
        const COLORREF face = GetSysColor(COLOR_3DFACE);
        const COLORREF corner = RGB(pixels[2], pixels[1], pixels[0]);
        EXPECT_EQ(corner, face);
        const size_t stride = (static_cast<size_t>(section.dsBm.bmWidth) * 3 + 3) / 4 * 4;
        for (size_t at = 0; at + 2 < stride * section.dsBm.bmHeight; at += 3) {
            if (at % stride + 2 < static_cast<size_t>(section.dsBm.bmWidth) * 3) {
                ASSERT_FALSE(pixels[at] == 255 && pixels[at + 1] == 0 && pixels[at + 2] == 255);
            }
        }
    }
    // Only the two offsets, and no verbs or texts.
    CMINVOKECOMMANDINFO info{};
    info.cbSize = sizeof info;
    info.lpVerb = "properties";
    EXPECT_EQ(handler->InvokeCommand(&info), E_INVALIDARG);
    info.lpVerb = MAKEINTRESOURCEA(2);
    EXPECT_EQ(handler->InvokeCommand(&info), E_INVALIDARG);
    char name[16];
    EXPECT_EQ(handler->GetCommandString(0, GCS_VERBA, nullptr, name, 16), E_INVALIDARG);
    DestroyMenu(menu);
    handler->Release();
}

TEST_F(LocalMenu, NoIdBeyondTheCallersLastIsUsed) {
    CComObject<CShellContextMenu>* handler = nullptr;
    ASSERT_EQ(CComObject<CShellContextMenu>::CreateInstance(&handler), S_OK);
    handler->AddRef();
    const auto ids_of = [](HMENU menu) {
        std::vector<UINT> ids;
        for (int i = 0; i < GetMenuItemCount(menu); ++i) ids.push_back(GetMenuItemID(menu, i));
        return ids;
    };
    // Room for one id: the first entry alone, and a failure.
    HMENU menu = CreatePopupMenu();
    AppendMenuW(menu, MF_STRING, 1, L"Open");
    EXPECT_EQ(handler->QueryContextMenu(menu, 0, 100, 100, CMF_NORMAL), E_FAIL);
    EXPECT_EQ(ids_of(menu), (std::vector<UINT>{100, 1}));
    DestroyMenu(menu);
    // No room at all: nothing.
    menu = CreatePopupMenu();
    AppendMenuW(menu, MF_STRING, 1, L"Open");
    EXPECT_EQ(handler->QueryContextMenu(menu, 0, 100, 99, CMF_NORMAL), E_FAIL);
    EXPECT_EQ(ids_of(menu), (std::vector<UINT>{1}));
    DestroyMenu(menu);
    // Exactly two ids are enough.
    menu = CreatePopupMenu();
    EXPECT_EQ(handler->QueryContextMenu(menu, 0, 100, 101, CMF_NORMAL), MAKE_HRESULT(0, 0, 2));
    EXPECT_EQ(ids_of(menu), (std::vector<UINT>{101, 100}));
    DestroyMenu(menu);
    handler->Release();
}

TEST_F(LocalMenu, TheSelectionIsHeldUntilTheMenuIsGone) {
    selection_object data({L"/nowhere"});
    CComObject<CShellContextMenu>* handler = nullptr;
    ASSERT_EQ(CComObject<CShellContextMenu>::CreateInstance(&handler), S_OK);
    handler->AddRef();
    EXPECT_EQ(handler->Initialize(nullptr, &data, nullptr), S_OK);
    data.Release();
    EXPECT_EQ(data.references, 1);
    handler->Release();
    EXPECT_EQ(data.references, 0);
}

}  // namespace

// The folder object in-process over a scripted session and remote tree:
// connection, enumeration, binding, names, renaming, columns and the view.
#include <cstring>
#include <thread>

#include <boost/filesystem/operations.hpp>

#include "folder/item_ids/item_id_list.h"
#include "folder_fakes.h"
#include "syncer/manager/manager.h"
#include "utils/named_mutex.h"
#include "win/registry.h"
#include "win/shell.h"
#include "win/shell_view.h"
#include "win/test_journal.h"
#include "win/user.h"

namespace {

using namespace shell_testing;

// Whether another thread can take the login mutex at once.
bool login_mutex_is_free() {
    bool taken = false;
    std::thread other([&] {
        utils::named_mutex mutex(L"Local\\CMV_LOGIN_MUTEX");
        taken = mutex.try_lock_for(std::chrono::milliseconds(0));
        if (taken) mutex.unlock();
    });
    other.join();
    return taken;
}

std::wstring take(STRRET& name) {
    LPWSTR text = nullptr;
    if (FAILED(StrRetToStrW(&name, nullptr, &text))) return L"<failed>";
    std::wstring out = text;
    CoTaskMemFree(text);
    return out;
}

std::vector<BYTE> bytes_of(LPCITEMIDLIST list) {
    const auto* at = reinterpret_cast<const BYTE*>(list);
    return {at, at + GetPidlSize(list)};
}

class FolderObject : public FolderTest {
protected:
    void SetUp() override {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyW(HKEY_CLASSES_ROOT, L".mp3", &key), ERROR_SUCCESS);
        const std::wstring audio = L"audio";
        RegSetValueExW(key, L"PerceivedType", 0, REG_SZ,
                       reinterpret_cast<const BYTE*>(audio.c_str()),
                       static_cast<DWORD>((audio.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(key);
        folder = make_folder();
    }
    void TearDown() override { EXPECT_EQ(folder->Release(), 0u); }

    // The names of everything an enumeration with these flags hands out.
    std::vector<std::wstring> enumerate(DWORD flags) {
        IEnumIDList* items = nullptr;
        if (folder->EnumObjects(nullptr, flags, &items) != S_OK) return {};
        std::vector<std::wstring> names;
        PITEMID_CHILD list = nullptr;
        while (items->Next(1, &list, nullptr) == S_OK) {
            names.push_back(pidl_name(CItemIdList(list, false).GetLastItem()));
            CoTaskMemFree(list);
        }
        items->Release();
        return names;
    }

    IShellFolder2* bind(IShellFolder2* parent, const vfs::item_ptr& item) {
        LPITEMIDLIST list = child_list(item);
        IShellFolder2* child = nullptr;
        EXPECT_EQ(parent->BindToObject(list, nullptr, IID_IShellFolder2,
                                       reinterpret_cast<void**>(&child)),
                  S_OK);
        CoTaskMemFree(list);
        return child;
    }

    std::wstring name_of(IShellFolder2* in, const vfs::item_ptr& item, SHGDNF flags) {
        LPITEMIDLIST list = child_list(item);
        STRRET name{};
        const HRESULT result = in->GetDisplayNameOf(list, flags, &name);
        CoTaskMemFree(list);
        return SUCCEEDED(result) ? take(name) : L"<failed>";
    }

    IShellFolder2* folder = nullptr;
};

TEST_F(FolderObject, NobodyLoggedInFailsWithoutADialogWhenNoneIsAllowedAndFreesTheMutex) {
    session.logged_in = [] { return false; };
    LPITEMIDLIST list = child_list(docs);
    void* child = reinterpret_cast<void*>(1);
    EXPECT_EQ(folder->BindToObject(list, nullptr, IID_IShellFolder, &child), E_FAIL);
    EXPECT_EQ(child, nullptr);
    EXPECT_EQ(session.dialogs, 0);
    EXPECT_TRUE(login_mutex_is_free());

    // With a dialog allowed, a declined one leaves the folder empty.
    IEnumIDList* items = reinterpret_cast<IEnumIDList*>(1);
    EXPECT_EQ(folder->EnumObjects(nullptr, SHCONTF_FOLDERS, &items), S_FALSE);
    EXPECT_EQ(items, nullptr);
    EXPECT_EQ(session.dialogs, 1);
    EXPECT_TRUE(login_mutex_is_free());

    // A dialog that logs in lets the enumeration go on.
    session.dialog = [this](HWND) {
        session.logged_in = [] { return true; };
        return true;
    };
    EXPECT_EQ(enumerate(SHCONTF_FOLDERS), std::vector<std::wstring>{L"Docs"});
    CoTaskMemFree(list);
}

TEST_F(FolderObject, ASessionThatThrowsNeverLeavesTheLoginMutexTaken) {
    session.logged_in = []() -> bool { throw std::runtime_error("tray cannot start"); };
    EXPECT_EQ(folder->EnumObjects(nullptr, SHCONTF_FOLDERS, nullptr), E_POINTER);
    IEnumIDList* items = nullptr;
    EXPECT_EQ(folder->EnumObjects(nullptr, SHCONTF_FOLDERS, &items), S_FALSE);
    EXPECT_EQ(session.dialogs, 1) << "a failed test counts as logged out";
    EXPECT_TRUE(login_mutex_is_free());

    session.logged_in = [] { return true; };
    session.client = []() -> vfs::client_ptr { throw test_failure(); };
    EXPECT_EQ(folder->EnumObjects(nullptr, SHCONTF_FOLDERS, &items), S_FALSE);
    LPITEMIDLIST list = child_list(docs);
    void* child = nullptr;
    EXPECT_EQ(folder->BindToObject(list, nullptr, IID_IShellFolder, &child), E_FAIL);
    EXPECT_TRUE(login_mutex_is_free());

    session.dialog = [](HWND) -> bool { throw std::runtime_error("no window"); };
    session.logged_in = [] { return false; };
    EXPECT_EQ(folder->EnumObjects(nullptr, SHCONTF_FOLDERS, &items), S_FALSE);
    EXPECT_TRUE(login_mutex_is_free());
    CoTaskMemFree(list);
}

TEST_F(FolderObject, EnumerationHandsOutTheAskedKindsInBatchesAndMarksMusic) {
    IEnumIDList* items = reinterpret_cast<IEnumIDList*>(1);
    EXPECT_EQ(folder->EnumObjects(nullptr, 0, &items), S_FALSE);
    EXPECT_EQ(items, nullptr);
    EXPECT_EQ(remote_root->listings, 0) << "flags 0 never asks the service";

    EXPECT_EQ(enumerate(SHCONTF_FOLDERS), std::vector<std::wstring>{L"Docs"});
    EXPECT_EQ(remote_root->folder_type, vfs::folder_type_root);
    EXPECT_EQ(enumerate(SHCONTF_NONFOLDERS), std::vector<std::wstring>{L"Alpha.mp3"});
    EXPECT_EQ(remote_root->folder_type, vfs::folder_type_root | 2);

    const long blocks = win_test::live_task_allocations();
    ASSERT_EQ(folder->EnumObjects(nullptr, SHCONTF_FOLDERS | SHCONTF_NONFOLDERS, &items), S_OK);
    // Many more enumerations later, the first enumerator's records are still there.
    for (int i = 0; i < 40; ++i) enumerate(SHCONTF_FOLDERS);
    PITEMID_CHILD lists[3] = {};
    ULONG fetched = 0;
    EXPECT_EQ(items->Next(3, lists, &fetched), S_FALSE);
    ASSERT_EQ(fetched, 2u);
    EXPECT_EQ(GetPidlSize(lists[0]), 843u);
    EXPECT_EQ(pidl_name(CItemIdList(lists[1], false).GetLastItem()), L"Alpha.mp3");
    CoTaskMemFree(lists[0]);
    CoTaskMemFree(lists[1]);
    items->Release();
    EXPECT_EQ(win_test::live_task_allocations(), blocks);

    remote_root->children.clear();
    EXPECT_EQ(folder->EnumObjects(nullptr, SHCONTF_FOLDERS, &items), S_FALSE);
    EXPECT_EQ(items, nullptr);
}

TEST_F(FolderObject, BindingWalksByIdAndRefusesWhatCannotBeOpened) {
    IShellFolder2* inner = bind(folder, docs);
    ASSERT_NE(inner, nullptr);
    IShellFolder2* deeper = bind(inner, docs->children[1]);
    ASSERT_NE(deeper, nullptr);

    IPersistFolder2* persist = nullptr;
    deeper->QueryInterface(IID_IPersistFolder2, reinterpret_cast<void**>(&persist));
    PIDLIST_ABSOLUTE current = nullptr;
    ASSERT_EQ(persist->GetCurFolder(&current), S_OK);
    std::vector<BYTE> expected(junction.begin(), junction.end() - 2);
    for (const auto& item : {vfs::item_ptr(docs), docs->children[1]}) {
        const PIDLDATA record = make_pidl_data(item);
        const auto* at = reinterpret_cast<const BYTE*>(&record);
        expected.insert(expected.end(), at, at + sizeof record);
    }
    expected.insert(expected.end(), 3, 0);
    EXPECT_EQ(bytes_of(current), expected);
    CoTaskMemFree(current);
    persist->Release();

    void* object = reinterpret_cast<void*>(1);
    const BYTE empty[3] = {};
    EXPECT_EQ(inner->BindToObject(reinterpret_cast<LPCITEMIDLIST>(empty), nullptr, IID_IShellFolder,
                                  &object),
              E_INVALIDARG);
    EXPECT_EQ(object, nullptr);
    LPITEMIDLIST stranger = child_list(make_file(L"gone.txt", 1));
    EXPECT_EQ(inner->BindToObject(stranger, nullptr, IID_IShellFolder, &object), E_FAIL);
    LPITEMIDLIST file = child_list(text_file);
    LPITEMIDLIST below = child_list(docs->children[1]);
    LPITEMIDLIST through_file = ILCombine(file, below);
    EXPECT_EQ(inner->BindToObject(through_file, nullptr, IID_IShellFolder, &object), E_FAIL);

    // Nothing below a folder in the trash opens, and the service is not asked.
    auto trash = boost::make_shared<steered_folder>(item_values{L"old", L"id-old", -1, 1000});
    trash->children = {make_steered(L"inside")};
    remote_root->children.push_back(trash);
    IShellFolder2* in_trash = bind(folder, trash);
    ASSERT_NE(in_trash, nullptr);
    LPITEMIDLIST inside = child_list(trash->children[0]);
    EXPECT_EQ(in_trash->BindToObject(inside, nullptr, IID_IShellFolder, &object), E_NOINTERFACE);
    EXPECT_EQ(trash->lookups, 0);
    EXPECT_EQ(in_trash->CreateViewObject(nullptr, IID_IShellView, &object), E_NOINTERFACE);

    for (LPITEMIDLIST list : {stranger, file, below, through_file, inside}) CoTaskMemFree(list);
    in_trash->Release();
    deeper->Release();
    inner->Release();
}

TEST_F(FolderObject, OrderPutsFoldersFirstIgnoresCaseAndCountsALevelAsItself) {
    LPITEMIDLIST alpha = child_list(music);
    LPITEMIDLIST docs_list = child_list(docs);
    LPITEMIDLIST beta = child_list(docs->children[1]);
    const BYTE empty[3] = {};
    const auto none = reinterpret_cast<LPCITEMIDLIST>(empty);
    EXPECT_EQ(folder->CompareIDs(0, alpha, alpha), S_OK);
    EXPECT_EQ(folder->CompareIDs(0, none, none), S_OK) << "a list equals itself";
    EXPECT_EQ(folder->CompareIDs(0, none, alpha), 1);
    EXPECT_EQ(folder->CompareIDs(0, alpha, none), 0xFFFF);
    EXPECT_EQ(folder->CompareIDs(0, docs_list, alpha), 0xFFFF) << "folders first";
    EXPECT_EQ(folder->CompareIDs(0, alpha, docs_list), 1);
    EXPECT_EQ(folder->CompareIDs(0, beta, docs_list), 0xFFFF) << "beta before Docs";

    // "beta" after "Alpha" between two files, case ignored.
    LPITEMIDLIST file_alpha = child_list(make_file(L"Alpha", 5));
    LPITEMIDLIST file_beta = child_list(make_file(L"beta", 1));
    EXPECT_EQ(folder->CompareIDs(0, file_beta, file_alpha), 1);
    EXPECT_EQ(folder->CompareIDs(2, file_beta, file_alpha), 0xFFFF) << "by size";
    EXPECT_EQ(folder->CompareIDs(3, file_beta, file_alpha), S_OK) << "dates are equal";
    EXPECT_EQ(folder->CompareIDs(4, file_beta, file_alpha), S_OK);

    LPITEMIDLIST two_levels = ILCombine(docs_list, beta);
    EXPECT_EQ(folder->CompareIDs(SHCIDS_CANONICALONLY, two_levels, file_alpha), 0xFFFF);
    EXPECT_EQ(folder->CompareIDs(SHCIDS_CANONICALONLY, two_levels, two_levels), S_OK);
    for (LPITEMIDLIST list : {alpha, docs_list, beta, file_alpha, file_beta, two_levels})
        CoTaskMemFree(list);
}

TEST_F(FolderObject, AttributesComeFromTheLastRecordAndAnEmptyListIsRefused) {
    LPITEMIDLIST docs_list = child_list(docs);
    LPITEMIDLIST file = child_list(text_file);
    LPITEMIDLIST path = ILCombine(docs_list, file);
    SFGAOF word = ~0u;
    PCUITEMID_CHILD lists[] = {path};
    ASSERT_EQ(folder->GetAttributesOf(1, lists, &word), S_OK);
    EXPECT_EQ(word, SFGAO_HASPROPSHEET | SFGAO_CANDELETE | SFGAO_CANCOPY | SFGAO_CANMOVE |
                        SFGAO_CANRENAME | SFGAO_FILESYSTEM | SFGAO_STREAM)
        << "a file, in a host other than Explorer";
    word = ~0u;
    EXPECT_EQ(folder->GetAttributesOf(0, nullptr, &word), S_OK);
    EXPECT_EQ(word, ~0u);
    const BYTE empty[3] = {};
    PCUITEMID_CHILD empties[] = {reinterpret_cast<LPCITEMIDLIST>(empty)};
    EXPECT_EQ(folder->GetAttributesOf(1, empties, &word), E_INVALIDARG);
    for (LPITEMIDLIST list : {docs_list, file, path}) CoTaskMemFree(list);
}

TEST_F(FolderObject, NamesForEveryFlagAndTheSavedFilesFolderForOtherPrograms) {
    EXPECT_EQ(name_of(folder, text_file, SHGDN_NORMAL), L"a.txt");
    EXPECT_EQ(name_of(folder, text_file, SHGDN_INFOLDER | SHGDN_FORPARSING), L"a.txt");
    IShellFolder2* inner = bind(folder, docs);
    // The desktop names this folder's list only when it is a registered junction.
    EXPECT_EQ(name_of(inner, text_file, SHGDN_FORPARSING | SHGDN_FORADDRESSBAR), L"Docs\\a.txt");

    // A local path in the native form, as the program opens it.
    const std::wstring saved = name_of(inner, text_file, SHGDN_FORPARSING);
    EXPECT_EQ(saved,
              syncer::manager::get_files_saved_directory(L"alice").wstring() + L"/Docs/a.txt");
    EXPECT_EQ(saved.find(L'\\'), std::wstring::npos) << saved;
    const std::wstring made = saved.substr(0, saved.size() - std::wcslen(L"/a.txt"));
    EXPECT_TRUE(boost::filesystem::is_directory(made)) << "the folder is made for the program";
    EXPECT_EQ(name_of(inner, docs->children[1], SHGDN_FORPARSING),
              saved.substr(0, saved.size() - std::wcslen(L"a.txt")) + L"beta");

    session.client = []() -> vfs::client_ptr { throw test_failure(); };
    EXPECT_EQ(name_of(inner, text_file, SHGDN_FORPARSING), L"<failed>")
        << "nobody logged in gives no local path";
    inner->Release();
}

TEST_F(FolderObject, RenamingReachesTheServiceHandsBackTheNewListAndNotifiesOnce) {
    IShellFolder2* inner = bind(folder, docs);
    LPITEMIDLIST file = child_list(text_file);
    win_test::clear_shell_notifications();

    PITEMID_CHILD renamed = reinterpret_cast<PITEMID_CHILD>(1);
    session.logged_in = [] { return false; };
    IShellFolder2* unconnected = make_folder();
    EXPECT_EQ(unconnected->SetNameOf(nullptr, file, L"b.txt", SHGDN_NORMAL, &renamed), E_FAIL);
    EXPECT_EQ(renamed, nullptr) << "cleared before anything could fail";
    unconnected->Release();

    ASSERT_EQ(inner->SetNameOf(nullptr, file, L"C:\\somewhere\\b.txt", SHGDN_FORPARSING, &renamed),
              S_OK);
    ASSERT_EQ(docs->renames.size(), 1u);
    EXPECT_EQ(docs->renames[0], std::make_pair(std::wstring(L"a.txt"), std::wstring(L"b.txt")));
    ASSERT_NE(renamed, nullptr);
    const PIDLDATA record = CItemIdList(renamed, false).GetLastItem();
    EXPECT_EQ(pidl_name(record), L"b.txt");
    EXPECT_EQ(pidl_id(record), L"id-a.txt");

    const auto notes = win_test::shell_notifications();
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_EQ(notes[0].event, SHCNE_RENAMEITEM);
    EXPECT_EQ(notes[0].flags, SHCNF_IDLIST | SHCNF_FLUSH);
    ASSERT_TRUE(notes[0].item1 && notes[0].item2);
    EXPECT_NE(*notes[0].item1, *notes[0].item2);
    // Both are the whole path: the junction, Docs and the file.
    EXPECT_EQ(notes[0].item1->size(), 2 * (40 + 2 * 840u));

    docs->refused_name = L"taken.txt";
    win_test::clear_message_boxes();
    EXPECT_EQ(inner->SetNameOf(nullptr, file, L"taken.txt", SHGDN_NORMAL, nullptr), E_FAIL);
    const auto boxes = win_test::message_boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "Rename failed");
    EXPECT_EQ(boxes[0].type & MB_ICONERROR, static_cast<UINT>(MB_ICONERROR));
    EXPECT_EQ(win_test::shell_notifications().size(), 1u) << "no notification for a failure";

    CoTaskMemFree(renamed);
    CoTaskMemFree(file);
    inner->Release();
}

TEST_F(FolderObject, ColumnsHeadingsTextsAndTypedValues) {
    SHELLDETAILS details{};
    EXPECT_EQ(folder->GetDetailsOf(nullptr, 5, &details), E_INVALIDARG);
    ASSERT_EQ(folder->GetDetailsOf(nullptr, 2, &details), S_OK);
    EXPECT_EQ(take(details.str), L"Size");
    EXPECT_EQ(details.fmt, LVCFMT_RIGHT);
    EXPECT_EQ(details.cxChar, 10);
    SHCOLSTATEF state = 0;
    ASSERT_EQ(folder->GetDefaultColumnState(3, &state), S_OK);
    EXPECT_EQ(state, 0x03u) << "hidden by default";
    EXPECT_EQ(folder->GetDefaultColumnState(5, &state), E_INVALIDARG);
    SHCOLUMNID key{};
    ASSERT_EQ(folder->MapColumnToSCID(4, &key), S_OK);
    EXPECT_TRUE(key == PKEY_DateModified);

    IShellFolder2* inner = bind(folder, docs);
    LPITEMIDLIST file = child_list(text_file);
    LPITEMIDLIST sub = child_list(docs->children[1]);
    EXPECT_EQ(inner->GetDetailsOf(file, 5, &details), E_INVALIDARG);
    ASSERT_EQ(inner->GetDetailsOf(file, 2, &details), S_OK);
    EXPECT_EQ(take(details.str), L"2 KB");
    EXPECT_EQ(inner->GetDetailsOf(sub, 2, &details), E_FAIL) << "a folder has no size";
    EXPECT_EQ(inner->GetDetailsOf(file, 3, &details), E_FAIL) << "never accessed";
    ASSERT_EQ(inner->GetDetailsOf(file, 4, &details), S_OK);
    EXPECT_EQ(take(details.str), L"1/2/1970");

    // The value is only written: garbage in it is never freed.
    VARIANT value;
    value.vt = VT_BSTR;
    value.bstrVal = reinterpret_cast<BSTR>(0x10);
    EXPECT_EQ(inner->GetDetailsEx(nullptr, &PKEY_Size, &value), E_INVALIDARG);
    EXPECT_EQ(value.vt, VT_EMPTY);
    EXPECT_EQ(inner->GetDetailsEx(file, &PKEY_Size, nullptr), E_POINTER);
    text_file->size = 4096;  // the service knows better than the record
    ASSERT_EQ(inner->GetDetailsEx(file, &PKEY_Size, &value), S_OK);
    EXPECT_EQ(value.vt, VT_UI8);
    EXPECT_EQ(value.ullVal, 4096u);
    ASSERT_EQ(inner->GetDetailsEx(file, &PKEY_DateModified, &value), S_OK);
    EXPECT_EQ(value.vt, VT_DATE);
    EXPECT_DOUBLE_EQ(value.date, 25570.0);
    EXPECT_EQ(inner->GetDetailsEx(sub, &PKEY_Size, &value), E_FAIL);
    EXPECT_EQ(inner->GetDetailsEx(file, &PKEY_DateAccessed, &value), E_FAIL);
    LPITEMIDLIST dotless = child_list(make_file(L"README", 3));
    ASSERT_EQ(inner->GetDetailsEx(dotless, &PKEY_ItemType, &value), S_OK);
    EXPECT_EQ(value.vt, VT_BSTR);
    EXPECT_STREQ(value.bstrVal, L"");
    VariantClear(&value);
    ASSERT_EQ(inner->GetDetailsEx(file, &PKEY_ItemType, &value), S_OK);
    EXPECT_STREQ(value.bstrVal, L".txt");
    VariantClear(&value);
    const PROPERTYKEY unknown{FMTID_Storage, 99};
    EXPECT_EQ(inner->GetDetailsEx(file, &unknown, &value), E_NOTIMPL);
    for (LPITEMIDLIST list : {file, sub, dotless}) CoTaskMemFree(list);
    inner->Release();
}

TEST_F(FolderObject, AViewOfANewRootWatchesTheFoldersListBeforeAnyEnumeration) {
    win_test::forget_folder_views();
    IShellView* view = nullptr;
    ASSERT_EQ(folder->CreateViewObject(nullptr, IID_IShellView, reinterpret_cast<void**>(&view)),
              S_OK);
    EXPECT_EQ(remote_root->listings, 0);
    const auto views = win_test::folder_views();
    ASSERT_EQ(views.size(), 1u);
    EXPECT_EQ(views[0].notify_list, junction);
    EXPECT_EQ(views[0].notify_events, SHCNE_ALLEVENTS);
    EXPECT_EQ(views[0].zone_result, S_OK);
    ASSERT_EQ(view->CreateViewWindow(nullptr, nullptr, nullptr, nullptr, nullptr), S_OK);
    EXPECT_EQ(win_test::folder_views()[0].items,
              (std::vector<std::wstring>{L"Docs", L"Alpha.mp3"}));
    view->Release();
    void* object = nullptr;
    EXPECT_EQ(folder->CreateViewObject(nullptr, IID_IStream, &object), E_NOINTERFACE);

    // The copy engine's and the storage interfaces are answered, and refuse.
    ITransferDestination* destination = nullptr;
    ASSERT_EQ(folder->CreateViewObject(nullptr, IID_ITransferDestination,
                                       reinterpret_cast<void**>(&destination)),
              S_OK);
    DWORD cookie = 7;
    EXPECT_EQ(destination->Advise(nullptr, &cookie), E_NOTIMPL);
    EXPECT_EQ(cookie, 0u);
    destination->Release();
    IStorage* storage = nullptr;
    ASSERT_EQ(folder->QueryInterface(IID_IStorage, reinterpret_cast<void**>(&storage)), S_OK);
    IStream* stream = reinterpret_cast<IStream*>(1);
    // The test's files cannot be opened, so the new file is not bound.
    EXPECT_EQ(storage->CreateStream(L"new.txt", 0, 0, 0, &stream), E_FAIL);
    EXPECT_EQ(stream, nullptr);
    storage->Release();
}

TEST_F(FolderObject, PersistenceAndSiteAsTheShellUsesThem) {
    IPersistFolder3* persist = nullptr;
    ASSERT_EQ(folder->QueryInterface(IID_IPersistFolder3, reinterpret_cast<void**>(&persist)),
              S_OK);
    CLSID clsid{};
    ASSERT_EQ(persist->GetClassID(&clsid), S_OK);
    EXPECT_EQ(clsid, utils::clsid_calvimora_folder);
    EXPECT_EQ(persist->GetClassID(nullptr), E_POINTER);
    // InitializeEx is Initialize: the folder's place is the list given.
    std::vector<BYTE> other = junction;
    other[24] = 0x55;
    LPBC context = nullptr;
    ASSERT_EQ(CreateBindCtx(0, &context), S_OK);
    ASSERT_EQ(
        persist->InitializeEx(context, reinterpret_cast<LPCITEMIDLIST>(other.data()), nullptr),
        S_OK);
    context->Release();
    PIDLIST_ABSOLUTE place = nullptr;
    ASSERT_EQ(persist->GetCurFolder(&place), S_OK);
    const std::vector<BYTE> placed = bytes_of(place);
    EXPECT_EQ(std::vector<BYTE>(placed.begin(), placed.begin() + 42), other);
    CoTaskMemFree(place);
    EXPECT_EQ(persist->GetFolderTargetInfo(nullptr), E_NOTIMPL);
    persist->Release();

    IObjectWithSite* with_site = nullptr;
    ASSERT_EQ(folder->QueryInterface(IID_IObjectWithSite, reinterpret_cast<void**>(&with_site)),
              S_OK);
    void* site = reinterpret_cast<void*>(1);
    EXPECT_EQ(with_site->GetSite(IID_IUnknown, &site), E_FAIL);
    EXPECT_EQ(site, nullptr);
    IShellFolder2* other_object = make_folder();
    ASSERT_EQ(with_site->SetSite(other_object), S_OK);
    ASSERT_EQ(with_site->GetSite(IID_IShellFolder, &site), S_OK);
    static_cast<IUnknown*>(site)->Release();
    ASSERT_EQ(with_site->SetSite(nullptr), S_OK);
    EXPECT_EQ(other_object->Release(), 0u) << "the site was let go";
    with_site->Release();
}

}  // namespace

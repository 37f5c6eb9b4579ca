// The desktop folder's names, the folder view stand-in, bind contexts and
// the strings folders hand out.
#include <cstring>

#include "com_test_support.h"
#include "win/shell.h"
#include "win/shell_folder2.h"
#include "win/shell_view.h"
#include "win/shell_view2.h"
#include "win/win_test.h"

namespace {

using namespace com_test;

std::wstring take(STRRET& name, LPCITEMIDLIST list = nullptr) {
    LPWSTR text = nullptr;
    if (FAILED(StrRetToStrW(&name, list, &text))) return L"<failed>";
    std::wstring out = text;
    CoTaskMemFree(text);
    return out;
}

class DesktopNames : public ComTest {
protected:
    void SetUp() override {
        ComTest::SetUp();
        register_server(folder_class_text, TEST_FOLDER_SERVER);
        register_junction(folder_class_text);
        set_string(HKEY_CLASSES_ROOT, L"CLSID\\" + folder_class_text, nullptr, L"Test Folder");
        ASSERT_EQ(SHGetDesktopFolder(&desktop), S_OK);
    }
    void TearDown() override {
        desktop->Release();
        ComTest::TearDown();
    }

    LPITEMIDLIST parse(const std::wstring& name) {
        std::wstring text = name;
        LPITEMIDLIST list = nullptr;
        EXPECT_EQ(desktop->ParseDisplayName(nullptr, nullptr, text.data(), nullptr, &list, nullptr),
                  S_OK);
        return list;
    }
    std::wstring name_of(LPCITEMIDLIST list, SHGDNF flags) {
        STRRET name{};
        const HRESULT result = desktop->GetDisplayNameOf(list, flags, &name);
        if (FAILED(result)) return L"<failed>";
        return take(name, list);
    }

    IShellFolder* desktop = nullptr;
    const std::wstring junction = L"::" + computer_text + L"\\::" + folder_class_text;
};

TEST_F(DesktopNames, TheJunctionIsNamedByItsPathForParsingAndByItsClassOtherwise) {
    LPITEMIDLIST list = parse(junction);
    EXPECT_EQ(name_of(list, SHGDN_FORPARSING), junction);
    EXPECT_EQ(name_of(list, SHGDN_FORPARSING | SHGDN_FORADDRESSBAR), junction);
    EXPECT_EQ(name_of(list, SHGDN_NORMAL), L"Test Folder");
    EXPECT_EQ(name_of(list, SHGDN_INFOLDER | SHGDN_FORPARSING), L"Test Folder");
    ILRemoveLastID(list);
    EXPECT_EQ(name_of(list, SHGDN_FORPARSING), L"::" + computer_text);
    ILFree(list);
}

TEST_F(DesktopNames, DeeperItemsAreNamedByTheJunctionAndStrangersAreRefused) {
    LPITEMIDLIST list = parse(junction + L"\\Docs");
    EXPECT_EQ(name_of(list, SHGDN_FORPARSING), L"parsed:Docs");
    EXPECT_EQ(name_of(list, SHGDN_INFOLDER), L"Docs");
    ILFree(list);
    const BYTE stranger[] = {4, 0, 0x77, 0x77, 0, 0};
    STRRET name{};
    EXPECT_EQ(desktop->GetDisplayNameOf(reinterpret_cast<LPCITEMIDLIST>(stranger), 0, &name),
              E_INVALIDARG);
}

// A view callback that answers as a folder's does and counts its messages.
class counting_callback final : public IShellFolderViewCB {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (iid != IID_IUnknown && iid != IID_IShellFolderViewCB) return E_NOINTERFACE;
        *object = this;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override { return --references; }
    HRESULT STDMETHODCALLTYPE MessageSFVCB(UINT message, WPARAM wparam, LPARAM lparam) override {
        messages.push_back(message);
        if (message == SFVM_GETNOTIFY) {
            *reinterpret_cast<LPCITEMIDLIST*>(wparam) = reinterpret_cast<LPCITEMIDLIST>(watched);
            *reinterpret_cast<LONG*>(lparam) = SHCNE_ALLEVENTS;
            return S_OK;
        }
        return E_NOTIMPL;
    }
    ULONG references = 1;
    std::vector<UINT> messages;
    BYTE watched[6] = {4, 0, 0xAB, 0xCD, 0, 0};
};

TEST_F(DesktopNames, AViewAsksItsCallbackFillsFromTheFolderAndLetsGoOfBoth) {
    win_test::forget_folder_views();
    LPITEMIDLIST list = parse(junction);
    IShellFolder* folder = nullptr;
    ASSERT_EQ(
        desktop->BindToObject(list, nullptr, IID_IShellFolder, reinterpret_cast<void**>(&folder)),
        S_OK);
    ILFree(list);
    counting_callback callback;
    SFV_CREATE create{};
    create.pshf = folder;
    create.psfvcb = &callback;
    IShellView* view = nullptr;
    create.cbSize = 16;
    EXPECT_EQ(SHCreateShellFolderView(&create, &view), E_INVALIDARG) << "the record's size counts";
    create.cbSize = sizeof create;
    ASSERT_EQ(SHCreateShellFolderView(&create, &view), S_OK);
    EXPECT_EQ(callback.messages, (std::vector<UINT>{SFVM_GETNOTIFY, SFVM_GETZONE}));
    EXPECT_EQ(callback.references, 2u);
    HWND window = reinterpret_cast<HWND>(1);
    EXPECT_EQ(view->CreateViewWindow(nullptr, nullptr, nullptr, nullptr, &window), S_OK);
    EXPECT_EQ(window, nullptr);
    EXPECT_EQ(view->Refresh(), S_OK);
    view->Release();
    folder->Release();
    EXPECT_EQ(callback.references, 1u);

    const auto views = win_test::folder_views();
    ASSERT_EQ(views.size(), 1u);
    EXPECT_TRUE(views[0].has_callback);
    EXPECT_EQ(views[0].notify_list, (std::vector<unsigned char>{4, 0, 0xAB, 0xCD, 0, 0}));
    EXPECT_EQ(views[0].notify_events, SHCNE_ALLEVENTS);
    EXPECT_EQ(views[0].zone_result, E_NOTIMPL);
    EXPECT_EQ(views[0].calls, (std::vector<std::string>{"CreateViewWindow", "Refresh"}));
    EXPECT_EQ(views[0].items.size(), 2u) << "the test folder lists two items";
    EXPECT_TRUE(views[0].released);
}

// What a hosted object reaches of the view: the newer view interface and the
// folder view are the same object, and selections are recorded by name.
TEST_F(DesktopNames, AViewRecordsTheItemsItIsAskedToSelectThroughEitherInterface) {
    LPITEMIDLIST list = parse(junction);
    IShellFolder* folder = nullptr;
    ASSERT_EQ(
        desktop->BindToObject(list, nullptr, IID_IShellFolder, reinterpret_cast<void**>(&folder)),
        S_OK);
    ILFree(list);
    SFV_CREATE create{};
    create.cbSize = sizeof create;
    create.pshf = folder;
    IShellView* view = nullptr;
    ASSERT_EQ(SHCreateShellFolderView(&create, &view), S_OK);
    IEnumIDList* items = nullptr;
    ASSERT_EQ(folder->EnumObjects(nullptr, SHCONTF_FOLDERS | SHCONTF_NONFOLDERS, &items), S_OK);
    PITEMID_CHILD first = nullptr;
    ULONG fetched = 0;
    ASSERT_EQ(items->Next(1, &first, &fetched), S_OK);
    items->Release();
    STRRET shown{};
    ASSERT_EQ(folder->GetDisplayNameOf(first, SHGDN_INFOLDER, &shown), S_OK);
    const std::wstring name = take(shown, first);

    IFolderView* folder_view = nullptr;
    ASSERT_EQ(view->QueryInterface(IID_IFolderView, reinterpret_cast<void**>(&folder_view)), S_OK);
    IShellView* back = nullptr;
    ASSERT_EQ(folder_view->QueryInterface(IID_IShellView, reinterpret_cast<void**>(&back)), S_OK);
    EXPECT_EQ(back, view) << "one object answers both";
    back->Release();
    IShellFolder* viewed = nullptr;
    ASSERT_EQ(folder_view->GetFolder(IID_IShellFolder, reinterpret_cast<void**>(&viewed)), S_OK);
    EXPECT_EQ(viewed, folder);
    viewed->Release();
    IShellView2* newer = nullptr;
    ASSERT_EQ(view->QueryInterface(IID_IShellView2, reinterpret_cast<void**>(&newer)), S_OK);

    EXPECT_EQ(view->SelectItem(nullptr, SVSI_SELECT), E_INVALIDARG);
    EXPECT_EQ(view->SelectItem(first, SVSI_EDIT | SVSI_ENSUREVISIBLE), S_OK);
    POINT at{120, 45};
    EXPECT_EQ(newer->SelectAndPositionItem(first, SVSI_EDIT | SVSI_TRANSLATEPT, &at), S_OK);
    const auto selections = win_test::folder_view_selections(view);
    ASSERT_EQ(selections.size(), 2u);
    EXPECT_EQ(selections[0].call, "SelectItem");
    EXPECT_EQ(selections[0].name, name);
    EXPECT_EQ(selections[0].flags, SVSI_EDIT | SVSI_ENSUREVISIBLE);
    EXPECT_EQ(selections[1].call, "SelectAndPositionItem");
    EXPECT_EQ(selections[1].name, name);
    EXPECT_EQ(selections[1].flags, SVSI_EDIT | SVSI_TRANSLATEPT);
    EXPECT_EQ(selections[1].point.x, 120);
    EXPECT_EQ(selections[1].point.y, 45);
    EXPECT_TRUE(win_test::folder_view_selections(nullptr).empty());

    CoTaskMemFree(first);
    newer->Release();
    folder_view->Release();
    view->Release();
    folder->Release();
}

// An object that counts its references.
struct counted_object final : IUnknown {
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override { return --references; }
    ULONG references = 1;
};

TEST(BindContext, KeepsItsOptionsAndHoldsItsObjectsUntilRevokedOrReleased) {
    LPBC context = nullptr;
    EXPECT_EQ(CreateBindCtx(1, &context), E_INVALIDARG);
    ASSERT_EQ(CreateBindCtx(0, &context), S_OK);
    BIND_OPTS options{};
    options.cbStruct = sizeof options;
    ASSERT_EQ(context->GetBindOptions(&options), S_OK);
    EXPECT_EQ(options.grfFlags, BIND_MAYBOTHERUSER);
    EXPECT_EQ(options.grfMode, STGM_READWRITE);
    options.grfFlags = BIND_JUSTTESTEXISTENCE;
    options.grfMode = STGM_READ;
    ASSERT_EQ(context->SetBindOptions(&options), S_OK);
    BIND_OPTS read{};
    EXPECT_EQ(context->GetBindOptions(&read), E_INVALIDARG) << "cbStruct 0";
    read.cbStruct = sizeof read;
    ASSERT_EQ(context->GetBindOptions(&read), S_OK);
    EXPECT_EQ(read.grfFlags, BIND_JUSTTESTEXISTENCE);
    EXPECT_EQ(read.grfMode, STGM_READ);

    counted_object kept, bound, replaced;
    wchar_t key[] = L"Key";
    ASSERT_EQ(context->RegisterObjectParam(key, &replaced), S_OK);
    ASSERT_EQ(context->RegisterObjectParam(key, &kept), S_OK);
    EXPECT_EQ(replaced.references, 1u);
    IUnknown* found = nullptr;
    ASSERT_EQ(context->GetObjectParam(key, &found), S_OK);
    EXPECT_EQ(found, &kept);
    found->Release();
    wchar_t other[] = L"key";
    EXPECT_EQ(context->GetObjectParam(other, &found), E_FAIL);
    EXPECT_EQ(found, nullptr);
    ASSERT_EQ(context->RegisterObjectBound(&bound), S_OK);
    EXPECT_EQ(bound.references, 2u);
    EXPECT_EQ(context->Release(), 0u);
    EXPECT_EQ(kept.references, 1u);
    EXPECT_EQ(bound.references, 1u);
}

TEST(FolderStrings, CopiesAndStrretRecordsBecomeTaskMemoryStrings) {
    const long blocks = win_test::live_task_allocations();
    LPWSTR copy = nullptr;
    ASSERT_EQ(SHStrDupW(L"Docs", &copy), S_OK);
    STRRET wide{};
    wide.uType = STRRET_WSTR;
    wide.pOleStr = copy;
    EXPECT_EQ(take(wide), L"Docs");
    EXPECT_EQ(wide.pOleStr, nullptr) << "the string was handed over";

    STRRET narrow{};
    narrow.uType = STRRET_CSTR;
    std::strcpy(narrow.cStr, "a.txt");
    EXPECT_EQ(take(narrow), L"a.txt");

    const BYTE element[] = {7, 0, 'x', 'y', 'z', 0, 0, 0, 0};
    STRRET offset{};
    offset.uType = STRRET_OFFSET;
    offset.uOffset = 2;
    EXPECT_EQ(take(offset, reinterpret_cast<LPCITEMIDLIST>(element)), L"xyz");
    offset.uOffset = 9;
    LPWSTR text = reinterpret_cast<LPWSTR>(1);
    EXPECT_EQ(StrRetToStrW(&offset, reinterpret_cast<LPCITEMIDLIST>(element), &text), E_INVALIDARG);
    EXPECT_EQ(text, nullptr);
    EXPECT_EQ(SHStrDupW(nullptr, &copy), E_INVALIDARG);
    EXPECT_EQ(win_test::live_task_allocations(), blocks);
}

TEST(Automation, NumbersBecomeUnsignedAndTextOnlyWithinRange) {
    VARIANT source, result;
    VariantInit(&source);
    VariantInit(&result);
    source.vt = VT_I8;
    source.llVal = 1500;
    ASSERT_EQ(VariantChangeType(&result, &source, 0, VT_UI8), S_OK);
    EXPECT_EQ(result.vt, VT_UI8);
    EXPECT_EQ(result.ullVal, 1500u);
    ASSERT_EQ(VariantChangeType(&result, &result, 0, VT_BSTR), S_OK);
    EXPECT_STREQ(result.bstrVal, L"1500");
    VariantClear(&result);

    source.llVal = -1;
    EXPECT_EQ(VariantChangeType(&result, &source, 0, VT_UI8), DISP_E_OVERFLOW);
    EXPECT_EQ(result.vt, VT_EMPTY) << "a failed change leaves the destination";
    source.vt = VT_R8;
    source.dblVal = 2.6;
    ASSERT_EQ(VariantChangeType(&result, &source, 0, VT_UI8), S_OK);
    EXPECT_EQ(result.ullVal, 3u);
    source.dblVal = 1e20;
    EXPECT_EQ(VariantChangeType(&result, &source, 0, VT_UI8), DISP_E_OVERFLOW);
    source.vt = VT_BSTR;
    source.bstrVal = nullptr;
    EXPECT_EQ(VariantChangeType(&result, &source, 0, VT_UI8), DISP_E_TYPEMISMATCH);
}

}  // namespace

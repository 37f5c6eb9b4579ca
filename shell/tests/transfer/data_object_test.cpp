#include <cstring>
#include <string>
#include <vector>

#include "folder/module/module.h"
#include "folder/transfer/data_object_impl.h"
#include "folder_fakes.h"
#include "win/file.h"
#include "win/shell_thread.h"
#include "win/test_journal.h"
#include "win/user.h"

namespace {

using namespace shell_testing;

// The host's process reference while it lives: the extension's workers
// hold it until they end.
class held_process {
public:
    held_process() { SHSetInstanceExplorer(&reference_); }
    ~held_process() { SHSetInstanceExplorer(nullptr); }
    bool wait() { return reference_.wait_until_released(std::chrono::seconds(30)); }

private:
    win_test::process_reference reference_;
};

class DataObject : public FolderTest {
protected:
    DataObject() {
        root_list = CItemIdList(reinterpret_cast<LPCITEMIDLIST>(junction.data()), true);
    }
    ~DataObject() override {
        OleSetClipboard(nullptr);
        for (LPITEMIDLIST list : lists) CoTaskMemFree(list);
    }

    // A data object over children of the remote root; the test holds it.
    IDataObject* select(const vfs::item_list& items) {
        std::vector<LPCITEMIDLIST> selection;
        for (const vfs::item_ptr& item : items) {
            lists.push_back(child_list(item));
            selection.push_back(lists.back());
        }
        CComObject<CDataObjectImpl>* object = nullptr;
        EXPECT_EQ(
            create_data_object(remote_root, root_list, CItemIdList(), nullptr, selection.data(),
                               static_cast<UINT>(selection.size()), &object),
            S_OK);
        return static_cast<IDataObject*>(object);
    }

    CLIPFORMAT format(CCalvimoraModule::clipboard_format which) { return module.Format(which); }

    FORMATETC etc(CCalvimoraModule::clipboard_format which, DWORD tymed = TYMED_HGLOBAL,
                  LONG index = -1) {
        return {format(which), nullptr, DVASPECT_CONTENT, index, tymed};
    }

    std::vector<FILEDESCRIPTORW> descriptors(IDataObject* object) {
        FORMATETC wanted = etc(CCalvimoraModule::format_file_group_descriptor);
        STGMEDIUM medium{};
        EXPECT_EQ(object->GetData(&wanted, &medium), S_OK);
        auto read = win_shell::read_file_group_descriptor(GlobalLock(medium.hGlobal),
                                                          GlobalSize(medium.hGlobal));
        GlobalUnlock(medium.hGlobal);
        ReleaseStgMedium(&medium);
        return read.value_or(std::vector<FILEDESCRIPTORW>{});
    }

    HRESULT contents(IDataObject* object, LONG index) {
        FORMATETC wanted = etc(CCalvimoraModule::format_file_contents, TYMED_ISTREAM, index);
        STGMEDIUM medium{};
        const HRESULT result = object->GetData(&wanted, &medium);
        ReleaseStgMedium(&medium);
        return result;
    }

    void set_dword(IDataObject* object, CCalvimoraModule::clipboard_format which, DWORD value) {
        EXPECT_EQ(write_clipboard_dword(object, format(which), value), S_OK);
    }

    CCalvimoraModule module;
    CItemIdList root_list;
    std::vector<LPITEMIDLIST> lists;
};

std::wstring name_of(const FILEDESCRIPTORW& descriptor) {
    return win_shell::file_descriptor_name(descriptor).value_or(L"<unterminated>");
}

TEST_F(DataObject, AFolderIsDescribedWithEverythingBelowItAndFilesCarryTheirSizes) {
    IDataObject* object = select({docs, music});
    const std::vector<FILEDESCRIPTORW> group = descriptors(object);
    ASSERT_EQ(group.size(), 4u);
    EXPECT_EQ(name_of(group[0]), L"Docs");
    EXPECT_EQ(name_of(group[1]), L"Docs\\a.txt");
    EXPECT_EQ(name_of(group[2]), L"Docs\\beta");
    EXPECT_EQ(name_of(group[3]), L"Alpha.mp3");
    EXPECT_EQ(group[0].dwFlags, FD_ATTRIBUTES | FD_PROGRESSUI);
    EXPECT_EQ(group[0].dwFileAttributes, FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(group[1].dwFlags, FD_ATTRIBUTES | FD_PROGRESSUI | FD_FILESIZE);
    EXPECT_EQ(group[1].dwFileAttributes, 0x80u);
    EXPECT_EQ(group[1].nFileSizeLow, 1500u);
    EXPECT_EQ(group[1].nFileSizeHigh, 0u);
    EXPECT_EQ(group[1].ftLastWriteTime.dwLowDateTime, 0u);  // no dates are given

    // Contents only by an index of the group, and never of a folder.
    EXPECT_EQ(contents(object, -1), DV_E_LINDEX);
    EXPECT_EQ(contents(object, 4), DV_E_LINDEX);
    EXPECT_EQ(contents(object, 0), E_UNEXPECTED);
    EXPECT_EQ(contents(object, 2), E_UNEXPECTED);
    FORMATETC wrong_medium = etc(CCalvimoraModule::format_file_contents, TYMED_HGLOBAL, 1);
    STGMEDIUM medium{};
    EXPECT_EQ(object->GetData(&wrong_medium, &medium), DV_E_TYMED);
    object->Release();
}

TEST_F(DataObject, ANameThatWasCutOrHoldsASeparatorNeverReachesAnotherItem) {
    // "a\b" must not resolve to b inside the folder a.
    auto inner = make_file(L"b", 3);
    auto folder_a = make_steered(L"a", {inner});
    auto tricky = make_file(L"a\\b", 5);
    auto long_named =
        boost::make_shared<fake_file>(item_values{std::wstring(300, L'n'), L"id-long"});
    remote_root->children = {folder_a, tricky, long_named};
    IDataObject* object = select({tricky, long_named});
    const std::vector<FILEDESCRIPTORW> group = descriptors(object);
    ASSERT_EQ(group.size(), 2u);
    EXPECT_EQ(name_of(group[0]), L"a\\b");
    EXPECT_EQ(name_of(group[1]).size(), 259u);
    EXPECT_EQ(contents(object, 0), E_UNEXPECTED);
    EXPECT_EQ(contents(object, 1), E_UNEXPECTED);
    object->Release();
}

TEST_F(DataObject, OffersItsFormatsInOrderAndServesTheSelectionUnannounced) {
    IDataObject* object = select({docs, music});
    IEnumFORMATETC* formats = nullptr;
    EXPECT_EQ(object->EnumFormatEtc(DATADIR_SET, &formats), E_NOTIMPL);
    ASSERT_EQ(object->EnumFormatEtc(DATADIR_GET, &formats), S_OK);
    FORMATETC listed[6] = {};
    ULONG fetched = 0;
    EXPECT_EQ(formats->Next(6, listed, &fetched), S_FALSE);
    ASSERT_EQ(fetched, 5u);
    EXPECT_EQ(listed[0].cfFormat, format(CCalvimoraModule::format_persist_on_flush));
    EXPECT_EQ(listed[2].cfFormat, format(CCalvimoraModule::format_file_contents));
    EXPECT_EQ(listed[2].tymed, TYMED_ISTREAM);
    EXPECT_EQ(listed[4].cfFormat, format(CCalvimoraModule::format_calvimora_data_object));
    EXPECT_EQ(formats->Next(2, listed, nullptr), E_POINTER);
    EXPECT_EQ(formats->Reset(), S_OK);
    EXPECT_EQ(formats->Skip(4), S_OK);
    EXPECT_EQ(formats->Skip(2), S_FALSE);
    formats->Release();

    FORMATETC selection = etc(CCalvimoraModule::format_shell_idlist_array);
    EXPECT_EQ(object->QueryGetData(&selection), DV_E_FORMATETC);
    FORMATETC first_contents = etc(CCalvimoraModule::format_file_contents, TYMED_ISTREAM, 0);
    EXPECT_EQ(object->QueryGetData(&first_contents), DV_E_FORMATETC);
    first_contents.lindex = -1;
    EXPECT_EQ(object->QueryGetData(&first_contents), S_OK);

    STGMEDIUM medium{};
    ASSERT_EQ(object->GetData(&selection, &medium), S_OK);
    auto read = win_shell::read_id_array(GlobalLock(medium.hGlobal), GlobalSize(medium.hGlobal));
    GlobalUnlock(medium.hGlobal);
    ASSERT_TRUE(read);
    EXPECT_EQ(std::memcmp(read->folder.data(), junction.data(), 40), 0);
    ASSERT_EQ(read->items.size(), 2u);
    PIDLDATA first{};
    std::memcpy(&first, read->items[0].data(), sizeof first);
    EXPECT_EQ(pidl_name(first), L"Docs");
    UINT offsets[2];
    std::memcpy(offsets, static_cast<BYTE*>(GlobalLock(medium.hGlobal)) + 4, sizeof offsets);
    GlobalUnlock(medium.hGlobal);
    EXPECT_EQ(offsets[0], 4u * 2 + 8);
    ReleaseStgMedium(&medium);

    DWORD own = 0;
    EXPECT_EQ(
        read_clipboard_dword(object, format(CCalvimoraModule::format_calvimora_data_object), &own),
        S_OK);
    EXPECT_EQ(own, 1u);
    object->Release();
}

TEST_F(DataObject, OnlyAPasteThatReportsAMoveDeletesTheSourcesAndEmptiesTheClipboard) {
    IDataObject* copied = select({music});
    ASSERT_EQ(OleSetClipboard(copied), S_OK);
    set_dword(copied, CCalvimoraModule::format_performed_drop_effect, DROPEFFECT_MOVE);
    set_dword(copied, CCalvimoraModule::format_paste_succeeded, DROPEFFECT_COPY);
    EXPECT_TRUE(remote_root->deletions.empty());
    EXPECT_EQ(OleIsCurrentClipboard(copied), S_OK);
    // Nothing moved, whatever the logical effect says.
    set_dword(copied, CCalvimoraModule::format_logical_performed_drop_effect, DROPEFFECT_MOVE);
    set_dword(copied, CCalvimoraModule::format_paste_succeeded, DROPEFFECT_NONE);
    EXPECT_TRUE(remote_root->deletions.empty());
    EXPECT_EQ(OleIsCurrentClipboard(copied), S_OK);
    copied->Release();

    IDataObject* cut = select({docs, music});
    ASSERT_EQ(OleSetClipboard(cut), S_OK);
    win_test::clear_shell_notifications();
    win_test::clear_message_boxes();
    {
        // The delete worker, which asks nothing after a completed move.
        held_process workers;
        set_dword(cut, CCalvimoraModule::format_performed_drop_effect, DROPEFFECT_MOVE);
        set_dword(cut, CCalvimoraModule::format_paste_succeeded, DROPEFFECT_MOVE);
        ASSERT_TRUE(workers.wait());
    }
    EXPECT_TRUE(win_test::message_boxes().empty());
    ASSERT_EQ(remote_root->deletions.size(), 2u);
    EXPECT_EQ(remote_root->deletions[0], std::make_pair(std::wstring(L"Docs"), true));
    EXPECT_EQ(remote_root->deletions[1], std::make_pair(std::wstring(L"Alpha.mp3"), true));
    EXPECT_EQ(OleIsCurrentClipboard(cut), S_FALSE);
    IDataObject* left = nullptr;
    EXPECT_EQ(OleGetClipboard(&left), CLIPBRD_E_CANT_OPEN);
    EXPECT_FALSE(win_test::shell_notifications().empty());
    cut->Release();
}

TEST_F(DataObject, StoredFormatsAreLentByReferenceAndComeBackAsCopies) {
    IDataObject* object = select({music});
    set_dword(object, CCalvimoraModule::format_preferred_drop_effect, DROPEFFECT_MOVE);
    const ULONG before = object->AddRef() - 1;
    object->Release();

    FORMATETC preferred = etc(CCalvimoraModule::format_preferred_drop_effect);
    STGMEDIUM lent{};
    ASSERT_EQ(object->GetData(&preferred, &lent), S_OK);
    EXPECT_NE(lent.pUnkForRelease, nullptr);
    STGMEDIUM again{};
    ASSERT_EQ(object->GetData(&preferred, &again), S_OK);
    EXPECT_EQ(again.hGlobal, lent.hGlobal);
    ReleaseStgMedium(&again);

    // Handing the lent medium back with ownership: the object keeps a copy
    // and lets go of the reference the medium held.
    ASSERT_EQ(object->SetData(&preferred, &lent, TRUE), S_OK);
    EXPECT_EQ(object->AddRef() - 1, before);
    object->Release();
    DWORD value = 0;
    EXPECT_EQ(read_clipboard_dword(object, preferred.cfFormat, &value), S_OK);
    EXPECT_EQ(value, DROPEFFECT_MOVE);

    FORMATETC with_device = preferred;
    with_device.ptd = reinterpret_cast<DVTARGETDEVICE*>(&value);
    STGMEDIUM medium{};
    EXPECT_EQ(object->SetData(&with_device, &medium, TRUE), DV_E_DVTARGETDEVICE);
    object->Release();
}

// Counts its references, standing for a program that lends a block.
class lender final : public IUnknown {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override { return --references; }
    ULONG references = 1;
};

TEST_F(DataObject, AMediumStoredWithItsOwnReleaseObjectIsLentWithAReferenceToIt) {
    IDataObject* object = select({music});
    lender owner;
    HGLOBAL block = GlobalAlloc(GHND, sizeof(DWORD));
    owner.AddRef();  // the medium's reference, given to the object
    FORMATETC custom{static_cast<CLIPFORMAT>(RegisterClipboardFormatW(L"Lent Block")), nullptr,
                     DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium{};
    medium.tymed = TYMED_HGLOBAL;
    medium.hGlobal = block;
    medium.pUnkForRelease = &owner;
    ASSERT_EQ(object->SetData(&custom, &medium, TRUE), S_OK);
    EXPECT_EQ(owner.references, 2u);
    for (int i = 0; i < 3; ++i) {
        STGMEDIUM lent{};
        ASSERT_EQ(object->GetData(&custom, &lent), S_OK);
        EXPECT_EQ(lent.hGlobal, block);
        EXPECT_EQ(lent.pUnkForRelease, &owner);
        ReleaseStgMedium(&lent);
    }
    EXPECT_EQ(owner.references, 2u) << "each hand-out added the reference its release takes";
    object->Release();
    EXPECT_EQ(owner.references, 1u);
    GlobalFree(block);
}

TEST_F(DataObject, ATargetClassOtherThanTheRecycleBinIsOnlyStored) {
    IDataObject* object = select({music});
    auto store_class = [&](const CLSID& clsid) {
        HGLOBAL block = GlobalAlloc(GHND, sizeof clsid);
        std::memcpy(GlobalLock(block), &clsid, sizeof clsid);
        GlobalUnlock(block);
        FORMATETC target = etc(CCalvimoraModule::format_target_clsid);
        STGMEDIUM medium{};
        medium.tymed = TYMED_HGLOBAL;
        medium.hGlobal = block;
        return object->SetData(&target, &medium, TRUE);
    };
    const CLSID recycle_bin{0x645FF040, 0x5081, 0x101B, {0x9F, 0x08, 0, 0xAA, 0, 0x2F, 0x95, 0x4E}};
    held_process workers;
    EXPECT_EQ(store_class(utils::clsid_calvimora_folder), S_OK);
    EXPECT_TRUE(win_test::message_boxes().empty());
    // The Recycle Bin asks for a confirmed delete: No deletes nothing, Yes
    // moves the item to the trash.
    std::vector<std::wstring> asked;
    int answer = IDNO;
    win_test::scoped_message_box_responder responder(
        [&](const std::wstring& text, const std::wstring&, UINT) {
            asked.push_back(text);
            return answer;
        });
    EXPECT_EQ(store_class(recycle_bin), S_OK);
    ASSERT_TRUE(workers.wait());
    EXPECT_TRUE(remote_root->deletions.empty());
    answer = IDYES;
    EXPECT_EQ(store_class(recycle_bin), S_OK);
    ASSERT_TRUE(workers.wait());
    EXPECT_EQ(asked, std::vector<std::wstring>(
                         2, L"Are you sure you want to move this file to the Trash?"));
    ASSERT_EQ(remote_root->deletions.size(), 1u);
    EXPECT_EQ(remote_root->deletions[0], std::make_pair(std::wstring(L"Alpha.mp3"), true));
    object->Release();
}

// The saved form of a selection of Docs and Alpha.mp3 with a preferred
// effect.
std::vector<BYTE> saved_form(IDataObject* object, ULARGE_INTEGER* size_max) {
    IPersistStream* persist = nullptr;
    EXPECT_EQ(object->QueryInterface(IID_IPersistStream, reinterpret_cast<void**>(&persist)), S_OK);
    EXPECT_EQ(persist->GetSizeMax(size_max), S_OK);
    EXPECT_EQ(persist->GetSizeMax(nullptr), S_OK);
    IStream* stream = nullptr;
    CreateStreamOnHGlobal(nullptr, TRUE, &stream);
    EXPECT_EQ(persist->Save(stream, TRUE), S_OK);
    persist->Release();
    HGLOBAL memory = nullptr;
    GetHGlobalFromStream(stream, &memory);
    STATSTG statistics{};
    stream->Stat(&statistics, STATFLAG_NONAME);
    const auto* data = static_cast<const BYTE*>(GlobalLock(memory));
    std::vector<BYTE> bytes(data, data + statistics.cbSize.QuadPart);
    GlobalUnlock(memory);
    stream->Release();
    return bytes;
}

HRESULT load_into_new(const std::vector<BYTE>& bytes, IDataObject** loaded) {
    *loaded = nullptr;
    CComObject<CDataObjectImpl>* object = nullptr;
    CComObject<CDataObjectImpl>::CreateInstance(&object);
    object->AddRef();
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
    if (!bytes.empty()) std::memcpy(GlobalLock(memory), bytes.data(), bytes.size());
    GlobalUnlock(memory);
    IStream* stream = nullptr;
    CreateStreamOnHGlobal(memory, TRUE, &stream);
    const HRESULT result = object->Load(stream);
    stream->Release();
    if (SUCCEEDED(result))
        *loaded = static_cast<IDataObject*>(object);
    else
        object->Release();
    return result;
}

TEST_F(DataObject, TheSavedFormRebuildsTheSelectionAndItsSizeIsExact) {
    IDataObject* object = select({docs, music});
    set_dword(object, CCalvimoraModule::format_preferred_drop_effect, DROPEFFECT_MOVE);
    ULARGE_INTEGER size_max{};
    const std::vector<BYTE> bytes = saved_form(object, &size_max);
    EXPECT_EQ(size_max.QuadPart, bytes.size());
    object->Release();

    IDataObject* loaded = nullptr;
    ASSERT_EQ(load_into_new(bytes, &loaded), S_OK);
    const std::vector<FILEDESCRIPTORW> group = descriptors(loaded);
    ASSERT_EQ(group.size(), 4u);
    EXPECT_EQ(name_of(group[3]), L"Alpha.mp3");
    DWORD preferred = 0;
    EXPECT_EQ(read_clipboard_dword(loaded, format(CCalvimoraModule::format_preferred_drop_effect),
                                   &preferred),
              S_OK);
    EXPECT_EQ(preferred, DROPEFFECT_MOVE);
    loaded->Release();
}

TEST_F(DataObject, AHostileSavedFormFailsWithoutCrashing) {
    IDataObject* object = select({docs, music});
    ULARGE_INTEGER size_max{};
    const std::vector<BYTE> bytes = saved_form(object, &size_max);
    object->Release();
    IDataObject* loaded = nullptr;
    // Every shorter form is refused.
    for (size_t cut = 0; cut < bytes.size(); ++cut)
        EXPECT_TRUE(FAILED(load_into_new({bytes.begin(), bytes.begin() + cut}, &loaded))) << cut;
    // Every single byte changed to 0xFF either fails or still loads a
    // selection of whole records.
    for (size_t at = 0; at < bytes.size(); at += 7) {
        std::vector<BYTE> changed = bytes;
        changed[at] ^= 0xFF;
        if (SUCCEEDED(load_into_new(changed, &loaded))) loaded->Release();
    }
    // An item that is not one record of this folder.
    std::vector<BYTE> two_levels = bytes;
    const size_t items_at = bytes.size() - 4 - (4 + 2 * (4 + 843));
    UINT count = 0;
    std::memcpy(&count, two_levels.data() + items_at, 4);
    ASSERT_EQ(count, 2u);
    const UINT tiny = 5;
    std::memcpy(two_levels.data() + items_at + 4, &tiny, 4);
    EXPECT_EQ(load_into_new(two_levels, &loaded), E_FAIL);
}

TEST_F(DataObject, AnEmptySelectionIsRefused) {
    CComObject<CDataObjectImpl>* object = nullptr;
    EXPECT_EQ(
        create_data_object(remote_root, root_list, CItemIdList(), nullptr, nullptr, 0, &object),
        E_INVALIDARG);
    EXPECT_EQ(object, nullptr);
}

}  // namespace

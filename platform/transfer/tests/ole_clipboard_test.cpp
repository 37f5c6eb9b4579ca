#include <gtest/gtest.h>

#include <cstring>

#include "kernel/tests/helper_process.h"
#include "one_format_enumerator.h"
#include "transfer/ole_clipboard_store.h"
#include "win/machine.h"
#include "win/persist.h"
#include "win/shell_dragdrop.h"

namespace {

// {0B7A4E21-55C3-4F0D-9E6A-3C1D2B8F7A90}: registered nowhere.
constexpr CLSID unregistered_class{
    0x0B7A4E21, 0x55C3, 0x4F0D, {0x9E, 0x6A, 0x3C, 0x1D, 0x2B, 0x8F, 0x7A, 0x90}};

// A data object with one DWORD format (and optionally the persist-on-flush
// format), counting its references and what the clipboard asks of it.
class test_data_object final : public IDataObject, public IPersistStream {
public:
    explicit test_data_object(bool persists) : persists_(persists) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        *object = nullptr;
        if (iid == IID_IUnknown || iid == IID_IDataObject)
            *object = static_cast<IDataObject*>(this);
        else if (persists_ && (iid == IID_IPersist || iid == IID_IPersistStream))
            *object = static_cast<IPersistStream*>(this);
        else
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override { return --references; }

    HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) override {
        std::memset(medium, 0, sizeof *medium);
        if (format->cfFormat != value_format() || !(format->tymed & TYMED_HGLOBAL))
            return DV_E_FORMATETC;
        medium->tymed = TYMED_HGLOBAL;
        medium->hGlobal = GlobalAlloc(GHND, 4);
        std::memcpy(GlobalLock(medium->hGlobal), &value, 4);
        GlobalUnlock(medium->hGlobal);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* format) override {
        const bool offered = format->cfFormat == value_format() ||
                             (persists_ && format->cfFormat == persist_format());
        return offered ? S_OK : DV_E_FORMATETC;
    }
    HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD, IEnumFORMATETC**) override;
    HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override { return E_NOTIMPL; }

    HRESULT STDMETHODCALLTYPE GetClassID(CLSID* clsid) override {
        *clsid = unregistered_class;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE IsDirty() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Load(IStream*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Save(IStream* stream, BOOL) override {
        ++saves;
        return stream->Write(&value, 4, nullptr);
    }
    HRESULT STDMETHODCALLTYPE GetSizeMax(ULARGE_INTEGER*) override { return E_NOTIMPL; }

    static CLIPFORMAT value_format() {
        return static_cast<CLIPFORMAT>(RegisterClipboardFormatW(L"Test Value"));
    }
    static CLIPFORMAT persist_format() {
        return static_cast<CLIPFORMAT>(RegisterClipboardFormatW(CFSTR_PERSISTEDDATAOBJECT));
    }

    ULONG references = 1;
    int saves = 0;
    DWORD value = 42;

private:
    bool persists_;
};

HRESULT test_data_object::EnumFormatEtc(DWORD, IEnumFORMATETC** formats) {
    *formats = new clipboard_testing::one_format_enumerator(test_data_object::value_format());
    return S_OK;
}

DWORD value_of(IDataObject* object) {
    FORMATETC format{test_data_object::value_format(), nullptr, DVASPECT_CONTENT, -1,
                     TYMED_HGLOBAL};
    STGMEDIUM medium{};
    EXPECT_EQ(object->GetData(&format, &medium), S_OK);
    DWORD value = 0;
    if (medium.hGlobal) std::memcpy(&value, GlobalLock(medium.hGlobal), 4);
    GlobalUnlock(medium.hGlobal);
    ReleaseStgMedium(&medium);
    return value;
}

class OleClipboard : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(CoInitialize(nullptr), S_OK); }
    void TearDown() override {
        OleSetClipboard(nullptr);
        CoUninitialize();
    }
    win_machine::scoped_root root_;
};

TEST_F(OleClipboard, HoldsTheObjectItIsGivenUntilReplacedOrEmptied) {
    IDataObject* out = reinterpret_cast<IDataObject*>(1);
    EXPECT_EQ(OleGetClipboard(&out), CLIPBRD_E_CANT_OPEN);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(OleGetClipboard(nullptr), E_INVALIDARG);

    test_data_object first(false);
    ASSERT_EQ(OleSetClipboard(&first), S_OK);
    EXPECT_EQ(first.references, 2u);
    EXPECT_EQ(OleIsCurrentClipboard(&first), S_OK);
    ASSERT_EQ(OleGetClipboard(&out), S_OK);
    EXPECT_EQ(out, &first);
    out->Release();

    test_data_object second(false);
    ASSERT_EQ(OleSetClipboard(&second), S_OK);
    EXPECT_EQ(first.references, 1u);
    EXPECT_EQ(OleIsCurrentClipboard(&first), S_FALSE);
    ASSERT_EQ(OleSetClipboard(nullptr), S_OK);
    EXPECT_EQ(second.references, 1u);
    EXPECT_EQ(OleGetClipboard(&out), CLIPBRD_E_CANT_OPEN);
}

TEST_F(OleClipboard, FlushKeepsCopiesOfTheGlobalFormatsAndLetsTheObjectGo) {
    test_data_object object(false);
    ASSERT_EQ(OleSetClipboard(&object), S_OK);
    ASSERT_EQ(OleFlushClipboard(), S_OK);
    EXPECT_EQ(object.references, 1u);
    object.value = 7;  // the copy was made at the flush

    IDataObject* out = nullptr;
    ASSERT_EQ(OleGetClipboard(&out), S_OK);
    EXPECT_NE(out, static_cast<IDataObject*>(&object));
    EXPECT_EQ(value_of(out), 42u);
    FORMATETC other{CF_TEXT, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    EXPECT_EQ(out->QueryGetData(&other), DV_E_FORMATETC);
    out->Release();
    EXPECT_EQ(OleFlushClipboard(), S_OK);  // nothing set: nothing to do
}

TEST_F(OleClipboard, APersistingObjectIsSavedAtTheFlushAndItsCopiesServeWhenItCannotBeRebuilt) {
    test_data_object object(true);
    ASSERT_EQ(OleSetClipboard(&object), S_OK);
    ASSERT_EQ(OleFlushClipboard(), S_OK);
    EXPECT_EQ(object.saves, 1);
    EXPECT_EQ(object.references, 1u);
    // The class is not registered here, so the object cannot be rebuilt and
    // the copies of its formats are given instead.
    IDataObject* out = nullptr;
    ASSERT_EQ(OleGetClipboard(&out), S_OK);
    EXPECT_NE(out, static_cast<IDataObject*>(&object));
    EXPECT_EQ(value_of(out), 42u);
    out->Release();
}

// The helper's answers: the DWORD of "Test Value" on the clipboard, or 100
// when it finds the clipboard empty.
int value_in_other_process() {
    return helper_process::run({"clipboard-value", "Test Value"});
}

TEST_F(OleClipboard, AFlushedCopyIsPastedInAnotherProcessOfTheSession) {
    test_data_object object(false);
    ASSERT_EQ(OleSetClipboard(&object), S_OK);
    // A live object of this process is not reached from another one.
    EXPECT_EQ(value_in_other_process(), 100);
    ASSERT_EQ(OleFlushClipboard(), S_OK);
    EXPECT_EQ(object.references, 1u);
    EXPECT_EQ(value_in_other_process(), 42);
    EXPECT_EQ(value_in_other_process(), 42) << "a paste leaves the copy there";
    ASSERT_EQ(OleSetClipboard(nullptr), S_OK);
    EXPECT_EQ(value_in_other_process(), 100) << "emptied for the whole session";
}

TEST_F(OleClipboard, AnotherProcessSettingTheClipboardLetsOursGo) {
    test_data_object object(false);
    ASSERT_EQ(OleSetClipboard(&object), S_OK);
    ASSERT_EQ(helper_process::run({"clipboard-set", "Test Value", "7", "flush"}), 0);
    EXPECT_EQ(OleIsCurrentClipboard(&object), S_FALSE);
    IDataObject* out = nullptr;
    ASSERT_EQ(OleGetClipboard(&out), S_OK);
    EXPECT_EQ(value_of(out), 7u);
    out->Release();
    EXPECT_EQ(object.references, 1u);
    EXPECT_EQ(OleFlushClipboard(), S_OK) << "nothing of ours to flush";
    EXPECT_EQ(value_in_other_process(), 7);

    // A process that ends without flushing takes its data along.
    ASSERT_EQ(helper_process::run({"clipboard-set", "Test Value", "9"}), 0);
    EXPECT_EQ(OleGetClipboard(&out), CLIPBRD_E_CANT_OPEN);
}

TEST(OleClipboardRecord, EveryCutOrDamagedRecordIsRefused) {
    win_ole::clipboard_record record;
    record.kind = win_ole::clipboard_record::state::flushed;
    record.persisted = true;
    record.saved = {1, 2, 3};
    record.formats.push_back({0, L"Shell IDList Array", DVASPECT_CONTENT, -1, {9, 8, 7, 6}});
    record.formats.push_back({15, L"", DVASPECT_CONTENT, 2, {}});
    const std::vector<uint8_t> bytes = win_ole::encode_clipboard(record);
    const auto decoded = win_ole::decode_clipboard(bytes.data(), bytes.size());
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->saved, record.saved);
    ASSERT_EQ(decoded->formats.size(), 2u);
    EXPECT_EQ(decoded->formats[0].name, L"Shell IDList Array");
    EXPECT_EQ(decoded->formats[0].bytes, record.formats[0].bytes);
    EXPECT_EQ(decoded->formats[1].number, 15u);
    EXPECT_EQ(decoded->formats[1].lindex, 2);
    for (size_t cut = 0; cut < bytes.size(); ++cut)
        EXPECT_FALSE(win_ole::decode_clipboard(bytes.data(), cut)) << cut;
    std::vector<uint8_t> longer = bytes;
    longer.push_back(0);
    EXPECT_FALSE(win_ole::decode_clipboard(longer.data(), longer.size()));
    // A block that claims more than the record holds.
    std::vector<uint8_t> claiming = bytes;
    claiming[40] = 0xFF;
    claiming[41] = 0xFF;
    claiming[42] = 0xFF;
    claiming[43] = 0x3F;
    EXPECT_FALSE(win_ole::decode_clipboard(claiming.data(), claiming.size()));
}

}  // namespace

#include <gtest/gtest.h>

#include <cstring>

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

// Enumerates the one value format.
class one_format_enumerator final : public IEnumFORMATETC {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override {
        delete this;
        return 0;
    }
    HRESULT STDMETHODCALLTYPE Next(ULONG, FORMATETC* formats, ULONG* fetched) override {
        if (given_) return S_FALSE;
        given_ = true;
        *formats = {test_data_object::value_format(), nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
        if (fetched) *fetched = 1;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Reset() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Clone(IEnumFORMATETC**) override { return E_NOTIMPL; }

private:
    bool given_ = false;
};

HRESULT test_data_object::EnumFormatEtc(DWORD, IEnumFORMATETC** formats) {
    *formats = new one_format_enumerator;
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

}  // namespace

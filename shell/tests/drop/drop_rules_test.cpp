// The drag loop's answers: the effect a drag offers, which data objects are
// taken, and when a drag out ends.
#include "folder/drop/drop_target.h"

#include <gtest/gtest.h>

#include "folder/module/module.h"
#include "win/com.h"
#include "win/machine.h"

namespace {

using drop_rules::effect_from_keys;

TEST(DropRules, ShiftAsksForAMoveAsFarAsTheSourceAllows) {
    const DWORD both = DROPEFFECT_COPY | DROPEFFECT_MOVE;
    EXPECT_EQ(effect_from_keys(MK_LBUTTON, both), DROPEFFECT_COPY);
    EXPECT_EQ(effect_from_keys(MK_LBUTTON | MK_SHIFT, both), DROPEFFECT_MOVE);
    EXPECT_EQ(effect_from_keys(MK_SHIFT, DROPEFFECT_COPY), DROPEFFECT_COPY);
    EXPECT_EQ(effect_from_keys(0, DROPEFFECT_MOVE), DROPEFFECT_MOVE);
    EXPECT_EQ(effect_from_keys(MK_CONTROL | MK_ALT, both | DROPEFFECT_LINK), DROPEFFECT_COPY)
        << "no link, Control and Alt do not matter";
    EXPECT_EQ(effect_from_keys(0, DROPEFFECT_NONE), DROPEFFECT_COPY);
}

TEST(DropRules, ADragOutEndsOnEscapeOrWhenTheLeftButtonIsUp) {
    CComObject<CDropSourceImpl>* source = nullptr;
    ASSERT_EQ(CComObject<CDropSourceImpl>::CreateInstance(&source), S_OK);
    source->AddRef();
    EXPECT_EQ(source->QueryContinueDrag(TRUE, MK_LBUTTON), DRAGDROP_S_CANCEL);
    EXPECT_EQ(source->QueryContinueDrag(FALSE, MK_LBUTTON), S_OK);
    EXPECT_EQ(source->QueryContinueDrag(FALSE, MK_RBUTTON), DRAGDROP_S_DROP);
    EXPECT_EQ(source->GiveFeedback(DROPEFFECT_COPY), DRAGDROP_S_USEDEFAULTCURSORS);
    source->Release();
}

// A data object that offers nothing a drop takes.
class empty_data_object final : public IDataObject {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        *object = (iid == IID_IUnknown || iid == IID_IDataObject) ? this : nullptr;
        return *object ? S_OK : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE GetData(FORMATETC*, STGMEDIUM*) override { return DV_E_FORMATETC; }
    HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC*) override { return DV_E_FORMATETC; }
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
};

TEST(DropRules, DataWithoutFilesIsRefusedAndNotOneOfOurs) {
    win_machine::scoped_root root;
    CCalvimoraModule module;
    empty_data_object data;
    EXPECT_FALSE(drop_rules::can_accept(&data));
    EXPECT_FALSE(drop_rules::is_drop_on_own_items(&data, CItemIdList()));
    bool own = true;
    EXPECT_EQ(
        drop_rules::read_drop_medium(nullptr, &data, nullptr, CItemIdList(), DROPEFFECT_COPY, own),
        E_INVALIDARG);
    EXPECT_FALSE(own);
}

}  // namespace

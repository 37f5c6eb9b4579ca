// The extension's own pages as the property sheet makes them.
#include <memory>

#include "ui/properties_general.h"
#include "ui/properties_share.h"
#include "ui/properties_sync.h"
#include "ui/property_sheet.h"

namespace {

// One page class behind the sheet's view of a page: the sync page fills
// with the start page, the others without it; a page without Apply saves
// through its own buttons.
template <typename Page>
class page_holder final : public sheet_page {
public:
    explicit page_holder(const sheet_selection& selection) : page_(selection) {}

    HWND create(HWND tab_control) override { return page_.Create(tab_control); }
    HWND window() const override { return page_.m_hWnd; }
    HRESULT fill(int start_page) override {
        if constexpr (requires(Page & page, int start) { page.Fill(start); })
            return page_.Fill(start_page);
        else
            return page_.Fill();
    }
    HRESULT apply() override {
        if constexpr (requires(Page & page) { page.Apply(); })
            return page_.Apply();
        else
            return S_OK;
    }

    bool loading() const override {
        if constexpr (requires(const Page& page) { page.WorkersRunning(); })
            return page_.WorkersRunning();
        else
            return false;
    }

private:
    Page page_;
};

template <typename Page>
sheet_page_makers::maker maker_of() {
    return [](const sheet_selection& selection) -> std::unique_ptr<sheet_page> {
        return std::make_unique<page_holder<Page>>(selection);
    };
}

}  // namespace

sheet_page_makers extension_page_makers() {
    return {maker_of<CPropertiesFileGeneralDlg>(), maker_of<CPropertiesFolderGeneralDlg>(),
            maker_of<CPropertiesFileShareDlg>(), maker_of<CPropertiesItemSyncDlg>()};
}

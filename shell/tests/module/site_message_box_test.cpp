// Boxes owned by the site's window, with captions and texts from the
// string table.
#include "folder/module/site_message_box.h"

#include <gtest/gtest.h>

#include <functional>

#include "win/machine.h"
#include "win/ole.h"
#include "win/process.h"
#include "win/test_journal.h"
#include "win/user_dialog.h"

namespace {

using namespace shell_utils;

constexpr UINT caption_id = 1900;
constexpr UINT one_argument = 1901;
constexpr UINT two_arguments = 1902;

// A site whose window is the one given; or none at all.
class site_with_window final : public IOleWindow {
public:
    explicit site_with_window(HWND window) : window_(window) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        *object = window_ && (iid == IID_IOleWindow || iid == IID_IUnknown) ? this : nullptr;
        if (*object) ++references;
        return *object ? S_OK : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override { return --references; }
    HRESULT STDMETHODCALLTYPE GetWindow(HWND* window) override {
        *window = window_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }

    ULONG references = 0;

private:
    HWND window_;
};

HWND make_window(const wchar_t* title) {
    return CreateWindowExW(0, WC_STATICW, title, WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr,
                           nullptr, nullptr, nullptr);
}

class SiteMessageBoxes : public ::testing::Test {
protected:
    void SetUp() override {
        win_dialogs::register_strings(win_module::this_module(),
                                      {{caption_id, L"Upload failed"},
                                       {one_argument, L"Cannot open %s."},
                                       {two_arguments, L"Copy %s to %ls? 100%% sure"}});
        explorer = make_window(L"explorer");
        caller = make_window(L"caller");
    }
    void TearDown() override {
        DestroyWindow(explorer);
        DestroyWindow(caller);
    }

    // The box's answer, and which of the two windows it was modal for.
    std::string owner_during(const std::function<int()>& show) {
        std::string owner = "none";
        win_test::scoped_message_box_responder responder(
            [&](const std::wstring&, const std::wstring&, UINT) {
                if (!IsWindowEnabled(explorer)) owner = "explorer";
                if (!IsWindowEnabled(caller)) owner = "caller";
                return IDOK;
            });
        show();
        return owner;
    }

    win_machine::scoped_root root;
    HWND explorer = nullptr;
    HWND caller = nullptr;
};

TEST_F(SiteMessageBoxes, TheSitesWindowOwnsTheBoxWhenThereIsOne) {
    site_with_window site(explorer);
    EXPECT_EQ(owner_during([&] { return MessageBoxWithSite(caller, &site, L"c", L"t", MB_OK); }),
              "explorer");
    EXPECT_EQ(site.references, 0u) << "the site's window interface was released";
    site_with_window windowless(nullptr);
    EXPECT_EQ(
        owner_during([&] { return MessageBoxWithSite(caller, &windowless, L"c", L"t", MB_OK); }),
        "caller");
    EXPECT_EQ(owner_during([&] { return MessageBoxWithSite(caller, nullptr, L"c", L"t", MB_OK); }),
              "caller");
}

TEST_F(SiteMessageBoxes, CaptionsAndFormatsComeFromTheStringTable) {
    MessageBoxCaptionId(nullptr, nullptr, caption_id, L"plain", MB_OK | MB_ICONERROR);
    MessageBoxFormat(nullptr, nullptr, caption_id, one_argument, L"a.txt", MB_OK);
    MessageBoxFormat2(nullptr, nullptr, caption_id, two_arguments, L"a.txt", L"Documents",
                      MB_YESNO);
    MessageBoxAnsiCaptionId(nullptr, nullptr, caption_id, "disk \xE9rror", MB_OK);
    const auto boxes = win_test::message_boxes();
    ASSERT_EQ(boxes.size(), 4u);
    EXPECT_EQ(boxes[0].caption, "Upload failed");
    EXPECT_EQ(boxes[0].text, "plain");
    EXPECT_EQ(boxes[0].type, static_cast<UINT>(MB_OK | MB_ICONERROR));
    EXPECT_EQ(boxes[1].text, "Cannot open a.txt.");
    EXPECT_EQ(boxes[2].text, "Copy a.txt to Documents? 100% sure");
    EXPECT_EQ(boxes[3].text, "disk \xC3\xA9rror");
    EXPECT_EQ(boxes[3].caption, "Upload failed");
}

TEST_F(SiteMessageBoxes, RetryThatNobodyChoseEndsAfterAFewAndAPersonsNever) {
    retry_answers unattended;
    int retries = 0;
    while (unattended(MessageBoxW(nullptr, L"failed", L"Error", MB_RETRYCANCEL)) == IDRETRY)
        ASSERT_LT(++retries, 100) << "the default Retry never ended";
    EXPECT_EQ(retries, retry_answers::unattended_limit);

    retry_answers person;
    win_test::scoped_message_box_responder script(
        [](const std::wstring&, const std::wstring&, UINT) { return IDRETRY; });
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(person(MessageBoxW(nullptr, L"failed", L"Error", MB_RETRYCANCEL)), IDRETRY);
    EXPECT_EQ(person(IDABORT), IDABORT) << "other answers pass as they are";
}

TEST(FormatArguments, PlaceholdersBeyondTheArgumentsStayAsWritten) {
    EXPECT_EQ(FormatWithArguments(L"%s and %s and %d", {L"one"}), L"one and %s and %d");
    EXPECT_EQ(FormatWithArguments(L"50%", {L"x"}), L"50%");
    EXPECT_EQ(FormatWithArguments(L"%s", {L"%s"}), L"%s") << "arguments are not formats";
}

}  // namespace

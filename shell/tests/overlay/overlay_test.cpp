// The overlay identifier: which local paths it marks, its table reads, and
// the icon file it names.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "folder/module/folder_session.h"
#include "folder/overlay/marked_paths.h"
#include "folder/overlay/shell_overlay_icon.h"
#include "syncer/tables/binding_manager.h"
#include "win/machine.h"

namespace {

class overlay_session : public folder_session {
public:
    bool logged_in = true;
    int asked = 0;
    bool is_logged_in() override {
        ++asked;
        return logged_in;
    }
    vfs::client_ptr get_client() override { throw std::runtime_error("no client here"); }
    vfs::user_info get_user_info() override {
        vfs::user_info info;
        info.user_name = L"alice";
        return info;
    }
    bool log_in_with_dialog(HWND) override { return false; }
};

syncer::binding bound(int type, const std::wstring& local, const std::wstring& file = L"") {
    return syncer::binding(type, 1, L"remote" + local.substr(2), local, file,
                           syncer::sync_permission::yes, syncer::binding::default_rule(), false,
                           L"");
}

class OverlayIcon : public ::testing::Test {
protected:
    OverlayIcon() {
        replace_folder_session(&session);
        shell_overlay::shared_session_user().forget();
        shell_overlay::shared_marked_paths().forget();
        CComObject<CShellOverlayIcon>::CreateInstance(&icon);
        icon->AddRef();
    }
    ~OverlayIcon() override {
        icon->Release();
        replace_folder_session(nullptr);
    }

    void add(const syncer::binding& binding) {
        syncer::binding_manager table(L"alice", true);
        table.add_binding(binding);
    }

    HRESULT marked(const std::wstring& path) { return icon->IsMemberOf(path.c_str(), 0); }

    win_machine::scoped_root root_;
    overlay_session session;
    CComObject<CShellOverlayIcon>* icon = nullptr;
};

TEST_F(OverlayIcon, MarksOnlyTheUsersOwnBoundFoldersAndFilesExactly) {
    add(bound(syncer::binding::type_user_choice, L"C:\\Users\\alice\\Sync"));
    add(bound(syncer::binding::type_user_choice, L"C:\\dir", L"file.txt"));
    add(bound(syncer::binding::type_upload_only, L"C:\\Upload"));
    add(bound(syncer::binding::type_saved_files, L"C:\\Saved"));

    EXPECT_EQ(marked(L"C:\\Users\\alice\\Sync"), S_OK);
    EXPECT_EQ(marked(L"C:/Users/alice/Sync"), S_OK);
    EXPECT_EQ(marked(L"C:\\Users/alice\\Sync"), S_OK);
    EXPECT_EQ(marked(L"C:\\users\\alice\\Sync"), S_FALSE) << "letter case counts";
    EXPECT_EQ(marked(L"C:\\Users\\alice\\Sync\\inside.txt"), S_FALSE);
    EXPECT_EQ(marked(L"C:\\Users\\alice"), S_FALSE);

    EXPECT_EQ(marked(L"C:\\dir\\file.txt"), S_OK);
    EXPECT_EQ(marked(L"C:/dir/file.txt"), S_OK);
    EXPECT_EQ(marked(L"C:\\dir"), S_FALSE) << "a file binding marks the file only";

    EXPECT_EQ(marked(L"C:\\Upload"), S_FALSE);
    EXPECT_EQ(marked(L"C:\\Saved"), S_FALSE);
    EXPECT_EQ(icon->IsMemberOf(nullptr, 0), S_FALSE);

    // Logged out (the session's answer is kept for a second at most).
    session.logged_in = false;
    shell_overlay::shared_session_user().forget();
    EXPECT_EQ(marked(L"C:\\Users\\alice\\Sync"), S_FALSE);
}

TEST_F(OverlayIcon, TheSessionIsAskedOnceForManyPaths) {
    add(bound(syncer::binding::type_user_choice, L"C:\\one"));
    for (int i = 0; i < 100; ++i) EXPECT_EQ(marked(L"C:\\one"), S_OK);
    EXPECT_EQ(session.asked, 1);
    session.logged_in = false;
    shell_overlay::shared_session_user().forget();
    for (int i = 0; i < 100; ++i) EXPECT_EQ(marked(L"C:\\one"), S_FALSE);
    EXPECT_EQ(session.asked, 2);
}

TEST_F(OverlayIcon, AFileNameStartingWithASeparatorGetsNoSecondOne) {
    syncer::binding binding = bound(syncer::binding::type_user_choice, L"C:\\dir", L"\\file");
    EXPECT_EQ(shell_overlay::local_path_of(binding), L"C:/dir/file");
    binding.filename.clear();
    EXPECT_EQ(shell_overlay::local_path_of(binding), L"C:/dir");
}

TEST_F(OverlayIcon, TheTableIsReadOnceUntilItsFileChanges) {
    shell_overlay::marked_paths paths;
    syncer::binding first = bound(syncer::binding::type_user_choice, L"C:\\one");
    add(first);
    for (int i = 0; i < 50; ++i) EXPECT_TRUE(paths.contains(L"alice", L"C:\\one"));
    EXPECT_EQ(paths.reads(), 1);

    // A pair added or removed by the sync pages is seen at the next question.
    add(bound(syncer::binding::type_user_choice, L"C:\\two"));
    EXPECT_TRUE(paths.contains(L"alice", L"C:\\two"));
    {
        syncer::binding_manager table(L"alice", true);
        table.remove_binding(first);
    }
    EXPECT_FALSE(paths.contains(L"alice", L"C:\\one"));
    EXPECT_EQ(paths.reads(), 3);

    // Another user's table is another table.
    EXPECT_FALSE(paths.contains(L"bob", L"C:\\two"));
}

TEST_F(OverlayIcon, TheIconFileIsTerminatedWithinTheBufferOrRefused) {
    wchar_t full[4 * MAX_PATH];
    int index = -1;
    DWORD flags = 0;
    ASSERT_EQ(icon->GetOverlayInfo(full, 4 * MAX_PATH, &index, &flags), S_OK);
    const std::wstring path(full);
    ASSERT_FALSE(path.empty());
    EXPECT_EQ(index, 3);
    EXPECT_EQ(flags, ISIOI_ICONFILE | ISIOI_ICONINDEX);

    // Exactly room for the path and its zero.
    std::wstring exact(path.size() + 1, L'#');
    EXPECT_EQ(icon->GetOverlayInfo(exact.data(), static_cast<int>(exact.size()), &index, &flags),
              S_OK);
    EXPECT_EQ(std::wstring(exact.c_str()), path);

    // One short: nothing beyond the buffer is written, and what is in it is
    // a terminated (empty) text, not a cut path without its zero.
    std::wstring short_buffer(path.size() + 2, L'#');
    const int room = static_cast<int>(path.size());
    EXPECT_TRUE(FAILED(icon->GetOverlayInfo(short_buffer.data(), room, &index, &flags)));
    EXPECT_EQ(short_buffer[0], L'\0');
    EXPECT_EQ(short_buffer[static_cast<size_t>(room)], L'#');
    EXPECT_EQ(icon->GetOverlayInfo(full, 0, &index, &flags), E_INVALIDARG);

    int priority = -1;
    EXPECT_EQ(icon->GetPriority(&priority), S_OK);
    EXPECT_EQ(priority, 0);
}

}  // namespace

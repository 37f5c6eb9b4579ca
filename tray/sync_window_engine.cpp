// CCMSyncWindow as the engine's syncer::user_interface: questions, errors,
// messages and results shown in boxes on the engine's threads, and the
// notice that the task list changed.
#include "sync_window.h"

#include "sync_messages.h"
#include "sync_strings.h"
#include "syncer/core/messages.h"
#include "syncer/core/paths.h"

int CCMSyncWindow::ask_question(int kind, const syncer::binding&, const std::wstring& dir_remote,
                                const std::wstring& dir_local, const std::wstring& filename,
                                bool offer_dont_ask_again, bool offer_apply_to_all) {
    return m_question.Ask(LoadSyncString(IDS_SYNC_CAPTION),
                          FormatSyncQuestion(kind, dir_remote, dir_local, filename),
                          offer_dont_ask_again, offer_apply_to_all);
}

int CCMSyncWindow::report_error(int kind, const std::wstring& message, const syncer::binding&,
                                const std::wstring& dir_remote, const std::wstring& dir_local,
                                const std::wstring& filename, bool offer_retry) {
    const std::wstring text = FormatSyncMessage(kind, dir_remote, dir_local, filename, message);
    const std::wstring caption = LoadSyncString(IDS_SYNC_CAPTION);
    const int answer = MessageBoxW(BoxOwner(), text.c_str(), caption.c_str(),
                                   MB_ICONERROR | (offer_retry ? MB_RETRYCANCEL : MB_OK));
    return offer_retry && answer == IDRETRY ? 1 : 0;
}

int CCMSyncWindow::show_message(int information_kind) {
    const std::wstring text =
        information_kind == syncer::information_table_restored
            ? FillPlaceholders(LoadSyncString(IDS_SYNC_TABLE_RESTORED), {syncer::product_name})
            : L"Unknown message";
    const std::wstring caption = LoadSyncString(IDS_SYNC_CAPTION);
    MessageBoxW(BoxOwner(), text.c_str(), caption.c_str(), MB_ICONINFORMATION);
    return syncer::message_shown;
}

int CCMSyncWindow::show_result(int result_kind, const syncer::binding&,
                               const std::wstring& dir_remote, const std::wstring&,
                               const std::wstring& filename) {
    constexpr int result_kinds = 6;
    const std::wstring text =
        result_kind >= 0 && result_kind < result_kinds
            ? FillPlaceholders(LoadSyncString(IDS_SYNC_UPLOADED + result_kind),
                               {syncer::join_path(dir_remote, filename)})
            : L"";
    const std::wstring caption = LoadSyncString(IDS_SYNC_CAPTION);
    MessageBoxW(BoxOwner(), text.c_str(), caption.c_str(), MB_ICONINFORMATION);
    return syncer::message_shown;
}

void CCMSyncWindow::tasks_changed() {
    if (const HWND window = m_postTarget.load()) PostMessageW(window, refresh_message, 0, 0);
}

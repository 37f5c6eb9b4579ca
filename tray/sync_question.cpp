#include "sync_question.h"

#include "syncer/core/answer.h"

CSyncQuestion::CSyncQuestion() : m_box(*this) {}

int CSyncQuestion::Ask(const std::wstring& caption, const text_parts& text,
                       bool offer_dont_ask_again, bool offer_apply_to_all) {
    std::lock_guard<std::mutex> one_at_a_time(m_asking);
    {
        std::lock_guard<std::mutex> guard(m_lock);
        if (m_refusals > 0) return syncer::answer_code::no;
        m_closedByRefusal = false;
    }
    const INT_PTR button = m_box.Ask(caption, text, offer_apply_to_all, offer_dont_ask_again);
    bool refused = false;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_open = nullptr;
        refused = m_closedByRefusal;
    }
    if (refused || (button != IDOK && button != IDCANCEL)) return syncer::answer_code::no;
    // A box that was not offered counts as not ticked, whoever ticked it.
    return syncer::make_answer(button == IDOK, offer_dont_ask_again && m_box.m_dontAskAgain != 0,
                               offer_apply_to_all && m_box.m_applyToAll != 0);
}

void CSyncQuestion::Opened(HWND box) {
    std::lock_guard<std::mutex> guard(m_lock);
    if (m_refusals > 0) {
        m_closedByRefusal = true;
        EndDialog(box, IDCANCEL);
        return;
    }
    m_open = box;
}

void CSyncQuestion::BeginRefusing() {
    std::lock_guard<std::mutex> guard(m_lock);
    ++m_refusals;
    if (m_open) {
        m_closedByRefusal = true;
        PostMessageW(m_open, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    }
}

void CSyncQuestion::EndRefusing() {
    std::lock_guard<std::mutex> guard(m_lock);
    if (m_refusals > 0) --m_refusals;
}

HWND CSyncQuestion::OpenBox() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_open;
}

BOOL CSyncQuestion::CBox::OnInitDialog() {
    const BOOL result = CYesNoMessageBox::OnInitDialog();
    m_owner.Opened(m_hWnd);
    return result;
}

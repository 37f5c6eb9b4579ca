// The engine's questions, asked in the question box on the engine's own
// thread (the scan thread, which waits for the answer).
//
// The box has no owner. The sync window belongs to the main thread, and a
// box owned by it would disable it from the scan thread: that sends the
// window messages and waits until the main thread handles them. The main
// thread, meanwhile, may itself be waiting for the scan (it reads the task
// list, which the scan holds while it asks, or it stops the scan), and
// neither would ever go on. Unowned, the box opens on top of all windows for
// a second, which is how a question from the background is seen anyway, and
// the sync window stays usable while it is up.
//
// Whoever is about to stop the scan refuses questions first: an open
// question is closed as No and new ones are answered No at once, so that
// stopping never waits for a person.
#pragma once

#include <mutex>
#include <string>

#include "ui/yes_no_message_box.h"

class CSyncQuestion {
public:
    CSyncQuestion();
    CSyncQuestion(const CSyncQuestion&) = delete;
    CSyncQuestion& operator=(const CSyncQuestion&) = delete;

    // Runs the box on the calling thread and returns the answer code: 7
    // for Yes, 3 for No, plus 1 when "Don't ask me again" was ticked and 2
    // when "Apply to all" was. A box that cannot open, a question refused
    // and a question closed by a refusal answer 3.
    int Ask(const std::wstring& caption, const text_parts& text, bool offer_dont_ask_again,
            bool offer_apply_to_all);

    // From any thread: until the matching EndRefusing, questions are
    // answered No (an open one is closed). Refusals nest.
    void BeginRefusing();
    void EndRefusing();

    // The open box, null while none is open.
    HWND OpenBox() const;

private:
    class CBox : public CYesNoMessageBox {
    public:
        explicit CBox(CSyncQuestion& owner) : m_owner(owner) {}

    protected:
        BOOL OnInitDialog() override;

    private:
        CSyncQuestion& m_owner;
    };

    // Called by the box once it is up: records it, or closes it at once
    // while questions are refused.
    void Opened(HWND box);

    std::mutex m_asking;  // one question at a time
    CBox m_box;

    mutable std::mutex m_lock;  // guards the fields below
    HWND m_open = nullptr;
    int m_refusals = 0;
    bool m_closedByRefusal = false;
};

// Questions refused for the life of the object.
class CRefusedQuestions {
public:
    explicit CRefusedQuestions(CSyncQuestion& question) : m_question(question) {
        m_question.BeginRefusing();
    }
    ~CRefusedQuestions() { m_question.EndRefusing(); }
    CRefusedQuestions(const CRefusedQuestions&) = delete;
    CRefusedQuestions& operator=(const CRefusedQuestions&) = delete;

private:
    CSyncQuestion& m_question;
};

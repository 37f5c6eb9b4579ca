// The terminal of a person who runs a program: the lines they type and
// Ctrl+C. Boxes, dialogs and menus may ask on several threads at once, and
// between their questions commands are typed (the tray icons'), so every line goes
// whole to one reader. Ctrl+C, in a program that asked for it, answers
// every question open or asked later as No and ends the program's loop.
#pragma once

#include <functional>
#include <string>

#include "win/user_types.h"

namespace win_user {

enum class typed { line, end_of_input, interrupted, stopped };

struct terminal_line {
    typed status = typed::line;
    std::string text;  // the line without its end
};

// One line from standard input. serve() runs about every 50 ms meanwhile
// (the caller's messages); stop() ends the wait with typed::stopped unless
// the line has begun. A hidden line (a password) is not echoed by the
// terminal.
terminal_line read_terminal_line(const std::function<void()>& serve,
                                 const std::function<bool()>& stop, bool hidden = false);

// A box, menu or dialog that asks the person on the terminal, for the life
// of the object: from before its question is printed until it has its
// answer, also while it acts on one line before it reads the next. Commands
// take no line meanwhile, whichever thread asks.
class terminal_question {
public:
    explicit terminal_question(bool counts = true);
    ~terminal_question();
    terminal_question(const terminal_question&) = delete;
    terminal_question& operator=(const terminal_question&) = delete;

private:
    bool counts_;
};

// Whether Ctrl+C has been pressed in a program that asked for it.
bool terminal_interrupted();

// From now on Ctrl+C does not kill the process: open and later questions
// are answered No and the thread gets WM_QUIT. A second Ctrl+C kills it.
void quit_on_terminal_interrupt(DWORD thread_id);

// One line typed as a command between questions (the tray icons' commands):
// as read_terminal_line, but a question asked meanwhile reads first, and
// the line is taken only while ready() holds (the commands' thread has
// nothing left to do, so a line typed ahead for a question it is about to
// ask is the question's).
terminal_line read_terminal_command(const std::function<void()>& serve,
                                    const std::function<bool()>& stop,
                                    const std::function<bool()>& ready);

}  // namespace win_user

// The application object and the program's entry.
#include "win/afx_app.h"

#include <atomic>

#include "kernel/wide_text.h"
#include "win/kernel.h"
#include "win/process.h"
#include "windowing/user_answers.h"
#include "windowing/user_terminal.h"

namespace {

std::atomic<CWinApp*> the_app{nullptr};

bool needs_quotes(const std::wstring& argument) {
    return argument.empty() || argument.find_first_of(L" \t\"") != std::wstring::npos;
}

// One argument as the C runtime reads it back: quoted, with each quote and
// the backslashes before it (and those before the closing quote) escaped.
std::wstring quoted(const std::wstring& argument) {
    std::wstring out = L"\"";
    size_t backslashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        if (c == L'"') {
            out.append(2 * backslashes + 1, L'\\');
        } else {
            out.append(backslashes, L'\\');
        }
        backslashes = 0;
        out += c;
    }
    out.append(2 * backslashes, L'\\');
    return out + L"\"";
}

}  // namespace

CWinApp::CWinApp() {
    the_app.store(this);
}

CWinApp::~CWinApp() {
    CWinApp* self = this;
    the_app.compare_exchange_strong(self, nullptr);
}

CWinApp* AfxGetApp() {
    return the_app.load();
}

namespace win_afx {

std::wstring command_line_of(int argc, char** argv) {
    std::wstring line;
    for (int index = 1; index < argc; ++index) {
        const std::wstring argument = win_detail::from_utf8(argv[index]);
        if (index > 1) line += L' ';
        line += needs_quotes(argument) ? quoted(argument) : argument;
    }
    return line;
}

}  // namespace win_afx

int AfxWinMain(int argc, char** argv) {
    CWinApp* app = AfxGetApp();
    if (!app) return 1;
    app->command_line_ = win_afx::command_line_of(argc, argv);
    app->m_lpCmdLine = app->command_line_.c_str();
    app->m_hInstance = GetModuleHandleW(nullptr);
    if (win_user::answers_on_terminal()) win_user::quit_on_terminal_interrupt(GetCurrentThreadId());
    return app->InitInstance();
}

// The command bar Explorer shows above a folder's view: the shell host asks
// the folder for its command provider, reads every command's texts, state
// and flags for the selection (none, or items of the browsed folder as a
// shell item array), opens the drop-downs of the commands that have them,
// and invokes a command by its title.
#pragma once

#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "shell_browser.h"
#include "win/shell_command.h"

namespace shell_host {

// One command of the bar as the host read it. A separator has no texts.
// depth is 0 for the bar's own commands, 1 for those of a drop-down.
struct bar_command {
    std::wstring title;
    std::wstring tip;
    std::wstring icon;
    GUID name{};
    EXPCMDSTATE state = ECS_ENABLED;
    EXPCMDFLAGS flags = ECF_DEFAULT;
    int depth = 0;

    bool separator() const { return (flags & ECF_ISSEPARATOR) != 0; }
    bool hidden() const { return (state & ECS_HIDDEN) != 0; }
    bool disabled() const { return (state & ECS_DISABLED) != 0; }
};

// The shell item array of the browsed folder's items at the indices.
HRESULT selection_items(shell_browser& browser, const std::vector<size_t>& indices,
                        IShellItemArray** items);

// The bar above the browsed folder. As Explorer does, it asks the folder's
// provider for the commands once per folder and keeps them while the
// selection changes, asking each command again for every selection.
class command_bar {
public:
    command_bar() = default;
    ~command_bar();
    command_bar(const command_bar&) = delete;
    command_bar& operator=(const command_bar&) = delete;

    // The bar for the selection (no indices: nothing selected), the
    // drop-down of each shown command that has one after it. The
    // provider's or the enumerator's failure.
    HRESULT read(shell_browser& browser, const std::vector<size_t>& indices,
                 std::vector<bar_command>& commands);
    // Invokes the command of that title (a drop-down's entries included;
    // an "&" of the title may be left out) as a click on the bar does:
    // only a command that is shown and enabled. E_INVALIDARG when the bar
    // offers none of that title; otherwise what the command answered.
    HRESULT invoke(shell_browser& browser, const std::vector<size_t>& indices,
                   const std::wstring& title);

    // The enumerator the folder's provider gives, for callers that walk it
    // themselves.
    static HRESULT provider_commands(IShellFolder* folder, IEnumExplorerCommand** list);

private:
    using visitor = std::function<bool(IExplorerCommand*, const bar_command&, IShellItemArray*)>;
    HRESULT walk(shell_browser& browser, const std::vector<size_t>& indices, const visitor& visit);
    void let_go();

    IShellFolder* folder_ = nullptr;
    std::vector<IExplorerCommand*> commands_;
};

// The terminal's bar commands: "bar [N[,M..]]" shows the bar for the
// selection and keeps it; "bar do TITLE" invokes a command of the bar last
// shown in this folder (for its selection), waiting for the workers it
// starts, and says what the shell was asked to run; "syncmgr", "openwith
// N" and "play music|video" are short for the bar commands that do it.
class terminal_bar {
public:
    using parse_items = std::function<std::optional<std::vector<size_t>>(const std::string&)>;
    using name_failure = std::function<std::string(HRESULT)>;

    // The usage lines for help.
    static constexpr const char* usage =
        "bar [N[,M..]]    show the command bar (for items N,M..)\n"
        "  bar do TITLE     run the command of that title of the bar last shown\n"
        "  syncmgr | openwith N | play music|video   the bar's Sync files, Open's\n"
        "                   programs for item N, Play All Music / Play All Video";
    // One command line (the command word and the rest).
    void run(shell_browser& browser, std::ostream& out, const std::string& command,
             const std::string& rest, const parse_items& items_of,
             const name_failure& failure_text);

private:
    void show(shell_browser& browser, std::ostream& out, const std::vector<size_t>& indices,
              const name_failure& failure_text);
    void invoke(shell_browser& browser, std::ostream& out, const std::vector<size_t>& indices,
                const std::string& title, const name_failure& failure_text);

    command_bar bar_;
    std::wstring folder_;
    std::vector<size_t> selection_;
};

}  // namespace shell_host

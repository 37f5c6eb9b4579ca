#include "host_command_bar.h"

#include <algorithm>
#include <functional>

#include "item_workers.h"
#include "kernel/wide_text.h"
#include "win/shell_info.h"
#include "win/shell_test.h"

namespace shell_host {

namespace {

using win_com::held;

// A text the command hands out (task memory, freed here); empty when it
// gives none.
template <typename Getter>
std::wstring taken(Getter get) {
    LPWSTR text = nullptr;
    const HRESULT result = get(&text);
    std::wstring copy = SUCCEEDED(result) && text ? std::wstring(text) : std::wstring();
    CoTaskMemFree(text);
    return copy;
}

bar_command read_command(IExplorerCommand* command, IShellItemArray* items, int depth) {
    bar_command read;
    read.depth = depth;
    command->GetFlags(&read.flags);
    command->GetCanonicalName(&read.name);
    // Explorer asks the state first: a command prepares for the selection
    // there.
    EXPCMDSTATE state = ECS_ENABLED;
    if (SUCCEEDED(command->GetState(items, TRUE, &state))) read.state = state;
    if (read.separator()) return read;
    read.title = taken([&](LPWSTR* text) { return command->GetTitle(items, text); });
    read.tip = taken([&](LPWSTR* text) { return command->GetToolTip(items, text); });
    read.icon = taken([&](LPWSTR* text) { return command->GetIcon(items, text); });
    return read;
}

// A command and the entries of its drop-down, in order: false from visit
// stops the walk (and is answered).
using command_visitor = std::function<bool(IExplorerCommand*, const bar_command&)>;

bool walk_below(IEnumExplorerCommand* list, IShellItemArray* items, int depth,
                const command_visitor& visit);

// The command, then the entries of its drop-down when it shows one.
bool visit_command(IExplorerCommand* command, IShellItemArray* items, int depth,
                   const command_visitor& visit) {
    const bar_command read = read_command(command, items, depth);
    if (!visit(command, read)) return false;
    if (read.hidden() || !(read.flags & ECF_HASSUBCOMMANDS)) return true;
    held<IEnumExplorerCommand> below;
    if (FAILED(command->EnumSubCommands(&below.p)) || !below.p) return true;
    return walk_below(below.p, items, depth + 1, visit);
}

bool walk_below(IEnumExplorerCommand* list, IShellItemArray* items, int depth,
                const command_visitor& visit) {
    IExplorerCommand* command = nullptr;
    ULONG fetched = 0;
    while (list->Next(1, &command, &fetched) == S_OK && fetched == 1 && command) {
        held<IExplorerCommand> holding;
        holding.p = command;
        if (!visit_command(command, items, depth, visit)) return false;
    }
    return true;
}

std::wstring without_ampersands(std::wstring text) {
    text.erase(std::remove(text.begin(), text.end(), L'&'), text.end());
    return text;
}

}  // namespace

HRESULT selection_items(shell_browser& browser, const std::vector<size_t>& indices,
                        IShellItemArray** items) {
    *items = nullptr;
    IShellFolder2* folder = browser.folder();
    if (!folder) return E_UNEXPECTED;
    std::vector<PCUITEMID_CHILD> ids;
    for (const size_t index : indices) {
        if (index >= browser.items().size()) return E_INVALIDARG;
        ids.push_back(browser.items()[index].id);
    }
    PIDLIST_ABSOLUTE parent = nullptr;
    HRESULT result = SHGetIDListFromObject(folder, &parent);
    if (FAILED(result)) return result;
    result =
        SHCreateShellItemArray(parent, folder, static_cast<UINT>(ids.size()), ids.data(), items);
    ILFree(parent);
    return result;
}

command_bar::~command_bar() {
    let_go();
}

void command_bar::let_go() {
    for (IExplorerCommand* command : commands_) command->Release();
    commands_.clear();
    if (folder_) folder_->Release();
    folder_ = nullptr;
}

HRESULT command_bar::provider_commands(IShellFolder* folder, IEnumExplorerCommand** list) {
    *list = nullptr;
    if (!folder) return E_UNEXPECTED;
    held<IExplorerCommandProvider> provider;
    const HRESULT result =
        folder->CreateViewObject(nullptr, IID_IExplorerCommandProvider, provider.out());
    if (FAILED(result)) return result;
    return provider.p->GetCommands(nullptr, IID_IEnumExplorerCommand,
                                   reinterpret_cast<void**>(list));
}

HRESULT command_bar::walk(shell_browser& browser, const std::vector<size_t>& indices,
                          const visitor& visit) {
    IShellFolder2* folder = browser.folder();
    if (!folder) return E_UNEXPECTED;
    // The folder is held with its commands, so another folder never takes
    // its place unnoticed.
    if (folder != folder_) {
        let_go();
        held<IEnumExplorerCommand> list;
        const HRESULT result = provider_commands(folder, &list.p);
        if (FAILED(result)) return result;
        IExplorerCommand* command = nullptr;
        ULONG fetched = 0;
        while (list.p->Next(1, &command, &fetched) == S_OK && fetched == 1 && command)
            commands_.push_back(command);
        folder_ = folder;
        folder_->AddRef();
    }
    held<IShellItemArray> items;
    if (!indices.empty()) {
        const HRESULT made = selection_items(browser, indices, &items.p);
        if (FAILED(made)) return made;
    }
    for (IExplorerCommand* command : commands_)
        if (!visit_command(command, items.p, 0,
                           [&](IExplorerCommand* each, const bar_command& read) {
                               return visit(each, read, items.p);
                           }))
            break;
    return S_OK;
}

HRESULT command_bar::read(shell_browser& browser, const std::vector<size_t>& indices,
                          std::vector<bar_command>& commands) {
    commands.clear();
    return walk(browser, indices,
                [&](IExplorerCommand*, const bar_command& read, IShellItemArray*) {
                    commands.push_back(read);
                    return true;
                });
}

HRESULT command_bar::invoke(shell_browser& browser, const std::vector<size_t>& indices,
                            const std::wstring& title) {
    HRESULT invoked = E_INVALIDARG;
    const HRESULT walked =
        walk(browser, indices,
             [&](IExplorerCommand* command, const bar_command& read, IShellItemArray* items) {
                 if (read.hidden() || read.disabled() || read.separator()) return true;
                 if (read.title != title && without_ampersands(read.title) != title) return true;
                 invoked = command->Invoke(items, nullptr);
                 return false;
             });
    return FAILED(walked) ? walked : invoked;
}

}  // namespace shell_host

namespace shell_host {

namespace {

std::string utf8(const std::wstring& text) {
    return win_detail::to_utf8(text);
}

std::string state_text(const bar_command& command) {
    if (command.hidden()) return "hidden";
    return command.disabled() ? "disabled" : "enabled";
}

}  // namespace

void terminal_bar::run(shell_browser& browser, std::ostream& out, const std::string& command,
                       const std::string& rest, const parse_items& items_of,
                       const name_failure& failure_text) {
    if (command == "syncmgr") {
        invoke(browser, out, {}, "Sync files", failure_text);
    } else if (command == "play") {
        if (rest != "music" && rest != "video")
            out << "usage: play music|video\n";
        else
            invoke(browser, out, {}, rest == "music" ? "Play All Music" : "Play All Video",
                   failure_text);
    } else if (command == "openwith") {
        if (rest.empty())
            out << "usage: openwith N\n";
        else if (const auto indices = items_of(rest))
            show(browser, out, *indices, failure_text);
    } else if (rest.rfind("do ", 0) == 0 || rest == "do") {
        const std::string title = rest.size() > 3 ? rest.substr(3) : std::string();
        if (title.empty()) {
            out << "usage: bar do TITLE\n";
            return;
        }
        const bool same_folder = folder_ == browser.location();
        invoke(browser, out, same_folder ? selection_ : std::vector<size_t>{}, title, failure_text);
    } else if (rest.empty()) {
        show(browser, out, {}, failure_text);
    } else if (const auto indices = items_of(rest)) {
        show(browser, out, *indices, failure_text);
    }
}

void terminal_bar::show(shell_browser& browser, std::ostream& out,
                        const std::vector<size_t>& indices, const name_failure& failure_text) {
    std::vector<bar_command> commands;
    const HRESULT result = bar_.read(browser, indices, commands);
    if (FAILED(result)) {
        out << "bar failed: " << failure_text(result) << "\n";
        return;
    }
    folder_ = browser.location();
    selection_ = indices;
    for (const bar_command& command : commands) {
        const std::string indent(2 + 4 * static_cast<size_t>(command.depth), ' ');
        if (command.separator()) {
            out << indent << "----\n";
            continue;
        }
        out << indent << (command.title.empty() ? std::string("(no title)") : utf8(command.title))
            << "  [" << state_text(command) << "]"
            << (!command.hidden() && (command.flags & ECF_HASSUBCOMMANDS) ? " >" : "") << "\n";
    }
    if (commands.empty()) out << "  (no commands)\n";
}

void terminal_bar::invoke(shell_browser& browser, std::ostream& out,
                          const std::vector<size_t>& indices, const std::string& title,
                          const name_failure& failure_text) {
    const size_t before = win_test::shell_executions().size();
    HRESULT result = E_FAIL;
    {
        extension_workers workers;
        result = bar_.invoke(browser, indices, win_detail::from_utf8(title));
        workers.wait();
    }
    if (result == E_INVALIDARG) {
        out << "the bar offers no command \"" << title << "\"; bar lists what it offers\n";
        return;
    }
    if (FAILED(result)) {
        out << title << " failed: " << failure_text(result) << "\n";
        return;
    }
    const auto executions = win_test::shell_executions();
    for (size_t i = before; i < executions.size(); ++i) {
        const auto& run = executions[i];
        out << "would " << (run.verb.empty() ? "open" : run.verb) << " "
            << (run.file.empty() ? "a window of the folder" : run.file)
            << (run.parameters.empty() ? "" : " " + run.parameters) << "\n";
    }
    out << "done\n";
}

}  // namespace shell_host

#include "terminal_browser.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <iomanip>
#include <istream>
#include <map>
#include <optional>
#include <ostream>
#include <sstream>

#include "host_background_menu.h"
#include "host_command_bar.h"
#include "host_drive_sheet.h"
#include "host_local_items.h"
#include "host_parsing.h"
#include "item_transfer.h"
#include "item_workers.h"
#include "kernel/wide_text.h"
#include "shell_browser.h"
#include "shell_drop.h"
#include "win/shell_test.h"
#include "win/shell_thread.h"
#include "win/user_queue.h"

namespace shell_host {

namespace {

// Each command with what it takes, as help shows it and as a command typed
// without what it needs is answered.
const struct {
    const char* name;
    const char* usage;
} commands[] = {
    {"ls", "ls               list the folder with its columns"},
    {"cd", "cd N | cd ..     open folder N / go back up"},
    {"cat", "cat N            print file N, read through its stream"},
    {"names", "names N          every name the folder gives item N"},
    {"mv", "mv N NEW NAME    rename item N"},
    {"get", "get N[,M..] DIR  copy items out into the local folder DIR"},
    {"copy", "copy N[,M..]     put items on the clipboard (cut N[,M..] to move them)"},
    {"paste", "paste DIR        paste the clipboard into the local folder DIR"},
    {"put", "put PATH         copy the local file or folder PATH in (move PATH to move it)"},
    {"menu", "menu N[,M..]     show the items' context menu"},
    {"do", "do N[,M..] TEXT  run the menu command of that text (or verb)"},
    {"open", "open N[,M..]     open items: files through local copies, folders in windows"},
    {"rm", "rm N[,M..]       delete items (to the trash; in the trash, for good)"},
    {"restore", "restore N[,M..]  put items of the trash back where they were"},
    {"overlay", "overlay PATH     ask the overlay identifiers whether they mark local PATH"},
    {"bg",
     "bg | bg do TEXT  the folder background's menu / run its command (New Folder, Paste ...)"},
    {"local",
     "local menu|props PATH[,PATH..] | local do PATH[,PATH..] TEXT\n"
     "                   the context menu or property sheet of local items of one folder"},
    {"parse",
     "parse PATH       parse PATH as programs do (relative, or from the folder's parsing\n"
     "                   name or the saved-files folder); saveas NAME as a Save-As dialog"},
    {"drive", "drive            the sheet of the folder's own icon: space used, free and capacity"},
    {"props",
     "props N[,M..] [general|sharing|sync]\n"
     "                   open the items' property sheet at that page (general if none)"},
    {"bar", shell_host::terminal_bar::usage},
};

std::string help_text() {
    std::string text = "commands:\n";
    for (const auto& command : commands) text += std::string("  ") + command.usage + "\n";
    return text + "  help, quit\n";
}

std::string usage_of(const std::string& name) {
    const std::string& wanted = name == "cut"      ? "copy"
                                : name == "move"   ? "put"
                                : name == "saveas" ? "parse"
                                                   : name;
    for (const auto& command : commands)
        if (wanted == command.name) return std::string("usage: ") + command.usage + "\n";
    return "unknown command; try help\n";
}

std::string utf8(const std::wstring& text) {
    return win_detail::to_utf8(text);
}

// What a failure means, in words a person reads: the system's own message
// for a code it has one for, else a plain sentence; the code itself only
// when nothing better is known.
constexpr unsigned win32_facility = 7;

std::string hresult_text(HRESULT result) {
    switch (result) {
        case E_NOTIMPL:
            return "this command is not available for this item";
        case E_NOINTERFACE:
            return "this item does not offer that";
        case E_INVALIDARG:
            return "the item does not take that";
        case E_ABORT:
            return "cancelled";
        case E_UNEXPECTED:
            return "this item cannot do that";
        case E_FAIL:
            return "it did not work (any message above says why)";
        case CLIPBRD_E_CANT_OPEN:
            return "the clipboard is empty";
        case DV_E_FORMATETC:
            return "the data holds nothing this can use";
        default:
            break;
    }
    const unsigned code = static_cast<unsigned>(result);
    if (((code >> 16) & 0x1FFF) == win32_facility) {
        char text[512];
        if (FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, code & 0xFFFF, 0, text, sizeof text,
                           nullptr) != 0) {
            std::string message(text);
            while (!message.empty() && (message.back() == '\n' || message.back() == '\r'))
                message.pop_back();
            return message;
        }
    }
    std::ostringstream out;
    out << "error 0x" << std::hex << std::uppercase << std::setw(8) << std::setfill('0') << code;
    return out.str();
}

// The columns a character takes on a terminal: two for the wide characters
// of East Asian scripts and for pictographs, none for combining marks and
// joiners, one for the rest.
size_t display_width(wchar_t character) {
    const auto code = static_cast<char32_t>(character);
    const auto within = [code](char32_t first, char32_t last) {
        return code >= first && code <= last;
    };
    if (within(0x0300, 0x036F) || within(0x1AB0, 0x1AFF) || within(0x1DC0, 0x1DFF) ||
        within(0x200B, 0x200F) || within(0x20D0, 0x20FF) || within(0xFE00, 0xFE0F) ||
        within(0xFE20, 0xFE2F))
        return 0;
    if (within(0x1100, 0x115F) || within(0x2E80, 0x303E) || within(0x3041, 0x33FF) ||
        within(0x3400, 0x4DBF) || within(0x4E00, 0x9FFF) || within(0xA000, 0xA4CF) ||
        within(0xAC00, 0xD7A3) || within(0xF900, 0xFAFF) || within(0xFE30, 0xFE4F) ||
        within(0xFF00, 0xFF60) || within(0xFFE0, 0xFFE6) || within(0x1F300, 0x1F64F) ||
        within(0x1F900, 0x1F9FF) || within(0x20000, 0x3FFFD))
        return 2;
    return 1;
}

// The text cut or padded to width terminal columns, on the side the
// alignment asks; a cut text ends with "~".
std::string cell(const std::wstring& text, size_t width, int format) {
    size_t used = 0;
    for (const wchar_t character : text) used += display_width(character);
    std::wstring fitted = text;
    if (used > width) {
        fitted.clear();
        used = 0;
        for (const wchar_t character : text) {
            if (used + display_width(character) + 1 > width) break;
            fitted += character;
            used += display_width(character);
        }
        fitted += L'~';
        ++used;
    }
    const std::wstring padding(width - used, L' ');
    return utf8(format == LVCFMT_RIGHT ? padding + fitted : fitted + padding);
}

// The characters a column gets on the terminal: the folder's width leaves
// no room for a date with its time.
size_t terminal_width(const column_heading& column) {
    return static_cast<size_t>(std::max(column.width, 8)) * 3 / 2;
}

class session {
public:
    session(shell_browser& browser, REFCLSID junction, std::ostream& out)
        : browser_(browser), junction_(junction), out_(out) {}

    void show() {
        out_ << utf8(browser_.location()) << "\n";
        const std::vector<column_heading> columns = browser_.headings();
        out_ << "  # ";
        for (const column_heading& column : columns)
            out_ << cell(column.text, terminal_width(column), column.format) << " ";
        out_ << "\n";
        const auto& items = browser_.items();
        for (size_t i = 0; i < items.size(); ++i) {
            out_ << std::setw(3) << i << " ";
            for (size_t c = 0; c < columns.size() && c < items[i].columns.size(); ++c)
                out_ << cell(items[i].columns[c], terminal_width(columns[c]), columns[c].format)
                     << " ";
            out_ << (items[i].is_folder() ? "[folder]" : "") << "\n";
        }
        if (items.empty()) out_ << "    (empty)\n";
    }

    // One command; false to end.
    bool run(const std::string& line) {
        std::istringstream words(line);
        std::string command;
        words >> command;
        if (command.empty()) return true;
        if (command == "quit" || command == "exit") return false;
        if (command == "help") {
            out_ << help_text();
        } else if (command == "ls") {
            report("list", browser_.list());
            show();
        } else if (command == "cd") {
            std::string target;
            words >> target;
            if (target.empty()) {
                out_ << usage_of(command);
            } else if (target == "..") {
                if (report("up", browser_.up())) show();
            } else if (const auto index = item_of(target)) {
                if (!browser_.items()[*index].is_folder())
                    out_ << "item " << *index << " is not a folder\n";
                else if (report("open", browser_.enter(*index)))
                    show();
            }
        } else if (command == "cat") {
            std::string target;
            words >> target;
            if (target.empty()) {
                out_ << usage_of(command);
            } else if (const auto index = item_of(target)) {
                std::vector<unsigned char> bytes;
                if (browser_.items()[*index].is_folder()) {
                    out_ << "item " << *index << " is a folder, not a file\n";
                    return true;
                }
                if (report("read", browser_.read_file(*index, bytes))) {
                    out_.write(reinterpret_cast<const char*>(bytes.data()),
                               static_cast<std::streamsize>(bytes.size()));
                    out_ << "\n(" << bytes.size() << " bytes)\n";
                }
            }
        } else if (command == "names") {
            std::string target;
            words >> target;
            if (target.empty())
                out_ << usage_of(command);
            else if (const auto index = item_of(target))
                names(*index);
        } else if (command == "mv") {
            std::string target, name;
            words >> target;
            std::getline(words >> std::ws, name);
            if (target.empty() || name.empty()) {
                out_ << usage_of(command);
                return true;
            }
            if (name.find_first_of("/\\") != std::string::npos) {
                out_ << "a name can not hold \"/\" or \"\\\": mv renames an item in its folder "
                        "(to move one, cut it and paste it into the other folder)\n";
                return true;
            }
            const auto index = item_of(target);
            if (index && report("rename", browser_.rename(*index, win_detail::from_utf8(name))))
                show();
        } else if (command == "get" || command == "copy" || command == "cut" || command == "menu" ||
                   command == "do") {
            std::string targets, rest;
            words >> targets;
            std::getline(words >> std::ws, rest);
            const bool needs_rest = command == "get" || command == "do";
            if (targets.empty() || (needs_rest && rest.empty()))
                out_ << usage_of(command);
            else if (const auto indices = items_of(targets))
                transfer(command, *indices, rest);
        } else if (command == "open") {
            std::string targets;
            words >> targets;
            if (targets.empty())
                out_ << usage_of(command);
            else if (const auto indices = items_of(targets))
                open_items(*indices);
        } else if (command == "put" || command == "move") {
            std::string path;
            std::getline(words >> std::ws, path);
            std::error_code unreadable;
            if (path.empty())
                out_ << usage_of(command);
            else if (!std::filesystem::exists(std::filesystem::path(path), unreadable))
                out_ << "no such file or folder: " << path << "\n";
            else
                put(path, command == "move");
        } else if (command == "paste") {
            std::string folder;
            std::getline(words >> std::ws, folder);
            shell_host::copy_out_result pasted;
            if (folder.empty()) {
                out_ << usage_of(command);
                return true;
            }
            if (!local_folder_for_copies(folder)) return true;
            const HRESULT result = paste_to_local(folder, pasted);
            if (result == DV_E_FORMATETC)
                out_ << "paste failed: the clipboard names files but holds none of their "
                        "contents; nothing was pasted\n";
            else if (report("paste", result))
                out_ << pasted.files.size() << " files, " << pasted.folders.size()
                     << " folders pasted" << kept_note(pasted) << "\n";
        } else if (command == "rm" || command == "restore") {
            std::string targets;
            words >> targets;
            if (targets.empty())
                out_ << usage_of(command);
            else if (const auto indices = items_of(targets))
                remove_or_restore(command == "rm", *indices);
        } else if (command == "props") {
            std::string targets, page;
            words >> targets >> page;
            if (targets.empty())
                out_ << usage_of(command);
            else if (const auto indices = items_of(targets))
                properties(*indices, page.empty() ? "general" : page);
        } else if (command == "bg") {
            std::string rest;
            std::getline(words >> std::ws, rest);
            bool changed = false;
            if (report("bg", background_menu_command(browser_, rest, out_, changed)) && changed &&
                report("list", browser_.list()))
                show();
        } else if (command == "bar" || command == "syncmgr" || command == "openwith" ||
                   command == "play") {
            std::string rest;
            std::getline(words >> std::ws, rest);
            bar_.run(
                browser_, out_, command, rest, [this](const std::string& w) { return items_of(w); },
                hresult_text);
        } else if (command == "local") {
            std::string rest;
            std::getline(words >> std::ws, rest);
            out_ << local_items_command(rest);
        } else if (command == "drive") {
            if (report("drive sheet", open_drive_sheet(junction_))) out_ << "closed\n";
        } else if (command == "parse" || command == "saveas") {
            std::string path;
            std::getline(words >> std::ws, path);
            if (path.empty())
                out_ << usage_of(command);
            else
                report(command.c_str(), parse_in_folder(browser_, win_detail::from_utf8(path),
                                                        command == "saveas", out_));
        } else if (command == "overlay") {
            std::string path;
            std::getline(words >> std::ws, path);
            if (path.empty())
                out_ << usage_of(command);
            else
                overlay(path);
        } else {
            out_ << usage_of(command);
        }
        return true;
    }

private:
    static std::string kept_note(const copy_out_result& result) {
        if (result.kept.empty()) return std::string();
        return ", " + std::to_string(result.kept.size()) + " existing files kept";
    }

    // "N" or "N,M,...".
    std::optional<std::vector<size_t>> items_of(const std::string& words) {
        std::vector<size_t> indices;
        std::istringstream list(words);
        std::string word;
        while (std::getline(list, word, ',')) {
            const auto index = item_of(word);
            if (!index) return std::nullopt;
            indices.push_back(*index);
        }
        if (indices.empty()) {
            out_ << "no item given\n";
            return std::nullopt;
        }
        return indices;
    }

    // Copies go into a local folder that is there or is made for them: one
    // that can not be made is named at once, rather than failing the copy of
    // every file into it.
    bool local_folder_for_copies(const std::string& path) {
        std::error_code failure;
        std::filesystem::create_directories(std::filesystem::path(path), failure);
        if (!failure && std::filesystem::is_directory(std::filesystem::path(path), failure))
            return true;
        out_ << "the local folder " << path << " is not there and can not be made ("
             << (failure ? failure.message() : std::string("a file has its name")) << ")\n";
        return false;
    }

    void transfer(const std::string& command, const std::vector<size_t>& indices,
                  const std::string& rest) {
        if (command == "get") {
            if (!local_folder_for_copies(rest)) return;
            IDataObject* object = nullptr;
            if (!report("copy out", data_object_of(browser_, indices, &object))) return;
            copy_out_result copied;
            if (report("copy out", copy_out(object, rest, copied)))
                out_ << copied.files.size() << " files, " << copied.folders.size()
                     << " folders copied" << kept_note(copied) << "\n";
            object->Release();
        } else if (command == "copy" || command == "cut") {
            if (report(command.c_str(), copy_to_clipboard(browser_, indices, command == "cut")))
                out_ << "on the clipboard\n";
        } else if (command == "menu") {
            std::vector<menu_item> items;
            if (!report("menu", item_menu(browser_, indices, CMF_NORMAL, items))) return;
            for (const menu_item& item : items)
                out_ << (item.separator ? std::string("  ----")
                                        : "  " + utf8(item.text) +
                                              (item.state & MFS_DEFAULT ? " (default)" : ""))
                     << "\n";
        } else {
            const HRESULT done = invoke_and_wait(indices, win_detail::from_utf8(rest));
            if (done == E_INVALIDARG) {
                out_ << "the item has no command \"" << rest << "\"; menu " << targets_text(indices)
                     << " lists its commands\n";
                return;
            }
            if (!report(rest.c_str(), done)) return;
            out_ << "done\n";
            report("list", browser_.list());
        }
    }

    // The item menu's Delete (waiting for the extension's worker) or Restore.
    void remove_or_restore(bool remove, const std::vector<size_t>& indices) {
        const HRESULT done =
            remove ? delete_items(browser_, indices) : restore_items(browser_, indices);
        if (!remove && done == E_INVALIDARG) {
            out_ << "only items of the trash can be restored\n";
            return;
        }
        if (!report(remove ? "delete" : "restore", done)) return;
        if (report("list", browser_.list())) show();
    }

    // The sheet opens through the item menu's command for its page and runs
    // on the extension's thread until it is closed; its pages are answered
    // on the terminal meanwhile.
    void properties(const std::vector<size_t>& indices, const std::string& page) {
        const std::map<std::string, std::wstring> commands_of_pages = {
            {"general", L"properties"},
            {"sharing", L"Share..."},
            {"sync", L"Synchronize with Computer"},
        };
        const auto found = commands_of_pages.find(page);
        if (found == commands_of_pages.end()) {
            out_ << "no page \"" << page << "\": general, sharing or sync\n";
            return;
        }
        const HRESULT done = invoke_and_wait(indices, found->second);
        if (done == E_INVALIDARG) {
            out_ << "the selection has no " << page << " page; menu " << targets_text(indices)
                 << " lists its commands\n";
            return;
        }
        if (!report("properties", done)) return;
        if (report("list", browser_.list())) show();
    }

    void overlay(const std::string& path) {
        const std::vector<overlay_answer> answers =
            ask_overlay_identifiers(win_detail::from_utf8(path));
        if (answers.empty()) out_ << "no overlay identifier is registered\n";
        for (const overlay_answer& answer : answers)
            out_ << "  " << utf8(answer.name) << ": "
                 << (answer.result == S_OK      ? std::string("marked")
                     : answer.result == S_FALSE ? std::string("not marked")
                                                : "failed: " + hresult_text(answer.result))
                 << "\n";
    }

    static std::string targets_text(const std::vector<size_t>& indices) {
        std::string text;
        for (const size_t index : indices)
            text += (text.empty() ? "" : ",") + std::to_string(index);
        return text;
    }

    // A command of the item menu, waited for: a worker thread it starts
    // holds the host's process reference until it ends, and this thread
    // serves the messages the worker's windows send it meanwhile.
    HRESULT invoke_and_wait(const std::vector<size_t>& indices, const std::wstring& command) {
        extension_workers workers;
        const HRESULT result = invoke_item_command(browser_, indices, command);
        workers.wait();
        return result;
    }

    // The item menu's Open, waited for; then what the shell was asked to
    // open, from its journal (nothing is run here).
    void open_items(const std::vector<size_t>& indices) {
        const size_t before = win_test::shell_executions().size();
        const HRESULT result = invoke_and_wait(indices, L"Open");
        if (!report("open", result)) return;
        const auto executions = win_test::shell_executions();
        for (size_t i = before; i < executions.size(); ++i) {
            const auto& run = executions[i];
            out_ << "would " << (run.verb.empty() ? "open" : run.verb) << " "
                 << (run.file.empty() ? "a window of the folder" : run.file)
                 << (run.parameters.empty() ? "" : " " + run.parameters) << "\n";
        }
        if (executions.size() == before) out_ << "nothing to open\n";
    }

    // Drops the local path on the current folder, as Explorer drops a file
    // dragged from a local window.
    void put(const std::string& path, bool move) {
        IDropTarget* target = drop_target_of(browser_.folder());
        if (!target) {
            out_ << "the folder takes no drops\n";
            return;
        }
        const drop_outcome dropped =
            drop_local_files(target, {win_detail::from_utf8(path)}, false, move);
        target->Release();
        if (!report(move ? "move in" : "copy in", dropped.result)) return;
        out_ << (dropped.effect == DROPEFFECT_NONE ? "not everything arrived; the source stays\n"
                                                   : "done\n");
        if (report("list", browser_.list())) show();
    }

    std::optional<size_t> item_of(const std::string& word) {
        size_t index = 0;
        std::istringstream number(word);
        if (!(number >> index) || index >= browser_.items().size()) {
            out_ << "no item " << word << "\n";
            return std::nullopt;
        }
        return index;
    }

    bool report(const char* what, HRESULT result) {
        if (SUCCEEDED(result)) return true;
        out_ << what << " failed: " << hresult_text(result) << "\n";
        return false;
    }

    void names(size_t index) {
        const struct {
            const char* label;
            SHGDNF flags;
        } kinds[] = {
            {"normal", SHGDN_NORMAL},
            {"in folder", SHGDN_INFOLDER},
            {"for editing", SHGDN_INFOLDER | SHGDN_FOREDITING},
            {"for parsing", SHGDN_FORPARSING},
            {"in folder, for parsing", SHGDN_INFOLDER | SHGDN_FORPARSING},
            {"for the address bar", SHGDN_FORPARSING | SHGDN_FORADDRESSBAR},
        };
        for (const auto& kind : kinds)
            out_ << "  " << kind.label << ": " << utf8(browser_.display_name(index, kind.flags))
                 << "\n";
    }

    shell_browser& browser_;
    const CLSID junction_;
    std::ostream& out_;
    terminal_bar bar_;
};

}  // namespace

int run_terminal_browser(REFCLSID junction, std::istream& in, std::ostream& out) {
    shell_browser browser;
    HRESULT result = browser.open(junction);
    if (FAILED(result)) {
        out << "cannot open the folder: " << hresult_text(result) << "\n";
        return 1;
    }
    session person(browser, junction, out);
    out << help_text();
    result = browser.list();
    if (FAILED(result)) out << "list failed: " << hresult_text(result) << "\n";
    person.show();
    std::string line;
    while (out << "> " << std::flush, std::getline(in, line))
        if (!person.run(line)) break;
    // What this host put on the clipboard outlives it, as a program that
    // ends leaves it.
    OleFlushClipboard();
    return 0;
}

}  // namespace shell_host

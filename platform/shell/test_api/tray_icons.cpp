// The test API of the tray: the process's icons as the shell holds them,
// the driver of a person's use of them, and the journal of their changes.
#include <cstdlib>

#include "kernel/journal.h"
#include "shell/shell_journals.h"
#include "shell/tray_icons.h"
#include "win/shell_test.h"

// The test's view copies every field of the shell's record, one by one
// below: a field added to one record and not the other changes its size.
static_assert(sizeof(win_test::tray_icon) == sizeof(win_shell::tray_icon));
static_assert(sizeof(win_test::tray_balloon) == sizeof(win_shell::tray_balloon));

namespace win_test {

namespace {

std::optional<tray_balloon> as_test_balloon(const std::optional<win_shell::tray_balloon>& b) {
    if (!b) return std::nullopt;
    return tray_balloon{b->title, b->text, b->timeout_ms, b->flags};
}

tray_icon as_test_icon(const win_shell::tray_icon& icon) {
    tray_icon out;
    out.window = icon.window;
    out.id = icon.id;
    out.callback_message = icon.callback_message;
    out.icon = icon.icon;
    out.icon_id = icon.icon_id;
    out.tip = icon.tip;
    out.version = icon.version;
    out.balloon = as_test_balloon(icon.balloon);
    out.last_balloon = as_test_balloon(icon.last_balloon);
    out.balloons_shown = icon.balloons_shown;
    out.modifications = icon.modifications;
    return out;
}

}  // namespace

std::vector<tray_icon> tray_icons() {
    std::vector<tray_icon> out;
    for (const win_shell::tray_icon& icon : win_shell::tray_icons())
        out.push_back(as_test_icon(icon));
    return out;
}

std::optional<tray_icon> find_tray_icon(HWND window, UINT id) {
    const std::optional<win_shell::tray_icon> icon = win_shell::find_tray_icon(window, id);
    if (!icon) return std::nullopt;
    return as_test_icon(*icon);
}

bool tray_icon_event(HWND window, UINT id, UINT event) {
    return win_shell::tray_icon_event(window, id, event);
}

void set_tray_modify_refused(bool refused) {
    win_shell::set_tray_modify_refused(refused);
}

void forget_tray_icons() {
    win_shell::forget_tray_icons();
}

std::vector<tray_record> tray_journal() {
    std::vector<tray_record> out;
    for (const auto& r :
         win_detail::read_journal_records(win_detail::journal_file(win_shell::tray_journal))) {
        if (r.size() != 11) continue;
        tray_record record;
        record.operation = r[0];
        record.succeeded = r[1] == "1";
        record.id = static_cast<UINT>(std::strtoul(r[2].c_str(), nullptr, 10));
        record.flags = win_detail::parse_hex_field(r[3]).value_or(0);
        record.callback_message = win_detail::parse_hex_field(r[4]).value_or(0);
        record.icon_id = std::atoi(r[5].c_str());
        record.tip = r[6];
        record.info = r[7];
        record.info_title = r[8];
        record.timeout_ms = static_cast<UINT>(std::strtoul(r[9].c_str(), nullptr, 10));
        record.info_flags = win_detail::parse_hex_field(r[10]).value_or(0);
        out.push_back(std::move(record));
    }
    return out;
}

void clear_tray_journal() {
    win_detail::clear_journal(win_detail::journal_file(win_shell::tray_journal));
}

}  // namespace win_test

// The test API of the shell's journals: the notifications and executions
// the shell recorded, and the drops a test's drop handler noted.
#include <cstdlib>
#include <optional>

#include "kernel/journal.h"
#include "kernel/wide_text.h"
#include "shell/shell_journals.h"
#include "win/shell_test.h"
#include "win/test_journal.h"

namespace {

// Only tests write and read this one (the module test_drop_handler).
const char* const handler_journal = "handler-drops";

// An item's journal field: "-" when absent, else "+" and its text.
std::optional<std::string> item_from_field(const std::string& field) {
    if (field.empty() || field[0] != '+') return std::nullopt;
    return field.substr(1);
}

}  // namespace

namespace win_test {

std::vector<shell_notification> shell_notifications() {
    std::vector<shell_notification> out;
    for (const auto& record : win_detail::read_journal_records(
             win_detail::journal_file(win_shell::notifications_journal))) {
        if (record.size() != 4) continue;
        const auto event = win_detail::parse_hex_field(record[0]);
        const auto flags = win_detail::parse_hex_field(record[1]);
        if (!event || !flags) continue;
        shell_notification n;
        n.event = static_cast<LONG>(*event);
        n.flags = *flags;
        n.item1 = item_from_field(record[2]);
        n.item2 = item_from_field(record[3]);
        out.push_back(std::move(n));
    }
    return out;
}

void clear_shell_notifications() {
    win_detail::clear_journal(win_detail::journal_file(win_shell::notifications_journal));
}

std::vector<shell_execution> shell_executions() {
    std::vector<shell_execution> out;
    for (const auto& record :
         win_detail::read_journal_records(win_detail::journal_file(win_shell::execution_journal))) {
        if (record.size() != 9) continue;
        out.push_back({record[0], record[1], record[2], record[3], std::atoi(record[4].c_str()),
                       record[5], std::atoi(record[6].c_str()),
                       static_cast<unsigned>(std::strtoul(record[7].c_str(), nullptr, 10)),
                       record[8]});
    }
    return out;
}

void clear_shell_executions() {
    win_detail::clear_journal(win_detail::journal_file(win_shell::execution_journal));
}

std::vector<handler_drop> handler_drops() {
    std::vector<handler_drop> out;
    for (const auto& record :
         win_detail::read_journal_records(win_detail::journal_file(handler_journal))) {
        if (record.size() < 2) continue;
        handler_drop drop{record[0], record[1], {}};
        for (size_t i = 2; i < record.size(); ++i)
            drop.files.push_back(win_detail::from_utf8(record[i]));
        out.push_back(std::move(drop));
    }
    return out;
}

void clear_handler_drops() {
    win_detail::clear_journal(win_detail::journal_file(handler_journal));
}

void note_handler_drop(const handler_drop& drop) {
    std::vector<std::string> fields{drop.call, drop.instance};
    for (const auto& file : drop.files) fields.push_back(win_detail::to_utf8(file));
    win_detail::append_journal_record(win_detail::journal_file(handler_journal), fields);
}

}  // namespace win_test

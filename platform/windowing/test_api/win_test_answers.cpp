// The test API of the answers: the scripts that answer boxes, dialogs and
// menus in the process, and the journals of what was answered.
#include <cstdlib>
#include <string_view>

#include "kernel/journal.h"
#include "win/test_journal.h"
#include "win/win_test.h"
#include "windowing/user_answer_file.h"
#include "windowing/user_answers.h"
#include "windowing/user_menu_state.h"

static_assert(std::string_view(win_test::answers_file_variable) ==
              std::string_view(win_user::answers_file_variable));

namespace win_test {

int default_button(UINT type) {
    return win_user::default_button(type);
}

void set_message_box_responder(message_box_responder responder) {
    win_user::set_message_box_responder(std::move(responder));
}

std::vector<message_box> message_boxes() {
    std::vector<message_box> out;
    for (const auto& record : win_detail::read_journal_records(
             win_detail::journal_file(win_user::message_box_journal))) {
        if (record.size() != 5) continue;
        const auto type = win_detail::parse_hex_field(record[0]);
        if (!type) continue;
        message_box box;
        box.type = *type;
        box.answer = std::atoi(record[1].c_str());
        box.text = record[2];
        box.caption = record[3];
        box.answered_by = record[4];
        out.push_back(std::move(box));
    }
    return out;
}

void clear_message_boxes() {
    win_detail::clear_journal(win_detail::journal_file(win_user::message_box_journal));
}

void set_dialog_responder(dialog_script script) {
    win_user::set_dialog_responder(std::move(script));
}

std::vector<dialog_record> dialogs() {
    std::vector<dialog_record> out;
    for (const auto& record :
         win_detail::read_journal_records(win_detail::journal_file(win_user::dialog_journal))) {
        if (record.size() != 4) continue;
        out.push_back({record[0], record[1], std::atoll(record[2].c_str()), record[3]});
    }
    return out;
}

void clear_dialogs() {
    win_detail::clear_journal(win_detail::journal_file(win_user::dialog_journal));
}

std::vector<menu_entry> menu_items(HMENU menu) {
    std::vector<menu_entry> out;
    if (const auto items = win_user::items_of(menu))
        for (const win_user::menu_item& i : *items)
            out.push_back({i.type, i.state, i.id, i.text, i.submenu, i.bitmap});
    return out;
}

void set_menu_responder(menu_script script) {
    win_user::set_menu_responder(std::move(script));
}

std::vector<menu_record> menus() {
    std::vector<menu_record> out;
    for (const auto& r :
         win_detail::read_journal_records(win_detail::journal_file(win_user::menu_journal))) {
        if (r.size() < 3 || (r.size() - 3) % 5 != 0) continue;
        menu_record record;
        record.chosen = static_cast<UINT>(std::strtoul(r[0].c_str(), nullptr, 10));
        record.answered_by = r[1];
        record.flags = win_detail::parse_hex_field(r[2]).value_or(0);
        for (size_t i = 3; i < r.size(); i += 5)
            record.items.push_back(
                {std::atoi(r[i].c_str()), win_detail::parse_hex_field(r[i + 1]).value_or(0),
                 win_detail::parse_hex_field(r[i + 2]).value_or(0),
                 static_cast<UINT>(std::strtoul(r[i + 3].c_str(), nullptr, 10)), r[i + 4]});
        out.push_back(std::move(record));
    }
    return out;
}

void clear_menus() {
    win_detail::clear_journal(win_detail::journal_file(win_user::menu_journal));
}

}  // namespace win_test

#include "syncer/scan/scan_questions.h"

#include "syncer/core/answer.h"
#include "syncer/tables/locked_operations.h"

namespace syncer {

namespace {

sync_permission permission_of(bool allowed) {
    return allowed ? sync_permission::yes : sync_permission::no;
}

}  // namespace

bool descend_below_top(binding& owner, user_interface& ui, const std::wstring& user_name) {
    if (owner.can_recourse_subdirs != sync_permission::not_set)
        return owner.can_recourse_subdirs == sync_permission::yes;
    const int answer = ui.ask_question(message_kind::recurse_subfolders, owner, owner.dir_remote,
                                       owner.dir_local, owner.filename, false, false);
    const bool descend = recursion_allowed(answer);
    owner.can_recourse_subdirs = permission_of(descend);
    locked_set_recurse_permission(user_name, owner, owner.can_recourse_subdirs);
    return descend;
}

permission_questions::permission_questions(user_interface& ui, binding& owner, items_manager& table,
                                           remembered_answers& answers)
    : ui_(ui), owner_(owner), table_(table), answers_(answers) {}

std::optional<bool> permission_questions::decided(int permission, const sync_item& stored) const {
    sync_item effective(stored.dir_remote, stored.dir_local, stored.filename);
    effective.rule = stored.rule;
    table_.fill_rule(effective);
    if (effective.rule[permission] != sync_permission::not_set)
        return effective.rule[permission] == sync_permission::yes;
    if (answers_[permission] != sync_permission::not_set)
        return answers_[permission] == sync_permission::yes;
    return std::nullopt;
}

bool permission_questions::allowed(int permission, int message_kind, const sync_item& stored,
                                   bool offer_apply_to_all) {
    if (const auto known = decided(permission, stored)) return *known;
    const int code = ui_.ask_question(message_kind, owner_, stored.dir_remote, stored.dir_local,
                                      stored.filename, true, offer_apply_to_all);
    const permission_answer answer = decode_permission_answer(code);
    const sync_permission kept = permission_of(answer.allowed);
    if (answer.remember_for_run) answers_[permission] = kept;
    if (answer.store_in_root_permission) root_record().rule[permission] = kept;
    if (answer.store_for_whole_binding) {
        sync_rule& root_rule = root_record().rule;
        for (int index = 0; index < sync_rule::size; ++index) root_rule[index] = kept;
        owner_.can_recourse_subdirs = kept;
        recursion_to_store_ = kept;
    }
    return answer.allowed;
}

bool permission_questions::allowed_only_when_asked(int permission, int message_kind,
                                                   const sync_item& stored,
                                                   bool offer_apply_to_all) {
    if (decided(permission, stored) == false) return false;
    if (answers_when_asked_[permission] != sync_permission::not_set)
        return answers_when_asked_[permission] == sync_permission::yes;
    const int code = ui_.ask_question(message_kind, owner_, stored.dir_remote, stored.dir_local,
                                      stored.filename, false, offer_apply_to_all);
    const permission_answer answer = decode_permission_answer(code);
    if (answer.remember_for_run) answers_when_asked_[permission] = permission_of(answer.allowed);
    return answer.allowed;
}

const sync_item& permission_questions::root_record() {
    return *table_.insert(sync_item(owner_.dir_remote, owner_.dir_local, owner_.filename)).first;
}

}  // namespace syncer

// The questions a scan pass asks the user through user_interface: whether a
// binding's walks go below its top folder (kind 9), and whether one
// permission allows what an item calls for (kinds 1 to 8), with the answers
// kept as far as the user asked.
#pragma once

#include <array>
#include <optional>
#include <string>

#include "syncer/core/binding.h"
#include "syncer/core/sync_rule.h"
#include "syncer/core/user_interface.h"
#include "syncer/tables/items_manager.h"

namespace syncer {

// Answers kept for the rest of one scan pass, in rule order, for every
// binding of the pass; not_set where nothing is kept.
using remembered_answers = std::array<sync_permission, sync_rule::size>;

// Whether the walks of a binding descend into the sub-folders of its top
// folder. While the binding leaves it open, asks once (kind 9, both boxes
// hidden), keeps the answer in the pass's copy of the binding and stores it
// in the binding table (binding_not_found_exception when the binding has
// left the table). No item table may be open meanwhile: the binding table's
// mutex comes first.
bool descend_below_top(binding& owner, user_interface& ui, const std::wstring& user_name);

// The permission questions of one binding's turn.
class permission_questions {
public:
    permission_questions(user_interface& ui, binding& owner, items_manager& table,
                         remembered_answers& answers);

    // The answer without asking: the item's effective rule (its own record,
    // the enclosing folders' records, the binding), else the answer kept for
    // this pass; nothing when the user would be asked.
    std::optional<bool> decided(int permission, const sync_item& stored) const;

    // Whether the permission allows the step, asking the user (both boxes;
    // "Apply to all" only when offered) when nothing decides it. Keeps the
    // answer as its code says: for this pass, in the root record's rule, or
    // in the whole root rule and the binding's recursion setting.
    bool allowed(int permission, int message_kind, const sync_item& stored,
                 bool offer_apply_to_all);

    // The same for a step that is asked whatever the rule allows (the
    // removal of every file of the binding, or most of them): only a refusal
    // of the rule or of an answer kept for this pass decides without asking.
    // "Don't ask me again" is not offered; "Apply to all" answers the rest of
    // this turn's such questions of the permission, and is kept nowhere else.
    bool allowed_only_when_asked(int permission, int message_kind, const sync_item& stored,
                                 bool offer_apply_to_all);

    // The recursion setting an answer asked to store for the whole binding;
    // stored in the binding table once the item table is closed, so the
    // binding table's mutex is never taken under an item table's.
    std::optional<sync_permission> recursion_to_store() const { return recursion_to_store_; }

private:
    const sync_item& root_record();

    user_interface& ui_;
    binding& owner_;
    items_manager& table_;
    remembered_answers& answers_;
    remembered_answers answers_when_asked_{};
    std::optional<sync_permission> recursion_to_store_;
};

}  // namespace syncer

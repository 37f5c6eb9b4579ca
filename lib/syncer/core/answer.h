// The answer codes of user_interface::ask_question and what each one asks the
// engine to do.
#pragma once

namespace syncer {

namespace answer_code {
inline constexpr int no = 3;
inline constexpr int yes = 7;
inline constexpr int dont_ask_again = 1;  // added when that box was ticked
inline constexpr int apply_to_all = 2;    // added when that box was ticked
}  // namespace answer_code

// The code for a choice in the question dialog: 3..10.
int make_answer(bool yes, bool dont_ask_again, bool apply_to_all);

// What a code means for a permission question (kinds 1 to 8).
struct permission_answer {
    bool allowed = false;
    // Remember the answer for this permission for the rest of the scan run,
    // in every binding (codes 5, 6, 9, 10).
    bool remember_for_run = false;
    // Store it in this permission of the binding's root record (6, 10).
    bool store_in_root_permission = false;
    // Store it in all eight permissions of the root record and in the
    // binding's recursion setting (4, 8).
    bool store_for_whole_binding = false;
};

// Codes outside 3..10 refuse and remember nothing.
permission_answer decode_permission_answer(int code);

// The recursion question (kind 9): 7 and 8 recurse, anything else does not.
bool recursion_allowed(int code);

}  // namespace syncer

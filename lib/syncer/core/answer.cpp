#include "syncer/core/answer.h"

namespace syncer {

int make_answer(bool yes, bool dont_ask_again, bool apply_to_all) {
    return (yes ? answer_code::yes : answer_code::no) +
           (dont_ask_again ? answer_code::dont_ask_again : 0) +
           (apply_to_all ? answer_code::apply_to_all : 0);
}

permission_answer decode_permission_answer(int code) {
    if (code < answer_code::no ||
        code > answer_code::yes + answer_code::dont_ask_again + answer_code::apply_to_all)
        return {};
    const int ticks = code >= answer_code::yes ? code - answer_code::yes : code - answer_code::no;
    const bool dont_ask_again = (ticks & answer_code::dont_ask_again) != 0;
    const bool apply_to_all = (ticks & answer_code::apply_to_all) != 0;
    permission_answer answer;
    answer.allowed = code >= answer_code::yes;
    answer.remember_for_run = apply_to_all;
    answer.store_in_root_permission = dont_ask_again && apply_to_all;
    answer.store_for_whole_binding = dont_ask_again && !apply_to_all;
    return answer;
}

bool recursion_allowed(int code) {
    return code == answer_code::yes || code == answer_code::yes + answer_code::dont_ask_again;
}

}  // namespace syncer

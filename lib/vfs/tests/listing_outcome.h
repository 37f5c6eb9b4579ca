// What a listing reply comes to, read one way or the other: the records, or
// the exception thrown (its title, its text and whether it names an item
// that exists already). The tests and the fuzz target compare the quick
// reading of a listing with the generic one through it.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "vfs/calvimora_exception.h"
#include "vfs/http_client.h"
#include "vfs/listing_reply.h"

namespace vfs_calvimora {

struct listing_outcome {
    std::optional<listing> records;
    std::wstring title;
    std::wstring text;
    bool already_exists = false;

    bool operator==(const listing_outcome&) const = default;
};

template <typename read>
listing_outcome outcome_of(read reading) {
    listing_outcome outcome;
    try {
        outcome.records = reading();
    } catch (const item_already_exists_exception& failure) {
        outcome = {std::nullopt, failure.get_title(), failure.get_text(), true};
    } catch (const exception& failure) {
        outcome = {std::nullopt, failure.get_title(), failure.get_text(), false};
    }
    return outcome;
}

// The generic way: the reply decoded, parsed and checked, then its records.
inline listing_outcome generic_outcome(std::string_view reply) {
    return outcome_of(
        [reply] { return read_listing(parse_operation_reply(reply.data(), reply.size())); });
}

inline listing_outcome listing_reply_outcome(std::string_view reply) {
    return outcome_of([reply] { return parse_listing_reply(reply); });
}

}  // namespace vfs_calvimora

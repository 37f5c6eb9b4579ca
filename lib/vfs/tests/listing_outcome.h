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

template <typename records_read>
struct reading_outcome {
    std::optional<records_read> records;
    std::wstring title;
    std::wstring text;
    bool already_exists = false;

    bool operator==(const reading_outcome&) const = default;
};

using listing_outcome = reading_outcome<listing>;
using scan_outcome = reading_outcome<scan_listing>;

template <typename read>
auto outcome_of(read reading) {
    reading_outcome<decltype(reading())> outcome;
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

inline scan_outcome scan_reply_outcome(std::string_view reply) {
    return outcome_of([reply] { return parse_scan_listing_reply(reply); });
}

// What a scan reads of the generic way's records.
inline scan_outcome scanned(const listing_outcome& whole) {
    scan_outcome outcome{std::nullopt, whole.title, whole.text, whole.already_exists};
    if (whole.records) {
        outcome.records.emplace();
        outcome.records->folders = whole.records->folders;
        for (const file_record& file : whole.records->files)
            outcome.records->files.push_back(scanned(file));
    }
    return outcome;
}

}  // namespace vfs_calvimora

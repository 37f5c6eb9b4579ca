#include "syncer/tables/journal_intake.h"

#include <map>
#include <tuple>

#include "syncer/core/exceptions.h"
#include "syncer/core/local_error.h"
#include "syncer/core/paths.h"

namespace syncer {

namespace {

using kind = journal_entry::kind;

sync_item item_of(const journal_entry& entry) {
    return sync_item(entry.dir_remote, entry.dir_local, entry.filename);
}

// The record is compared afresh by the next pass, as the start-up sweep
// leaves it: a side known keeps being known.
void compare_afresh(const sync_item& record) {
    if (record.last_time_remote != missing_time) record.last_time_remote = 0;
    if (record.last_time_local != missing_time) record.last_time_local = 0;
}

}  // namespace

bool is_entry_of(const binding& owner, const journal_entry& entry) {
    if (!is_plain_name(entry.filename)) return false;
    if (!owner.filename.empty())
        return entry.filename == owner.filename &&
               paths_equal(entry.dir_remote, owner.dir_remote) &&
               paths_equal(entry.dir_local, owner.dir_local);
    return path_is_within(entry.dir_remote, owner.dir_remote) &&
           path_is_within(entry.dir_local, owner.dir_local);
}

std::vector<journal_entry> unsettled_entries(const std::vector<journal_line>& lines) {
    using key = std::tuple<std::wstring, std::wstring, std::wstring>;
    std::map<key, std::size_t> first_line;
    std::map<key, std::vector<journal_entry>> begun;
    for (std::size_t index = 0; index < lines.size(); ++index) {
        const journal_entry& entry = lines[index].entry;
        const key item{entry.dir_remote, entry.dir_local, entry.filename};
        if (entry.what == kind::synced || entry.what == kind::abandoned) {
            begun.erase(item);
            first_line.erase(item);
            continue;
        }
        first_line.try_emplace(item, index);
        begun[item].push_back(entry);
    }
    std::map<std::size_t, key> in_order;
    for (const auto& [item, index] : first_line) in_order.emplace(index, item);
    std::vector<journal_entry> result;
    for (const auto& [index, item] : in_order) {
        for (journal_entry& entry : begun[item]) result.push_back(std::move(entry));
    }
    return result;
}

namespace {

// The journal's failures as the tables' failures are told.
template <class Operation>
auto as_table_failure(const char* context, Operation&& operation) -> decltype(operation()) {
    try {
        return operation();
    } catch (const local_error& failure) {
        throw syncer_exception(context, to_utf8(failure.text()));
    }
}

}  // namespace

journal_intake::journal_intake(items_manager& table, const binding& owner, transfer_journal journal)
    : owner_(owner),
      journal_(std::move(journal)),
      contents_(as_table_failure(__PRETTY_FUNCTION__, [this] { return journal_.read(); })) {
    for (const journal_line& line : contents_.lines) {
        const journal_entry& entry = line.entry;
        if (!is_entry_of(owner_, entry)) continue;
        if (entry.what == kind::synced) {
            record_agreement(*table.insert(item_of(entry)).first, entry.time, entry.local);
        } else if (entry.what == kind::abandoned) {
            const auto record = table.find(item_of(entry));
            if (record != table.end()) compare_afresh(*record);
        }
    }
}

std::set<sync_item, sync_item::less> journal_intake::items_after(std::uint64_t size) const {
    std::set<sync_item, sync_item::less> items;
    for (const journal_line& line : contents_.lines) {
        // A line ending after that size began after it: appends are whole.
        if (line.end > size && is_entry_of(owner_, line.entry)) items.insert(item_of(line.entry));
    }
    return items;
}

void journal_intake::cut() const {
    std::vector<journal_entry> keep = unsettled_entries(contents_.lines);
    std::erase_if(keep, [&](const journal_entry& entry) { return !is_entry_of(owner_, entry); });
    as_table_failure(__PRETTY_FUNCTION__, [&] { journal_.cut(contents_.size, keep); });
}

}  // namespace syncer

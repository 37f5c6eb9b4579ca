// A binding's transfer journal taken into its open item table: at every
// start of the sync manager and in every turn of the binding in a pass.
#pragma once

#include <cstdint>
#include <set>
#include <vector>

#include "syncer/core/binding.h"
#include "syncer/tables/items_manager.h"
#include "syncer/tables/transfer_journal.h"

namespace syncer {

// Whether an entry names a file of the binding (its folders within the
// binding's folders, its name a plain name): entries of other items are
// passed over.
bool is_entry_of(const binding& owner, const journal_entry& entry);

// For each item, the entries since its last synced or abandoned one: the
// transfers begun and not settled, in the order their first entries came.
std::vector<journal_entry> unsettled_entries(const std::vector<journal_line>& lines);

class journal_intake {
public:
    // Reads the journal and takes its results into the table: a synced entry
    // is its item's agreement; after an abandoned one the item is compared
    // afresh, as after a start. Throws syncer_exception when the journal
    // cannot be read.
    journal_intake(items_manager& table, const binding& owner, transfer_journal journal);

    // The items whose entries came after the journal held that many bytes.
    std::set<sync_item, sync_item::less> items_after(std::uint64_t size) const;

    // Once the table is saved: what it took in leaves the journal, the
    // transfers still unsettled stay. Throws syncer_exception on failure.
    void cut() const;

private:
    const binding& owner_;
    transfer_journal journal_;
    transfer_journal::contents contents_;
};

}  // namespace syncer

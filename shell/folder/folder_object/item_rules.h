// What the folder says about its records without asking the service: the
// attribute word of an item and the order of two lists of records.
#pragma once

#include <vector>

#include "folder/item_ids/pidl_data.h"
#include "win/shell_folder2.h"

namespace folder_rules {

// The item's SFGAO_ bits. other_host: the folder runs in a program other
// than Explorer, which gets its items as file-system items.
SFGAOF attributes_of(const PIDLDATA& record, bool other_host);
// Whether this process is a program other than Explorer.
bool in_other_host();

// The order of two lists of records as CompareIDs gives it: below 0 when
// first comes first, 0 when equal, above 0 when second comes first. lparam
// holds the column (its low byte) and SHCIDS_CANONICALONLY. An empty list
// comes after any other; two empty lists are equal.
int compare(LPARAM lparam, const std::vector<PIDLDATA>& first, const std::vector<PIDLDATA>& second);

// A comparison as the HRESULT CompareIDs answers: 0xFFFF, 0 or 1 in the
// low 16 bits.
HRESULT compare_result(int order);

}  // namespace folder_rules

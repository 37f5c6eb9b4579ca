// The folder's enumerator: it walks one vector of records kept by the
// folder object and hands out each as a new relative item id list of one
// element (840 bytes and three zero bytes, task-allocated; the receiver
// frees it).
#pragma once

#include <vector>

#include "folder/item_ids/pidl_data.h"
#include "win/shell_folder.h"

// The copy policy of the enumerator: one record becomes one list.
struct CPIDLConstructor {
    static HRESULT copy(PITEMID_CHILD* to, const PIDLDATA* from);
    static void init(PITEMID_CHILD* element) { *element = nullptr; }
    static void destroy(PITEMID_CHILD* element);
};

// A new enumerator over records, which owner keeps alive (the enumerator
// holds a reference to owner). Answers IID_IEnumIDList into *enumerator.
HRESULT create_id_list_enumerator(IUnknown* owner, std::vector<PIDLDATA>& records,
                                  IEnumIDList** enumerator);

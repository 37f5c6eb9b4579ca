// Item-id lists: the shell's names of things. A list is a sequence of
// elements that each begin with their own 16-bit size (the size counts
// itself), ended by a zero size. Lists that cross interfaces are blocks of
// the task allocator (CoTaskMemAlloc); their receiver frees them (ILFree).
//
// The IL* calls trust their input as the system's do. Bytes that come from
// outside (a stream, the clipboard, a file) are checked first with
// win_shell::checked_id_list_size.
#pragma once

#include <cstddef>
#include <cstring>

#include "win/base.h"

#pragma pack(push, 1)
typedef struct _SHITEMID {
    WORD cb;
    BYTE abID[1];
} SHITEMID;
typedef struct _ITEMIDLIST {
    SHITEMID mkid;
} ITEMIDLIST;
#pragma pack(pop)
typedef ITEMIDLIST* LPITEMIDLIST;
typedef const ITEMIDLIST* LPCITEMIDLIST;
typedef ITEMIDLIST* PIDLIST_ABSOLUTE;
typedef const ITEMIDLIST* PCIDLIST_ABSOLUTE;
typedef ITEMIDLIST* PIDLIST_RELATIVE;
typedef const ITEMIDLIST* PCUIDLIST_RELATIVE;
typedef ITEMIDLIST* PITEMID_CHILD;
typedef const ITEMIDLIST* PCUITEMID_CHILD;
typedef const ITEMIDLIST* const* PCUITEMID_CHILD_ARRAY;

// Whether the list has no element (null counts as empty).
inline bool ILIsEmpty(LPCITEMIDLIST list) {
    if (!list) return true;
    WORD size = 0;
    std::memcpy(&size, list, sizeof size);
    return size == 0;
}

// The bytes of the list with its terminator; 0 for null.
UINT ILGetSize(LPCITEMIDLIST list);
// The element after this one; null when this is the last element or the
// terminator.
LPITEMIDLIST ILGetNext(LPCITEMIDLIST list);
// The last element; the terminator itself for an empty list; null for null.
LPITEMIDLIST ILFindLastID(LPCITEMIDLIST list);
// Cuts the last element off in place; FALSE for an empty or null list.
BOOL ILRemoveLastID(LPITEMIDLIST list);
// New task-allocated lists; null for a null list or when memory is short.
// ILCombine of two nulls is null, of one null a copy of the other.
LPITEMIDLIST ILClone(LPCITEMIDLIST list);
LPITEMIDLIST ILCloneFirst(LPCITEMIDLIST list);
LPITEMIDLIST ILCombine(LPCITEMIDLIST first, LPCITEMIDLIST second);
void ILFree(LPITEMIDLIST list);

namespace win_shell {

// The size of the list that starts at bytes (terminator included) when it
// lies whole within the available bytes and every element is at least as
// large as its size field; 0 otherwise.
size_t checked_id_list_size(const void* bytes, size_t available);

}  // namespace win_shell

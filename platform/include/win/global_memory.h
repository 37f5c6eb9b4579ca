// Global memory blocks: the handles that streams, the clipboard and data
// transfer pass around. A fixed block's handle is its address; a movable
// block's handle is a token that GlobalLock turns into the address, counting
// locks.
#pragma once

#include "win/base.h"

typedef HANDLE HGLOBAL;

#define GMEM_FIXED 0x0000u
#define GMEM_MOVEABLE 0x0002u
#define GMEM_ZEROINIT 0x0040u
#define GHND (GMEM_MOVEABLE | GMEM_ZEROINIT)
#define GPTR (GMEM_FIXED | GMEM_ZEROINIT)

#define ERROR_NOT_LOCKED 158L

// NULL with ERROR_NOT_ENOUGH_MEMORY when the block cannot be had, with
// ERROR_INVALID_PARAMETER for flags other than those above. A block of 0
// bytes is valid and has no address.
HGLOBAL GlobalAlloc(UINT flags, SIZE_T bytes);
// Changes the size, keeping the contents (new bytes zeroed with
// GMEM_ZEROINIT). A movable block moves only while it is not locked; a
// locked one, or a fixed one, fails unless GMEM_MOVEABLE is passed.
// Returns the block's handle, NULL on failure (the block is left as it was).
HGLOBAL GlobalReAlloc(HGLOBAL memory, SIZE_T bytes, UINT flags);
// The address of the block; for a movable block one more lock.
LPVOID GlobalLock(HGLOBAL memory);
// One lock fewer: TRUE while locks remain; FALSE with NO_ERROR when the last
// one went, FALSE with ERROR_NOT_LOCKED when there was none.
BOOL GlobalUnlock(HGLOBAL memory);
SIZE_T GlobalSize(HGLOBAL memory);  // 0 for an unknown handle
// NULL on success; the handle itself when it is not a global block
// (ERROR_INVALID_HANDLE).
HGLOBAL GlobalFree(HGLOBAL memory);

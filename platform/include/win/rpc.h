// The RPC runtime's identifiers, over libuuid.
#pragma once

#include "win/base.h"
#include "win/guid.h"

typedef LONG RPC_STATUS;
typedef wchar_t* RPC_WSTR;

#define RPC_S_OK 0L
#define RPC_S_OUT_OF_MEMORY 14L
#define RPC_S_INVALID_ARG 87L
#define RPC_S_UUID_LOCAL_ONLY 1824L

// A new random identifier.
RPC_STATUS UuidCreate(UUID* uuid);

// The 36-character lower-case text form ("xxxxxxxx-xxxx-xxxx-xxxx-
// xxxxxxxxxxxx"), allocated by the runtime; free it with RpcStringFreeW.
RPC_STATUS UuidToStringW(const UUID* uuid, RPC_WSTR* text);

// Frees a text of the runtime and sets the pointer to null.
RPC_STATUS RpcStringFreeW(RPC_WSTR* text);

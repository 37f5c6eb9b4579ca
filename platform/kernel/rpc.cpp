// Identifiers of the RPC runtime, made and written by libuuid.
#include "win/rpc.h"

#include <uuid/uuid.h>

#include <cstdlib>

namespace {

// libuuid keeps the sixteen bytes in text order; the structure keeps its
// first three fields as native integers.
void to_bytes(const UUID& uuid, uuid_t bytes) {
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<unsigned char>(uuid.Data1 >> (24 - 8 * i));
    for (int i = 0; i < 2; ++i)
        bytes[4 + i] = static_cast<unsigned char>(uuid.Data2 >> (8 - 8 * i));
    for (int i = 0; i < 2; ++i)
        bytes[6 + i] = static_cast<unsigned char>(uuid.Data3 >> (8 - 8 * i));
    for (int i = 0; i < 8; ++i) bytes[8 + i] = uuid.Data4[i];
}

void from_bytes(const uuid_t bytes, UUID& uuid) {
    uuid.Data1 = 0;
    for (int i = 0; i < 4; ++i) uuid.Data1 = (uuid.Data1 << 8) | bytes[i];
    uuid.Data2 = static_cast<WORD>((bytes[4] << 8) | bytes[5]);
    uuid.Data3 = static_cast<WORD>((bytes[6] << 8) | bytes[7]);
    for (int i = 0; i < 8; ++i) uuid.Data4[i] = bytes[8 + i];
}

}  // namespace

RPC_STATUS UuidCreate(UUID* uuid) {
    if (!uuid) return RPC_S_INVALID_ARG;
    uuid_t bytes;
    uuid_generate_random(bytes);
    from_bytes(bytes, *uuid);
    return RPC_S_OK;
}

RPC_STATUS UuidToStringW(const UUID* uuid, RPC_WSTR* text) {
    if (!uuid || !text) return RPC_S_INVALID_ARG;
    uuid_t bytes;
    to_bytes(*uuid, bytes);
    char narrow[37];
    uuid_unparse_lower(bytes, narrow);
    auto* wide = static_cast<RPC_WSTR>(std::malloc(sizeof(wchar_t) * 37));
    if (!wide) return RPC_S_OUT_OF_MEMORY;
    for (int i = 0; i < 37; ++i) wide[i] = static_cast<wchar_t>(narrow[i]);
    *text = wide;
    return RPC_S_OK;
}

RPC_STATUS RpcStringFreeW(RPC_WSTR* text) {
    if (!text) return RPC_S_INVALID_ARG;
    std::free(*text);
    *text = nullptr;
    return RPC_S_OK;
}

// The CryptoAPI subset the programs hash with: MD5 in a verify-only context,
// computed by OpenSSL's libcrypto. Failures return FALSE with the last error
// set to the system's code (NTE_... or ERROR_...).
#pragma once

#include "win/base.h"

typedef ULONG_PTR HCRYPTPROV;
typedef ULONG_PTR HCRYPTHASH;
typedef ULONG_PTR HCRYPTKEY;
typedef unsigned int ALG_ID;

#define PROV_RSA_FULL 1u

// CryptAcquireContextW flags. Only verify-only contexts exist here.
#define CRYPT_VERIFYCONTEXT 0xF0000000u
#define CRYPT_NEWKEYSET 0x00000008u
#define CRYPT_DELETEKEYSET 0x00000010u
#define CRYPT_MACHINE_KEYSET 0x00000020u
#define CRYPT_SILENT 0x00000040u

#define CALG_MD5 0x00008003u

// CryptGetHashParam parameters.
#define HP_ALGID 0x0001u
#define HP_HASHVAL 0x0002u
#define HP_HASHSIZE 0x0004u

// Error codes.
#define NTE_BAD_UID 0x80090001u
#define NTE_BAD_HASH 0x80090002u
#define NTE_BAD_KEY 0x80090003u
#define NTE_BAD_ALGID 0x80090008u
#define NTE_BAD_FLAGS 0x80090009u
#define NTE_BAD_TYPE 0x8009000Au
#define NTE_BAD_HASH_STATE 0x8009000Cu
#define NTE_BAD_PROV_TYPE 0x80090014u
#define NTE_BAD_KEYSET 0x80090016u
#define NTE_FAIL 0x80090020u

// PROV_RSA_FULL with CRYPT_VERIFYCONTEXT (optionally CRYPT_MACHINE_KEYSET,
// CRYPT_SILENT) and no container; NTE_BAD_KEYSET for any key container.
BOOL CryptAcquireContextW(HCRYPTPROV* provider, LPCWSTR container, LPCWSTR provider_name,
                          DWORD provider_type, DWORD flags);
BOOL CryptReleaseContext(HCRYPTPROV provider, DWORD flags);

// CALG_MD5 only (NTE_BAD_ALGID otherwise), no key, no flags.
BOOL CryptCreateHash(HCRYPTPROV provider, ALG_ID algorithm, HCRYPTKEY key, DWORD flags,
                     HCRYPTHASH* hash);

// NTE_BAD_HASH_STATE once the value has been read.
BOOL CryptHashData(HCRYPTHASH hash, const BYTE* data, DWORD length, DWORD flags);

// HP_HASHVAL (16 bytes; finishes the hash), HP_HASHSIZE and HP_ALGID (a
// DWORD each). With data null only the size is reported; ERROR_MORE_DATA and
// the size needed when *length is too small.
BOOL CryptGetHashParam(HCRYPTHASH hash, DWORD parameter, BYTE* data, DWORD* length, DWORD flags);

BOOL CryptDestroyHash(HCRYPTHASH hash);

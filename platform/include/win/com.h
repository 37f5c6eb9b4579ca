// COM library initialisation, counted per thread as the system does.
#pragma once

#include "win/base.h"
#include "win/guid.h"

#define COINIT_MULTITHREADED 0x0u
#define COINIT_APARTMENTTHREADED 0x2u
#define COINIT_DISABLE_OLE1DDE 0x4u
#define COINIT_SPEED_OVER_MEMORY 0x8u

// S_OK for the first initialisation of a thread, S_FALSE for each further
// one (each needs its CoUninitialize); RPC_E_CHANGED_MODE (not counted) when
// the thread is already initialised in the other threading model;
// E_INVALIDARG when reserved is not null.
HRESULT CoInitialize(LPVOID reserved);  // apartment-threaded
HRESULT CoInitializeEx(LPVOID reserved, DWORD model);

// Undoes one successful initialisation of the calling thread; does nothing
// on a thread that is not initialised.
void CoUninitialize();

// ---- Interfaces -----------------------------------------------------------
// Declared as abstract classes with their methods in the system's order.

typedef union _ULARGE_INTEGER {
    struct {
        DWORD LowPart;
        DWORD HighPart;
    };
    ULONGLONG QuadPart;
} ULARGE_INTEGER;

typedef wchar_t* LPOLESTR;

// {00000000-0000-0000-C000-000000000046}
inline constexpr IID IID_IUnknown{0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
// {0C733A30-2A1C-11CE-ADE5-00AA0044773D}
inline constexpr IID IID_ISequentialStream{
    0x0C733A30, 0x2A1C, 0x11CE, {0xAD, 0xE5, 0x00, 0xAA, 0x00, 0x44, 0x77, 0x3D}};
// {0000000C-0000-0000-C000-000000000046}
inline constexpr IID IID_IStream{0x0000000C, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

struct IUnknown {
    virtual HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) = 0;
    virtual ULONG STDMETHODCALLTYPE AddRef() = 0;
    virtual ULONG STDMETHODCALLTYPE Release() = 0;
};

struct ISequentialStream : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Read(void* buffer, ULONG size, ULONG* read) = 0;
    virtual HRESULT STDMETHODCALLTYPE Write(const void* buffer, ULONG size, ULONG* written) = 0;
};

#define STREAM_SEEK_SET 0
#define STREAM_SEEK_CUR 1
#define STREAM_SEEK_END 2
#define STGTY_STREAM 2
#define STATFLAG_DEFAULT 0
#define STATFLAG_NONAME 1

#define STG_E_INVALIDFUNCTION ((HRESULT)0x80030001L)
#define STG_E_INVALIDPOINTER ((HRESULT)0x80030009L)
#define STG_E_MEDIUMFULL ((HRESULT)0x80030070L)
#define STG_E_INVALIDPARAMETER ((HRESULT)0x80030057L)

typedef struct tagSTATSTG {
    LPOLESTR pwcsName;
    DWORD type;
    ULARGE_INTEGER cbSize;
    FILETIME mtime;
    FILETIME ctime;
    FILETIME atime;
    DWORD grfMode;
    DWORD grfLocksSupported;
    CLSID clsid;
    DWORD grfStateBits;
    DWORD reserved;
} STATSTG;

struct IStream : ISequentialStream {
    virtual HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER move, DWORD origin,
                                           ULARGE_INTEGER* position) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER size) = 0;
    virtual HRESULT STDMETHODCALLTYPE CopyTo(IStream* target, ULARGE_INTEGER size,
                                             ULARGE_INTEGER* read, ULARGE_INTEGER* written) = 0;
    virtual HRESULT STDMETHODCALLTYPE Commit(DWORD flags) = 0;
    virtual HRESULT STDMETHODCALLTYPE Revert() = 0;
    virtual HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER offset, ULARGE_INTEGER size,
                                                 DWORD type) = 0;
    virtual HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER offset, ULARGE_INTEGER size,
                                                   DWORD type) = 0;
    virtual HRESULT STDMETHODCALLTYPE Stat(STATSTG* statistics, DWORD flags) = 0;
    virtual HRESULT STDMETHODCALLTYPE Clone(IStream** copy) = 0;
};
typedef IStream* LPSTREAM;

// A stream over a global memory block (include win/global_memory.h for
// HGLOBAL): a null block makes a new movable one of 0 bytes. The stream
// starts at offset 0 with the block's size, grows the block as it is written
// past its end, and frees it on its last Release when delete_on_release is
// set. Clones share the block with their own position.
HRESULT CreateStreamOnHGlobal(HANDLE global, BOOL delete_on_release, LPSTREAM* stream);
// The block under a stream made by CreateStreamOnHGlobal; E_INVALIDARG for
// other streams.
HRESULT GetHGlobalFromStream(LPSTREAM stream, HANDLE* global);

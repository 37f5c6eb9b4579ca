// The COM runtime: initialisation counted per thread, the basic interfaces,
// class identifiers as text, in-process servers found through the registry
// and loaded once per process, the task allocator, and streams over global
// memory.
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

#define CO_E_NOTINITIALIZED ((HRESULT)0x800401F0L)
// A call into an apartment that has ended, and one whose callee failed
// outright.
#define RPC_E_DISCONNECTED ((HRESULT)0x80010108L)
#define RPC_E_SERVERFAULT ((HRESULT)0x80010105L)
#define CO_E_CLASSSTRING ((HRESULT)0x800401F3L)
#define CO_E_DLLNOTFOUND ((HRESULT)0x800401F8L)
#define REGDB_E_CLASSNOTREG ((HRESULT)0x80040154L)
#define CLASS_E_NOAGGREGATION ((HRESULT)0x80040110L)
#define CLASS_E_CLASSNOTAVAILABLE ((HRESULT)0x80040111L)
#define NOERROR S_OK

// ---- Interfaces -----------------------------------------------------------
// Declared as abstract classes with their methods in the system's order.

typedef union _ULARGE_INTEGER {
    struct {
        DWORD LowPart;
        DWORD HighPart;
    };
    ULONGLONG QuadPart;
} ULARGE_INTEGER;

typedef wchar_t OLECHAR;
typedef wchar_t* LPOLESTR;
typedef const wchar_t* LPCOLESTR;
typedef CLSID* LPCLSID;
typedef IID* LPIID;

// ---- Identifiers as text ----------------------------------------------------
// The registry form "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" in upper case.

// Writes the text and its terminator; returns the characters written with
// the terminator (39), 0 when the buffer holds fewer than 39.
int StringFromGUID2(REFGUID guid, LPOLESTR text, int max_count);
// The text in a new task-allocated buffer (CoTaskMemFree); E_INVALIDARG for
// a null out pointer.
HRESULT StringFromCLSID(REFCLSID clsid, LPOLESTR* text);
HRESULT StringFromIID(REFIID iid, LPOLESTR* text);
// Reads the braced form (hexadecimal digits in either case). A null text is
// GUID_NULL. Malformed text: CO_E_CLASSSTRING / E_INVALIDARG, the result
// left as GUID_NULL.
HRESULT CLSIDFromString(LPCOLESTR text, LPCLSID clsid);
HRESULT IIDFromString(LPCOLESTR text, LPIID iid);

// ---- Task memory --------------------------------------------------------------
// The allocator whose blocks cross interfaces (item-id lists, strings):
// whoever receives a block frees it with CoTaskMemFree. Freeing null does
// nothing; reallocating null allocates, and to 0 bytes frees and answers
// null. win_test::live_task_allocations counts the blocks not yet freed; freeing
// a block twice, or one it did not make, ends the program with a message.
LPVOID CoTaskMemAlloc(SIZE_T size);
LPVOID CoTaskMemRealloc(LPVOID block, SIZE_T size);
void CoTaskMemFree(LPVOID block);

// {00000000-0000-0000-C000-000000000046}
inline constexpr IID IID_IUnknown{0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
// {0C733A30-2A1C-11CE-ADE5-00AA0044773D}
inline constexpr IID IID_ISequentialStream{
    0x0C733A30, 0x2A1C, 0x11CE, {0xAD, 0xE5, 0x00, 0xAA, 0x00, 0x44, 0x77, 0x3D}};
// {0000000C-0000-0000-C000-000000000046}
inline constexpr IID IID_IStream{0x0000000C, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

// {00000001-0000-0000-C000-000000000046}
inline constexpr IID IID_IClassFactory{0x00000001, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
// {00000002-0000-0000-C000-000000000046}
inline constexpr IID IID_IMalloc{0x00000002, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

// What the class library's interface maps know of each interface: its
// identifier and the interface it derives from (void for IUnknown), so
// that an object answering an interface answers its bases too.
namespace win_com {
template <typename Interface>
struct interface_traits;
}  // namespace win_com

#define WIN_COM_INTERFACE_TRAITS(Interface, Base, iid_constant) \
    template <>                                                 \
    struct win_com::interface_traits<Interface> {               \
        static constexpr const IID& iid = iid_constant;         \
        using base = Base;                                      \
    }

struct IUnknown {
    virtual HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) = 0;
    virtual ULONG STDMETHODCALLTYPE AddRef() = 0;
    virtual ULONG STDMETHODCALLTYPE Release() = 0;
};
typedef IUnknown* LPUNKNOWN;
WIN_COM_INTERFACE_TRAITS(IUnknown, void, IID_IUnknown);

namespace win_com {
// An interface pointer owned while in scope: released when it goes.
template <typename T>
struct held {
    T* p = nullptr;
    held() = default;
    held(const held&) = delete;
    held& operator=(const held&) = delete;
    ~held() {
        if (p) p->Release();
    }
    void** out() { return reinterpret_cast<void**>(&p); }
};
}  // namespace win_com

struct IClassFactory : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid,
                                                     void** object) = 0;
    virtual HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) = 0;
};
WIN_COM_INTERFACE_TRAITS(IClassFactory, IUnknown, IID_IClassFactory);

// The task allocator as an interface (CoGetMalloc); the same blocks as
// CoTaskMemAlloc. GetSize is -1 and DidAlloc 0 for a block it did not make.
struct IMalloc : IUnknown {
    virtual void* STDMETHODCALLTYPE Alloc(SIZE_T size) = 0;
    virtual void* STDMETHODCALLTYPE Realloc(void* block, SIZE_T size) = 0;
    virtual void STDMETHODCALLTYPE Free(void* block) = 0;
    virtual SIZE_T STDMETHODCALLTYPE GetSize(void* block) = 0;
    virtual int STDMETHODCALLTYPE DidAlloc(void* block) = 0;
    virtual void STDMETHODCALLTYPE HeapMinimize() = 0;
};
typedef IMalloc* LPMALLOC;
WIN_COM_INTERFACE_TRAITS(IMalloc, IUnknown, IID_IMalloc);
#define MEMCTX_TASK 1
// E_INVALIDARG unless context is MEMCTX_TASK.
HRESULT CoGetMalloc(DWORD context, LPMALLOC* allocator);

// ---- Classes and their servers -------------------------------------------------
// An in-process server is a shared object exporting
//   extern "C" HRESULT DllGetClassObject(REFCLSID, REFIID, void**);
//   extern "C" HRESULT DllCanUnloadNow();
// named by the default value of HKEY_CLASSES_ROOT "CLSID\{clsid}\InprocServer32"
// (a path in the system's form, "\" separating folders). Each server is
// loaded once per process and kept until CoFreeUnusedLibraries finds that
// its DllCanUnloadNow answers S_OK. Only in-process servers exist here.
#define CLSCTX_INPROC_SERVER 0x1u
#define CLSCTX_INPROC_HANDLER 0x2u
#define CLSCTX_LOCAL_SERVER 0x4u
#define CLSCTX_REMOTE_SERVER 0x10u
#define CLSCTX_INPROC (CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER)
#define CLSCTX_SERVER (CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER)
#define CLSCTX_ALL (CLSCTX_INPROC | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER)

// The server's class object for the interface. Failures (the out pointer
// cleared): E_INVALIDARG for a null out pointer, CO_E_NOTINITIALIZED on a
// thread without CoInitialize(Ex), REGDB_E_CLASSNOTREG for a class without
// an in-process server registered (or a context without
// CLSCTX_INPROC_SERVER), CO_E_DLLNOTFOUND for a server that cannot be
// loaded or lacks DllGetClassObject, else what DllGetClassObject answers.
HRESULT CoGetClassObject(REFCLSID clsid, DWORD context, LPVOID server_info, REFIID iid,
                         LPVOID* object);
// The class object's IClassFactory::CreateInstance(outer, iid, object);
// failures as CoGetClassObject, or the factory's.
HRESULT CoCreateInstance(REFCLSID clsid, LPUNKNOWN outer, DWORD context, REFIID iid,
                         LPVOID* object);
// Unloads every loaded server whose DllCanUnloadNow answers S_OK (a server
// without that export stays).
void CoFreeUnusedLibraries();

struct ISequentialStream : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Read(void* buffer, ULONG size, ULONG* read) = 0;
    virtual HRESULT STDMETHODCALLTYPE Write(const void* buffer, ULONG size, ULONG* written) = 0;
};
WIN_COM_INTERFACE_TRAITS(ISequentialStream, IUnknown, IID_ISequentialStream);

#define STREAM_SEEK_SET 0
#define STREAM_SEEK_CUR 1
#define STREAM_SEEK_END 2
#define STGTY_STREAM 2
#define STATFLAG_DEFAULT 0
#define STATFLAG_NONAME 1

#define STG_E_INVALIDFUNCTION ((HRESULT)0x80030001L)
#define STG_E_ACCESSDENIED ((HRESULT)0x80030005L)
#define STG_E_INVALIDPOINTER ((HRESULT)0x80030009L)
#define STG_E_MEDIUMFULL ((HRESULT)0x80030070L)
#define STG_E_WRITEFAULT ((HRESULT)0x8003001DL)
#define STG_E_READFAULT ((HRESULT)0x8003001EL)
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
WIN_COM_INTERFACE_TRAITS(IStream, ISequentialStream, IID_IStream);

// A stream over a global memory block (include win/global_memory.h for
// HGLOBAL): a null block makes a new movable one of 0 bytes. The stream
// starts at offset 0 with the block's size, grows the block as it is written
// past its end, and frees it on its last Release when delete_on_release is
// set. Clones share the block with their own position.
HRESULT CreateStreamOnHGlobal(HANDLE global, BOOL delete_on_release, LPSTREAM* stream);
// The block under a stream made by CreateStreamOnHGlobal; E_INVALIDARG for
// other streams.
HRESULT GetHGlobalFromStream(LPSTREAM stream, HANDLE* global);

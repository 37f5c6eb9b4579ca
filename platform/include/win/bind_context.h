// Bind contexts: what a caller tells the objects it binds to (its bind
// options) and objects it hands along by name. Folders receive one in
// BindToObject, ParseDisplayName and IPersistFolder3::InitializeEx.
#pragma once

#include "win/com.h"

typedef struct tagBIND_OPTS {
    DWORD cbStruct;  // sizeof(BIND_OPTS)
    DWORD grfFlags;
    DWORD grfMode;
    DWORD dwTickCountDeadline;
} BIND_OPTS, *LPBIND_OPTS;

#define BIND_MAYBOTHERUSER 1u
#define BIND_JUSTTESTEXISTENCE 2u

#define STGM_READ 0x00000000u
#define STGM_WRITE 0x00000001u
#define STGM_READWRITE 0x00000002u
#define STGM_CREATE 0x00001000u

// {0000000E-0000-0000-C000-000000000046}
inline constexpr IID IID_IBindCtx{0x0000000E, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

struct IRunningObjectTable;
struct IEnumString;

struct IBindCtx : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE RegisterObjectBound(IUnknown* object) = 0;
    virtual HRESULT STDMETHODCALLTYPE RevokeObjectBound(IUnknown* object) = 0;
    virtual HRESULT STDMETHODCALLTYPE ReleaseBoundObjects() = 0;
    virtual HRESULT STDMETHODCALLTYPE SetBindOptions(BIND_OPTS* options) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetBindOptions(BIND_OPTS* options) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetRunningObjectTable(IRunningObjectTable** table) = 0;
    virtual HRESULT STDMETHODCALLTYPE RegisterObjectParam(LPOLESTR key, IUnknown* object) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetObjectParam(LPOLESTR key, IUnknown** object) = 0;
    virtual HRESULT STDMETHODCALLTYPE EnumObjectParam(IEnumString** keys) = 0;
    virtual HRESULT STDMETHODCALLTYPE RevokeObjectParam(LPOLESTR key) = 0;
};
typedef IBindCtx* LPBC;
WIN_COM_INTERFACE_TRAITS(IBindCtx, IUnknown, IID_IBindCtx);

// A new bind context (reserved must be 0): options with BIND_MAYBOTHERUSER,
// mode STGM_READWRITE, no deadline. SetBindOptions takes a cbStruct of at
// least sizeof(BIND_OPTS) (E_INVALIDARG otherwise); GetBindOptions fills at
// most cbStruct bytes. Objects registered as parameters (keys compared with
// regard to case, as the system does) or as bound are held until revoked,
// ReleaseBoundObjects or the last Release. GetObjectParam of a missing key is
// E_FAIL with the out pointer cleared. There is no running-object table
// here (E_NOTIMPL), nor a list of keys.
#define MK_E_NOTBOUND ((HRESULT)0x800401E9L)

HRESULT CreateBindCtx(DWORD reserved, LPBC* context);

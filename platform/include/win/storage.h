// Structured storage: an object holding named streams and storages, as a
// folder of files is one. Folders answer it so that programs can create a
// file in them as a stream.
#pragma once

#include "win/com.h"

// {0000000B-0000-0000-C000-000000000046}
inline constexpr IID IID_IStorage{0x0000000B, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

struct IEnumSTATSTG;
typedef OLECHAR** SNB;

struct IStorage : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE CreateStream(const OLECHAR* name, DWORD mode, DWORD reserved1,
                                                   DWORD reserved2, IStream** stream) = 0;
    virtual HRESULT STDMETHODCALLTYPE OpenStream(const OLECHAR* name, void* reserved1, DWORD mode,
                                                 DWORD reserved2, IStream** stream) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateStorage(const OLECHAR* name, DWORD mode,
                                                    DWORD reserved1, DWORD reserved2,
                                                    IStorage** storage) = 0;
    virtual HRESULT STDMETHODCALLTYPE OpenStorage(const OLECHAR* name, IStorage* priority,
                                                  DWORD mode, SNB exclude, DWORD reserved,
                                                  IStorage** storage) = 0;
    virtual HRESULT STDMETHODCALLTYPE CopyTo(DWORD excluded_count, const IID* excluded, SNB exclude,
                                             IStorage* destination) = 0;
    virtual HRESULT STDMETHODCALLTYPE MoveElementTo(const OLECHAR* name, IStorage* destination,
                                                    const OLECHAR* new_name, DWORD flags) = 0;
    virtual HRESULT STDMETHODCALLTYPE Commit(DWORD flags) = 0;
    virtual HRESULT STDMETHODCALLTYPE Revert() = 0;
    virtual HRESULT STDMETHODCALLTYPE EnumElements(DWORD reserved1, void* reserved2,
                                                   DWORD reserved3, IEnumSTATSTG** elements) = 0;
    virtual HRESULT STDMETHODCALLTYPE DestroyElement(const OLECHAR* name) = 0;
    virtual HRESULT STDMETHODCALLTYPE RenameElement(const OLECHAR* old_name,
                                                    const OLECHAR* new_name) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetElementTimes(const OLECHAR* name, const FILETIME* created,
                                                      const FILETIME* accessed,
                                                      const FILETIME* modified) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetClass(REFCLSID clsid) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetStateBits(DWORD bits, DWORD mask) = 0;
    virtual HRESULT STDMETHODCALLTYPE Stat(STATSTG* statistics, DWORD flags) = 0;
};
WIN_COM_INTERFACE_TRAITS(IStorage, IUnknown, IID_IStorage);

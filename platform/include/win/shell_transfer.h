// The shell's copy engine asks a destination folder that answers
// ITransferDestination to create the items it copies there itself.
#pragma once

#include "win/com.h"

// {48ADDD32-3CA5-4124-ABE3-B5A72531B207}
inline constexpr IID IID_ITransferDestination{
    0x48ADDD32, 0x3CA5, 0x4124, {0xAB, 0xE3, 0xB5, 0xA7, 0x25, 0x31, 0xB2, 0x07}};

struct ITransferAdviseSink;
typedef DWORD TRANSFER_SOURCE_FLAGS;

struct ITransferDestination : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Advise(ITransferAdviseSink* sink, DWORD* cookie) = 0;
    virtual HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateItem(LPCWSTR name, DWORD attributes, ULONGLONG size,
                                                 TRANSFER_SOURCE_FLAGS flags, REFIID item_iid,
                                                 void** item, REFIID resources_iid,
                                                 void** resources) = 0;
};
WIN_COM_INTERFACE_TRAITS(ITransferDestination, IUnknown, IID_ITransferDestination);

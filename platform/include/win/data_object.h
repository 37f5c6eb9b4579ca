// OLE data transfer: the formats and media a data object offers, the data
// object and its format enumerator, and the calls that copy and release media.
#pragma once

#include "win/clipboard.h"
#include "win/com.h"
#include "win/global_memory.h"
#include "win/storage.h"

// A target device is never rendered for here; the type only names it.
struct tagDVTARGETDEVICE;
typedef tagDVTARGETDEVICE DVTARGETDEVICE;

#define DVASPECT_CONTENT 1u
#define DVASPECT_THUMBNAIL 2u
#define DVASPECT_ICON 4u
#define DVASPECT_DOCPRINT 8u

#define TYMED_NULL 0u
#define TYMED_HGLOBAL 1u
#define TYMED_FILE 2u
#define TYMED_ISTREAM 4u
#define TYMED_ISTORAGE 8u
#define TYMED_GDI 16u
#define TYMED_MFPICT 32u
#define TYMED_ENHMF 64u

#define DATADIR_GET 1u
#define DATADIR_SET 2u

#define DATA_S_SAMEFORMATETC ((HRESULT)0x00040130L)
#define OLE_E_ADVISENOTSUPPORTED ((HRESULT)0x80040003L)
#define DV_E_FORMATETC ((HRESULT)0x80040064L)
#define DV_E_DVTARGETDEVICE ((HRESULT)0x80040065L)
#define DV_E_STGMEDIUM ((HRESULT)0x80040066L)
#define DV_E_LINDEX ((HRESULT)0x80040068L)
#define DV_E_TYMED ((HRESULT)0x80040069L)
#define DV_E_DVASPECT ((HRESULT)0x8004006BL)
#define CLIPBRD_E_CANT_OPEN ((HRESULT)0x800401D0L)

typedef struct tagFORMATETC {
    CLIPFORMAT cfFormat;
    DVTARGETDEVICE* ptd;
    DWORD dwAspect;
    LONG lindex;
    DWORD tymed;
} FORMATETC, *LPFORMATETC;

// A medium: which kind (tymed), the handle or interface of that kind, and the
// object to release instead of freeing the handle (null: free it).
typedef struct tagSTGMEDIUM {
    DWORD tymed;
    union {
        HANDLE hBitmap;
        HANDLE hMetaFilePict;
        HANDLE hEnhMetaFile;
        HGLOBAL hGlobal;
        LPOLESTR lpszFileName;
        IStream* pstm;
        IStorage* pstg;
    };
    IUnknown* pUnkForRelease;
} STGMEDIUM, *LPSTGMEDIUM;

// {00000103-0000-0000-C000-000000000046}
inline constexpr IID IID_IEnumFORMATETC{0x00000103, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
// {0000010E-0000-0000-C000-000000000046}
inline constexpr IID IID_IDataObject{0x0000010E, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

struct IEnumFORMATETC : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Next(ULONG count, FORMATETC* formats, ULONG* fetched) = 0;
    virtual HRESULT STDMETHODCALLTYPE Skip(ULONG count) = 0;
    virtual HRESULT STDMETHODCALLTYPE Reset() = 0;
    virtual HRESULT STDMETHODCALLTYPE Clone(IEnumFORMATETC** copy) = 0;
};
WIN_COM_INTERFACE_TRAITS(IEnumFORMATETC, IUnknown, IID_IEnumFORMATETC);

// Advise sinks are never connected here; the types only name them.
struct IAdviseSink;
struct IEnumSTATDATA;

struct IDataObject : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC* format, STGMEDIUM* medium) = 0;
    virtual HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* format) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC* in, FORMATETC* out) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetData(FORMATETC* format, STGMEDIUM* medium,
                                              BOOL release) = 0;
    virtual HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD direction, IEnumFORMATETC** formats) = 0;
    virtual HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC* format, DWORD flags, IAdviseSink* sink,
                                              DWORD* connection) = 0;
    virtual HRESULT STDMETHODCALLTYPE DUnadvise(DWORD connection) = 0;
    virtual HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA** advises) = 0;
};
typedef IDataObject* LPDATAOBJECT;
WIN_COM_INTERFACE_TRAITS(IDataObject, IUnknown, IID_IDataObject);

// Frees what a medium holds: with a release object only that object is
// released (besides the stream or storage interface itself); otherwise a
// global block is freed, a file is deleted and its name freed, a stream or
// storage released. The medium is cleared. A null medium is ignored.
void ReleaseStgMedium(STGMEDIUM* medium);

// A new global block with a copy of the bytes of a global block (any
// clipboard format here is a global block). flags are GlobalAlloc's; 0 means
// a movable block. NULL when the source is not a block or no memory is left.
HANDLE OleDuplicateData(HANDLE source, CLIPFORMAT format, UINT flags);

// ---- The OLE clipboard ----------------------------------------------------------
// One per log-on session. OleSetClipboard holds a reference to the object
// (null empties the clipboard, releasing the one before); setting the
// clipboard in another process lets it go. OleGetClipboard gives a
// reference to what it holds: in the process that set it, the object
// itself while it is set; in every process after OleFlushClipboard, the
// flushed data: copies of the object's global-memory formats, and for an
// object that offers "OleClipboardPersistOnFlush" also its saved form
// (IPersistStream), from which each OleGetClipboard rebuilds it
// (CoCreateInstance of its class, then Load); when that fails, the copies
// are given instead. A live object of another process is not reached
// across processes here: until it is flushed, other processes find the
// clipboard empty.
HRESULT OleSetClipboard(IDataObject* object);
// CLIPBRD_E_CANT_OPEN when the clipboard is empty (the pointer cleared),
// E_INVALIDARG for a null pointer.
HRESULT OleGetClipboard(IDataObject** object);
HRESULT OleFlushClipboard();
// S_OK when the object is the one set (and not flushed), S_FALSE otherwise.
HRESULT OleIsCurrentClipboard(IDataObject* object);

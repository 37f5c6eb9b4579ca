// Automation types: counted strings (BSTR), the VARIANT subset the programs
// use, and OLE automation dates (days since 30 December 1899 as a double;
// the fraction is the time of day, counted forward from midnight also for
// dates before 1899-12-30).
#pragma once

#include "win/com.h"
#include "win/locale.h"
#include "win/system_time.h"

typedef double DATE;
typedef wchar_t* BSTR;
typedef short VARIANT_BOOL;
typedef unsigned short VARTYPE;
#define VARIANT_TRUE ((VARIANT_BOOL)-1)
#define VARIANT_FALSE ((VARIANT_BOOL)0)

// A counted string from the task allocator (so the live-allocation count
// sees it): the length is kept before the characters, which are followed
// by a zero. Null for a null text (SysAllocString) and when memory is
// short. SysFreeString of null does nothing; the lengths of null are 0.
BSTR SysAllocString(const OLECHAR* text);
BSTR SysAllocStringLen(const OLECHAR* text, UINT length);  // null text: zeros
void SysFreeString(BSTR text);
UINT SysStringLen(BSTR text);
UINT SysStringByteLen(BSTR text);

#define VT_EMPTY 0
#define VT_NULL 1
#define VT_I2 2
#define VT_I4 3
#define VT_R8 5
#define VT_DATE 7
#define VT_BSTR 8
#define VT_BOOL 11
#define VT_UNKNOWN 13
#define VT_UI1 17
#define VT_UI4 19
#define VT_I8 20
#define VT_UI8 21
#define VT_BYREF 0x4000

typedef struct tagVARIANT {
    VARTYPE vt;
    WORD wReserved1;
    WORD wReserved2;
    WORD wReserved3;
    union {
        BYTE bVal;
        short iVal;
        LONG lVal;
        ULONG ulVal;
        LONGLONG llVal;
        ULONGLONG ullVal;
        double dblVal;
        DATE date;
        BSTR bstrVal;
        VARIANT_BOOL boolVal;
        IUnknown* punkVal;
        void* byref;
    };
} VARIANT, *LPVARIANT;
typedef VARIANT VARIANTARG;

#define DISP_E_TYPEMISMATCH ((HRESULT)0x80020005L)
#define DISP_E_BADVARTYPE ((HRESULT)0x80020008L)
#define DISP_E_OVERFLOW ((HRESULT)0x8002000AL)

// VT_EMPTY.
void VariantInit(VARIANTARG* variant);
// Frees what the variant owns (a BSTR, a reference of an interface; nothing
// for VT_BYREF) and leaves it VT_EMPTY.
HRESULT VariantClear(VARIANTARG* variant);
// Changes a copy of source into the type: to VT_BSTR from VT_DATE (the text
// of the thread's locale, below), VT_I4, VT_UI4, VT_I8, VT_UI8, VT_R8 and
// VT_BSTR; to VT_DATE from VT_DATE, VT_R8 and VT_I4; to VT_UI8 from VT_I4,
// VT_UI4, VT_I8, VT_UI8 and VT_R8 (rounded to the nearest whole number).
// destination may be source; it is cleared (VariantClear) only once the
// change succeeded, so it must hold a valid variant. DISP_E_TYPEMISMATCH
// for other pairs, DISP_E_OVERFLOW for a date outside the calendar and for
// a number below 0 or beyond the range of VT_UI8.
HRESULT VariantChangeType(VARIANTARG* destination, const VARIANTARG* source, WORD flags,
                          VARTYPE type);

// The text of a date as English (United States) writes it: "M/D/YYYY
// h:mm:ss AM", the date alone when the time is midnight, the time alone
// for day 0 (1899-12-30).
HRESULT VarBstrFromDate(DATE date, LCID locale, ULONG flags, BSTR* text);

// Dates from 1 January 100 to 31 December 9999, to the nearest second.
// FALSE for a date outside that range.
INT VariantTimeToSystemTime(DATE date, LPSYSTEMTIME time);
INT SystemTimeToVariantTime(const SYSTEMTIME* time, DATE* date);

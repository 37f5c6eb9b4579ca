// Releasing and duplicating the media of data transfer.
#include <cstdio>
#include <cstring>

#include "kernel/wide_text.h"
#include "win/data_object.h"
#include "win/file.h"

void ReleaseStgMedium(STGMEDIUM* medium) {
    if (!medium) return;
    IUnknown* release_object = medium->pUnkForRelease;
    switch (medium->tymed) {
        case TYMED_HGLOBAL:
            if (!release_object && medium->hGlobal) GlobalFree(medium->hGlobal);
            break;
        case TYMED_FILE:
            if (medium->lpszFileName) {
                if (!release_object)
                    std::remove(win_file::native_path(medium->lpszFileName).c_str());
                CoTaskMemFree(medium->lpszFileName);
            }
            break;
        case TYMED_ISTREAM:
            if (medium->pstm) medium->pstm->Release();
            break;
        case TYMED_ISTORAGE:
            if (medium->pstg) medium->pstg->Release();
            break;
        default:
            // GDI objects and metafiles are never made here; only their
            // release object, if any, has anything to let go.
            break;
    }
    if (release_object) release_object->Release();
    std::memset(medium, 0, sizeof *medium);
}

HANDLE OleDuplicateData(HANDLE source, CLIPFORMAT, UINT flags) {
    SetLastError(ERROR_SUCCESS);
    const SIZE_T size = GlobalSize(source);
    if (size == 0 && GetLastError() == ERROR_INVALID_HANDLE) return nullptr;
    HGLOBAL copy = GlobalAlloc(flags ? flags : GMEM_MOVEABLE, size);
    if (!copy) return nullptr;
    const void* from = GlobalLock(source);
    void* to = GlobalLock(copy);
    if (size && from && to) std::memcpy(to, from, size);
    GlobalUnlock(source);
    GlobalUnlock(copy);
    return copy;
}

#include "folder/folder_object/view_callback.h"

#include "folder/module/com_guard.h"
#include "win/shell.h"

CShellFolderViewCBImpl::~CShellFolderViewCBImpl() {
    CoTaskMemFree(m_pidl);
}

HRESULT CShellFolderViewCBImpl::Init(const CItemIdList& folder) {
    return shell_com::guarded([&] {
        LPITEMIDLIST list = folder.CreatePidl();
        if (!list) return E_OUTOFMEMORY;
        CoTaskMemFree(m_pidl);
        m_pidl = list;
        return S_OK;
    });
}

HRESULT CShellFolderViewCBImpl::MessageSFVCB(UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case SFVM_GETNOTIFY:
            if (!wparam || !lparam) return E_INVALIDARG;
            *reinterpret_cast<LPCITEMIDLIST*>(wparam) = m_pidl;
            *reinterpret_cast<LONG*>(lparam) = SHCNE_ALLEVENTS;
            return S_OK;
        case SFVM_GETZONE:
            if (!lparam) return E_INVALIDARG;
            *reinterpret_cast<DWORD*>(lparam) = 0;
            return S_OK;
        case SFVM_GETBUTTONINFO:
        case SFVM_GETBUTTONS:
            return S_OK;
        default:
            return E_NOTIMPL;
    }
}

HRESULT create_view_callback(const CItemIdList& folder, IShellFolderViewCB** callback) {
    *callback = nullptr;
    CComObject<CShellFolderViewCBImpl>* made = nullptr;
    HRESULT result = CComObject<CShellFolderViewCBImpl>::CreateInstance(&made);
    if (FAILED(result)) return result;
    made->AddRef();
    result = made->Init(folder);
    if (SUCCEEDED(result)) {
        *callback = made;
        return S_OK;
    }
    made->Release();
    return result;
}

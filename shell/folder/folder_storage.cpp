// The folder's interfaces that only answer that they are not served.
#include "folder/shell_folder_impl.h"

namespace {

template <typename T>
HRESULT none(T** out) {
    if (out) *out = nullptr;
    return E_NOTIMPL;
}

}  // namespace

HRESULT CShellFolderImpl::Advise(ITransferAdviseSink*, DWORD* cookie) {
    if (cookie) *cookie = 0;
    return E_NOTIMPL;
}

HRESULT CShellFolderImpl::Unadvise(DWORD) {
    return E_NOTIMPL;
}

HRESULT CShellFolderImpl::CreateItem(LPCWSTR, DWORD, ULONGLONG, TRANSFER_SOURCE_FLAGS, REFIID,
                                     void** item, REFIID, void** resources) {
    none(resources);
    return none(item);
}

HRESULT CShellFolderImpl::CreateStream(const OLECHAR*, DWORD, DWORD, DWORD, IStream** stream) {
    return none(stream);
}

HRESULT CShellFolderImpl::OpenStream(const OLECHAR*, void*, DWORD, DWORD, IStream** stream) {
    return none(stream);
}

HRESULT CShellFolderImpl::CreateStorage(const OLECHAR*, DWORD, DWORD, DWORD, IStorage** storage) {
    return none(storage);
}

HRESULT CShellFolderImpl::OpenStorage(const OLECHAR*, IStorage*, DWORD, SNB, DWORD,
                                      IStorage** storage) {
    return none(storage);
}

HRESULT CShellFolderImpl::CopyTo(DWORD, const IID*, SNB, IStorage*) {
    return E_NOTIMPL;
}

HRESULT CShellFolderImpl::MoveElementTo(const OLECHAR*, IStorage*, const OLECHAR*, DWORD) {
    return E_NOTIMPL;
}

HRESULT CShellFolderImpl::Commit(DWORD) {
    return E_NOTIMPL;
}

HRESULT CShellFolderImpl::Revert() {
    return E_NOTIMPL;
}

HRESULT CShellFolderImpl::EnumElements(DWORD, void*, DWORD, IEnumSTATSTG** elements) {
    return none(elements);
}

HRESULT CShellFolderImpl::DestroyElement(const OLECHAR*) {
    return E_NOTIMPL;
}

HRESULT CShellFolderImpl::RenameElement(const OLECHAR*, const OLECHAR*) {
    return E_NOTIMPL;
}

HRESULT CShellFolderImpl::SetElementTimes(const OLECHAR*, const FILETIME*, const FILETIME*,
                                          const FILETIME*) {
    return E_NOTIMPL;
}

HRESULT CShellFolderImpl::SetClass(REFCLSID) {
    return E_NOTIMPL;
}

HRESULT CShellFolderImpl::SetStateBits(DWORD, DWORD) {
    return E_NOTIMPL;
}

HRESULT CShellFolderImpl::Stat(STATSTG*, DWORD) {
    return E_NOTIMPL;
}

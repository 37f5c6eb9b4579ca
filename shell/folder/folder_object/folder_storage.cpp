// The folder as storage (a new file made as a stream) and its interfaces
// that only answer that they are not served.
#include "folder/folder_object/shell_folder_impl.h"

#include <boost/pointer_cast.hpp>

#include "folder/module/com_guard.h"
#include "vfs/exceptions.h"

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

HRESULT CShellFolderImpl::CreateStream(const OLECHAR* name, DWORD, DWORD, DWORD, IStream** stream) {
    if (!stream) return E_POINTER;
    *stream = nullptr;
    if (!name || !*name) return E_INVALIDARG;
    return shell_com::guarded([&]() -> HRESULT {
        const HRESULT connected = EnsureConnected(nullptr, true);
        if (FAILED(connected)) return connected;
        auto folder = boost::dynamic_pointer_cast<vfs::directory>(m_directory);
        if (!folder) return E_FAIL;
        vfs::item_ptr created;
        try {
            // An existing name is refused by the service; that is a failure
            // of this call, never an exception into the caller.
            created = folder->create_file(name);
        } catch (const vfs::exception&) {
            return E_FAIL;
        }
        if (!created) return E_FAIL;
        // The new file's id: the record of the item of that name.
        LPITEMIDLIST item = CItemIdList(make_pidl_data(created)).CreatePidl();
        if (!item) return E_OUTOFMEMORY;
        const HRESULT bound =
            BindToObject(item, nullptr, IID_IStream, reinterpret_cast<void**>(stream));
        CoTaskMemFree(item);
        return SUCCEEDED(bound) ? S_OK : E_FAIL;
    });
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

// The thumbnail extractor of one remote file: the service's thumbnail of
// the file, fetched once into the local thumbnail cache and read from there
// while the remote file has not changed.
#pragma once

#include <string>

#include "vfs/directory.h"
#include "vfs/file.h"
#include "vfs/item.h"
#include "win/atl_base.h"
#include "win/shell_extract.h"
#include "win/shell_idlist.h"

class CExtractImageImpl : public CComObjectRootEx<CComSingleThreadModel>, public IExtractImage {
public:
    using com_map = win_atl::com_map<IExtractImage>;

    // Keeps the item when it is a file; E_FAIL for anything else.
    HRESULT Init(vfs::item_ptr item);
    // Looks the list's last item up by its id in the directory and keeps it
    // when it is a file; E_FAIL for a folder, an unknown id or a failed
    // lookup.
    HRESULT InitFromPidl(const vfs::directory_ptr& directory, PCUIDLIST_RELATIVE list);

    // The cache file's path into the buffer (it must fit with its
    // terminator, or nothing is written); normal priority. E_PENDING when
    // the caller extracts on a worker (IEIFLAG_ASYNC), with the path filled.
    // The size and colour depth asked for are not used: the thumbnail is
    // the one the service makes.
    HRESULT STDMETHODCALLTYPE GetLocation(LPWSTR path, DWORD size, DWORD* priority,
                                          const SIZE* wanted, DWORD colour_depth,
                                          DWORD* flags) override;
    // Fetches the thumbnail into the cache unless the cached one is current,
    // and returns it decoded as a new bitmap. E_FAIL when the service fails
    // or the picture does not decode.
    HRESULT STDMETHODCALLTYPE Extract(HBITMAP* bitmap) override;

private:
    vfs::file_ptr kept_file() const;

    std::wstring m_path;  // the cache file, once GetLocation or Extract worked it out
    vfs::item_ptr m_item;
};

// A new thumbnail extractor of the item with that list in the directory
// (or, without a list, of the directory's own item), with one reference for
// the caller; the initialisation's failure is returned.
HRESULT create_extract_image(const vfs::item_ptr& item, const vfs::directory_ptr& directory,
                             PCUIDLIST_RELATIVE list, IExtractImage** extractor);

// Room folder/icons, above folder/module and below folder/transfer (the
// order of the rooms: shell/CMakeLists.txt): icons, thumbnails and their
// cache.
//
// The icon extractor of one remote item: a remote item shows the icon that
// the system shows for local files of its extension (folders the folder
// icon), found from the item id alone, without asking the service.
#pragma once

#include <string>

#include "folder/item_ids/pidl_data.h"
#include "win/atl_base.h"
#include "win/shell_extract.h"

// What the system's file types are asked for an item's icon: the text
// whose extension decides, and the attributes that say folder or file.
struct icon_lookup_key {
    std::wstring text;  // "*" for a folder; the name from its last "." on for a file
    DWORD attributes = 0;
};

// A folder (type 1) is "*" with the folder attribute; a file its extension
// with its dot, or the empty text for a name without a dot, with the normal
// attribute.
icon_lookup_key icon_key_of(const PIDLDATA& item);

class CExtractIconImpl : public CComObjectRootEx<CComSingleThreadModel>, public IExtractIconW {
public:
    using com_map = win_atl::com_map<IExtractIconW>;

    CExtractIconImpl();

    // Keeps a copy of the item's record.
    void Init(const PIDLDATA& item);

    // The location of the item's icon as the system's file types give it,
    // cut to the buffer and always terminated within max units; "*" with
    // GIL_NOTFILENAME when the system names no file. Remembers whether the
    // shell asked for its own list (GIL_FORSHELL) and for the open icon.
    // The lookup is quick, so GIL_ASYNC is answered at once as well.
    HRESULT STDMETHODCALLTYPE GetIconLocation(UINT flags, LPWSTR icon_file, UINT max, int* index,
                                              UINT* out_flags) override;
    // S_FALSE when the shell asked for its own list (it extracts from the
    // location itself); else the large and the small icon of the item's
    // type, new handles the caller destroys. The location arguments are not
    // looked at: the item's record decides.
    HRESULT STDMETHODCALLTYPE Extract(LPCWSTR file, UINT index, HICON* large, HICON* small,
                                      UINT size) override;

private:
    UINT info_flags() const;

    PIDLDATA m_data{};
    bool m_for_shell = false;
    bool m_open_icon = false;
};

// A new icon extractor for the item, with one reference for the caller.
HRESULT create_extract_icon(const PIDLDATA& item, IExtractIconW** extractor);

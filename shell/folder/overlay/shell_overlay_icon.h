// Room folder/overlay, above folder/drop and below folder/folder_object (the
// order of the rooms: shell/CMakeLists.txt).
//
// The extension's icon-overlay identifier: Explorer asks it, for every
// file-system path it shows, whether to draw the overlay on the item's
// icon. It marks the local side of the logged-in user's own folder pairs.
#pragma once

#include "utils/class_ids.h"
#include "win/atl_base.h"
#include "win/shell_overlay.h"

// The type library's interface of the identifier; it has no methods of its
// own.
struct IShellOverlayIcon : IUnknown {};
WIN_COM_INTERFACE_TRAITS(IShellOverlayIcon, IUnknown, utils::iid_shell_overlay_icon);

class CShellOverlayIcon : public CComObjectRootEx<CComSingleThreadModel>,
                          public CComCoClass<CShellOverlayIcon, &utils::clsid_shell_overlay_icon>,
                          public IShellIconOverlayIdentifier,
                          public IShellOverlayIcon {
public:
    using com_map = win_atl::com_map<IShellIconOverlayIdentifier, IShellOverlayIcon>;

    // The overlay image: this index in the extension's own file.
    static constexpr int icon_index = 3;

    static HRESULT UpdateRegistry(BOOL do_register);

    // S_OK for a marked path, S_FALSE otherwise (also when nobody is logged
    // in or anything fails on the way). The login state and the table are
    // those of the last second at most (marked_paths.h).
    HRESULT STDMETHODCALLTYPE IsMemberOf(LPCWSTR path, DWORD attributes) override;
    // The extension's module path, zero-terminated within size characters
    // (a buffer too short fails and holds an empty text), and the index.
    HRESULT STDMETHODCALLTYPE GetOverlayInfo(LPWSTR icon_file, int size, int* index,
                                             DWORD* flags) override;
    HRESULT STDMETHODCALLTYPE GetPriority(int* priority) override;
};

// Icon overlays: the interface Explorer asks, for every file-system path it
// shows, whether an identifier's overlay image goes on the item's icon.
// Identifiers are registered under the key ShellIconOverlayIdentifiers of
// HKLM's SOFTWARE\Microsoft\Windows\CurrentVersion\Explorer, one key each
// whose default value is the class id.
#pragma once

#include "win/com.h"

// {0C6C4200-C589-11D0-999A-00C04FD655E1}
inline constexpr IID IID_IShellIconOverlayIdentifier{
    0x0C6C4200, 0xC589, 0x11D0, {0x99, 0x9A, 0x00, 0xC0, 0x4F, 0xD6, 0x55, 0xE1}};

// GetOverlayInfo's flags: which of the file and the index it gave.
#define ISIOI_ICONFILE 0x00000001u
#define ISIOI_ICONINDEX 0x00000002u

struct IShellIconOverlayIdentifier : IUnknown {
    // S_OK when the path gets the overlay, S_FALSE when it does not.
    virtual HRESULT STDMETHODCALLTYPE IsMemberOf(LPCWSTR path, DWORD attributes) = 0;
    // The file holding the overlay image (at most `size` characters with the
    // closing zero), the image's index in it and which of them is valid.
    virtual HRESULT STDMETHODCALLTYPE GetOverlayInfo(LPWSTR icon_file, int size, int* index,
                                                     DWORD* flags) = 0;
    // 0 is the highest priority, 100 the lowest.
    virtual HRESULT STDMETHODCALLTYPE GetPriority(int* priority) = 0;
};
WIN_COM_INTERFACE_TRAITS(IShellIconOverlayIdentifier, IUnknown, IID_IShellIconOverlayIdentifier);

// Path helpers of the shell's light-weight library: all but PathFileExistsW
// and PathIsNetworkPathW look at the text only, never at the file system.
// Both "\" and "/" end a path element here, since local paths reach the
// shell in either form.
#pragma once

#include "win/base.h"

// The extension of the last element: a pointer to its last "." (the dot
// included), or to the terminating NUL when the element has none. A space
// after the last dot ends it as a separator does, so "a. b" has none.
// Null for null.
LPWSTR PathFindExtensionW(LPCWSTR path);
// The last element of the path: a pointer just behind the last "\", "/"
// or ":" that is not the path's last character; the path itself when it
// has none.
// Null for null.
LPWSTR PathFindFileNameW(LPCWSTR path);

// Whether something exists at the path (a file or a folder); this one does
// look at the file system.
BOOL PathFileExistsW(LPCWSTR path);

// Whether the path names a network location: a UNC name ("\\\\server..."),
// or a path on a network file system (NFS, SMB/CIFS, 9P, AFS, Ceph, Coda,
// NCP, or a FUSE mount, which may be one), as Windows counts a path on a
// mapped network drive. A path that does not exist is judged by its
// nearest existing parent. FALSE for null.
BOOL PathIsNetworkPathW(LPCWSTR path);

// Path helpers: extensions and file names found in the text alone, whether
// a path exists, and whether it is a network location.
#include "win/shell_path.h"

#include <sys/vfs.h>

#include <string>

#include "win/file.h"

LPWSTR PathFindExtensionW(LPCWSTR path) {
    if (!path) return nullptr;
    LPCWSTR dot = nullptr;
    LPCWSTR at = path;
    for (; *at; ++at) {
        if (*at == L'\\' || *at == L'/' || *at == L' ')
            dot = nullptr;
        else if (*at == L'.')
            dot = at;
    }
    return const_cast<LPWSTR>(dot ? dot : at);
}

LPWSTR PathFindFileNameW(LPCWSTR path) {
    if (!path) return nullptr;
    LPCWSTR name = path;
    for (LPCWSTR at = path; *at; ++at) {
        if ((*at == L'\\' || *at == L'/' || *at == L':') && at[1] && at[1] != L'\\' &&
            at[1] != L'/')
            name = at + 1;
    }
    return const_cast<LPWSTR>(name);
}

BOOL PathFileExistsW(LPCWSTR path) {
    return path && GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES;
}

namespace {

// File systems whose files live on another machine (statfs magic numbers).
bool is_network_file_system(unsigned long type) {
    switch (type) {
        case 0x6969:      // NFS
        case 0x517B:      // SMB
        case 0xFF534D42:  // CIFS
        case 0xFE534D42:  // SMB2
        case 0x01021997:  // 9P
        case 0x5346414F:  // AFS
        case 0x00C36400:  // Ceph
        case 0x73757245:  // Coda
        case 0x564C:      // NCP
        case 0x65735546:  // FUSE: sshfs and its kind; the strict reading
            return true;
        default:
            return false;
    }
}

}  // namespace

BOOL PathIsNetworkPathW(LPCWSTR path) {
    if (!path) return FALSE;
    if ((path[0] == L'\\' || path[0] == L'/') && (path[1] == L'\\' || path[1] == L'/')) return TRUE;
    std::string native = win_file::native_path(path);
    if (native.empty()) native = ".";
    struct statfs info {};
    while (::statfs(native.c_str(), &info) != 0) {
        if (native == "/" || native == ".") return FALSE;
        const size_t slash = native.find_last_of('/');
        if (slash == std::string::npos)
            native = ".";
        else
            native.resize(slash == 0 ? 1 : slash);  // the parent, or "/" itself
    }
    return is_network_file_system(static_cast<unsigned long>(info.f_type));
}

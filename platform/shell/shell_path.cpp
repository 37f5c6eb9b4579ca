// Path text helpers: extensions and file names found in the text alone, and
// whether a path exists.
#include "win/shell_path.h"

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

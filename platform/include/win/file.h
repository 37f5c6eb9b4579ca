// Files, as far as a plain byte copy needs them. Paths are the programs'
// local paths: "\" and "/" both separate elements, and the wide text becomes
// a UTF-8 native path at every call.
//
// Attributes: read-only is a file without its owner's write bit, checked by
// CreateFileW itself (so it holds for root too); hidden is a user extended
// attribute. A file with neither reports FILE_ATTRIBUTE_NORMAL.
//
// Sharing modes hold among the handles of this process, as the system holds
// them: an open whose access another handle of the file does not share, or
// that does not share what another handle does, fails with
// ERROR_SHARING_VIOLATION, and so do deleting and renaming a file that a
// handle holds without FILE_SHARE_DELETE. Only reading, writing (truncating
// included) and deleting count; access to attributes alone shares with
// anything. Handles of other processes are not seen.
#pragma once

#include <string>

#include "win/base.h"

// File attributes.
#define FILE_ATTRIBUTE_READONLY 0x00000001u
#define FILE_ATTRIBUTE_HIDDEN 0x00000002u
#define FILE_ATTRIBUTE_SYSTEM 0x00000004u
#define FILE_ATTRIBUTE_DIRECTORY 0x00000010u
#define FILE_ATTRIBUTE_ARCHIVE 0x00000020u
#define FILE_ATTRIBUTE_NORMAL 0x00000080u
#define FILE_ATTRIBUTE_TEMPORARY 0x00000100u
#define INVALID_FILE_ATTRIBUTES 0xFFFFFFFFu

// Access rights of a file handle.
#define FILE_READ_DATA 0x0001u
#define FILE_WRITE_DATA 0x0002u
#define FILE_APPEND_DATA 0x0004u
#define FILE_READ_EA 0x0008u
#define FILE_WRITE_EA 0x0010u
#define FILE_READ_ATTRIBUTES 0x0080u
#define FILE_WRITE_ATTRIBUTES 0x0100u
#define FILE_GENERIC_READ 0x00120089u
#define FILE_GENERIC_WRITE 0x00120116u

// Sharing modes: what other handles of the file may do meanwhile.
#define FILE_SHARE_READ 0x00000001u
#define FILE_SHARE_WRITE 0x00000002u
#define FILE_SHARE_DELETE 0x00000004u

// Creation dispositions.
#define CREATE_NEW 1u
#define CREATE_ALWAYS 2u
#define OPEN_EXISTING 3u
#define OPEN_ALWAYS 4u
#define TRUNCATE_EXISTING 5u

// Flags accepted beside the attributes (no effect here).
#define FILE_FLAG_WRITE_THROUGH 0x80000000u
#define FILE_FLAG_SEQUENTIAL_SCAN 0x08000000u
#define FILE_FLAG_RANDOM_ACCESS 0x10000000u

typedef struct _OVERLAPPED OVERLAPPED, *LPOVERLAPPED;

// Opens or creates a file; the handle is closed with CloseHandle.
// INVALID_HANDLE_VALUE on failure with the last error: ERROR_FILE_NOT_FOUND,
// ERROR_PATH_NOT_FOUND (a missing folder on the path), ERROR_FILE_EXISTS
// (CREATE_NEW), ERROR_ACCESS_DENIED (a folder; write access to a read-only
// file; CREATE_ALWAYS over a read-only file, or over a hidden one without
// FILE_ATTRIBUTE_HIDDEN in the attributes), ERROR_DISK_FULL. On success the
// last error is ERROR_ALREADY_EXISTS when CREATE_ALWAYS or OPEN_ALWAYS found
// the file, else 0. A created or replaced file gets the given read-only and
// hidden attributes; the handle itself may still write.
// ERROR_SHARING_VIOLATION when the sharing of an open handle of the file and
// this open's do not agree.
HANDLE CreateFileW(LPCWSTR path, DWORD access, DWORD share_mode, LPSECURITY_ATTRIBUTES security,
                   DWORD disposition, DWORD flags_and_attributes, HANDLE template_file);

// Reads up to the requested count from the current position; fewer only at
// the end of the file (0 there). Overlapped input is not supported
// (ERROR_INVALID_PARAMETER). ERROR_ACCESS_DENIED without read access.
BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD count, LPDWORD read, LPOVERLAPPED overlapped);

// Writes the whole count or fails (ERROR_DISK_FULL when the disk is full,
// with the bytes that were written reported). ERROR_ACCESS_DENIED without
// write access.
BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD count, LPDWORD written, LPOVERLAPPED overlapped);

// FILE_ATTRIBUTE_READONLY and FILE_ATTRIBUTE_HIDDEN are kept; other bits are
// accepted and ignored. ERROR_NOT_SUPPORTED when the file system cannot keep
// the hidden attribute.
BOOL SetFileAttributesW(LPCWSTR path, DWORD attributes);

// INVALID_FILE_ATTRIBUTES with ERROR_FILE_NOT_FOUND or ERROR_PATH_NOT_FOUND
// when the path does not exist.
DWORD GetFileAttributesW(LPCWSTR path);

// Creates one folder (its parent must exist); the security attributes are
// ignored. FALSE with ERROR_ALREADY_EXISTS when something of that name
// exists, ERROR_PATH_NOT_FOUND when the parent does not.
BOOL CreateDirectoryW(LPCWSTR path, LPSECURITY_ATTRIBUTES security);

// The times of an open file, each (when asked for) as 100-nanosecond
// intervals since 1601-01-01 UTC. Creation is reported as the last status
// change, the nearest the file system keeps.
BOOL GetFileTime(HANDLE file, LPFILETIME creation, LPFILETIME access, LPFILETIME write);

// Writes the file's data through to the disk.
BOOL FlushFileBuffers(HANDLE file);

// ERROR_FILE_NOT_FOUND or ERROR_PATH_NOT_FOUND when there is no such file,
// ERROR_ACCESS_DENIED for a folder, ERROR_SHARING_VIOLATION while a handle
// holds the file without FILE_SHARE_DELETE.
BOOL DeleteFileW(LPCWSTR path);

#define MOVEFILE_REPLACE_EXISTING 0x00000001u
#define MOVEFILE_WRITE_THROUGH 0x00000008u
// Renames a file in one step. Over an existing file only with
// MOVEFILE_REPLACE_EXISTING (else ERROR_ALREADY_EXISTS), and then the
// target is replaced atomically: a reader sees the old or the new file.
// ERROR_SHARING_VIOLATION while a handle holds the file without
// FILE_SHARE_DELETE, ERROR_ACCESS_DENIED while one holds the target so.
BOOL MoveFileExW(LPCWSTR existing, LPCWSTR target, DWORD flags);

namespace win_file {

// The native (UTF-8, "/"-separated) form of a program's local path, as every
// file call here uses it.
std::string native_path(const std::wstring& path);

// Whether the file at a native path carries the hidden attribute, as
// GetFileAttributesW reports it, without the rest of that call: for walks
// that read everything else of an entry themselves.
bool is_hidden(const std::string& native);

}  // namespace win_file

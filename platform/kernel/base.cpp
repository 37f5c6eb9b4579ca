#include <cstring>
#include <map>

#include "win/base.h"

namespace {
thread_local DWORD last_error = 0;

// The system texts of the codes the programs report.
const std::map<DWORD, const char*>& message_table() {
    static const std::map<DWORD, const char*> table = {
        {ERROR_SUCCESS, "The operation completed successfully."},
        {ERROR_INVALID_FUNCTION, "Incorrect function."},
        {ERROR_FILE_NOT_FOUND, "The system cannot find the file specified."},
        {ERROR_PATH_NOT_FOUND, "The system cannot find the path specified."},
        {ERROR_NO_ASSOCIATION,
         "No application is associated with the specified file for this operation."},
        {ERROR_TOO_MANY_OPEN_FILES, "The system cannot open the file."},
        {ERROR_ACCESS_DENIED, "Access is denied."},
        {ERROR_INVALID_HANDLE, "The handle is invalid."},
        {ERROR_NOT_ENOUGH_MEMORY, "Not enough storage is available to process this command."},
        {ERROR_OUTOFMEMORY, "Not enough storage is available to complete this operation."},
        {ERROR_WRITE_FAULT, "The system cannot write to the specified device."},
        {ERROR_READ_FAULT, "The system cannot read from the specified device."},
        {ERROR_GEN_FAILURE, "A device attached to the system is not functioning."},
        {ERROR_SHARING_VIOLATION,
         "The process cannot access the file because it is being used by another process."},
        {ERROR_HANDLE_EOF, "Reached the end of the file."},
        {ERROR_NOT_SUPPORTED, "The request is not supported."},
        {ERROR_FILE_EXISTS, "The file exists."},
        {ERROR_INVALID_PARAMETER, "The parameter is incorrect."},
        {ERROR_DISK_FULL, "There is not enough space on the disk."},
        {ERROR_CALL_NOT_IMPLEMENTED, "This function is not supported on this system."},
        {ERROR_INSUFFICIENT_BUFFER, "The data area passed to a system call is too small."},
        {ERROR_INVALID_NAME, "The filename, directory name, or volume label syntax is incorrect."},
        {ERROR_MOD_NOT_FOUND, "The specified module could not be found."},
        {ERROR_BAD_PATHNAME, "The specified path is invalid."},
        {ERROR_ALREADY_EXISTS, "Cannot create a file when that file already exists."},
        {ERROR_FILENAME_EXCED_RANGE, "The filename or extension is too long."},
        {ERROR_MORE_DATA, "More data is available."},
        {ERROR_NO_MORE_ITEMS, "No more data is available."},
        {ERROR_NOT_OWNER, "Attempt to release mutex not owned by caller."},
        {ERROR_INVALID_ADDRESS, "Attempt to access invalid address."},
        {ERROR_INVALID_FLAGS, "Invalid flags."},
        {ERROR_BADDB, "The configuration registry database is corrupt."},
        {ERROR_BADKEY, "The configuration registry key is invalid."},
        {ERROR_CANTOPEN, "The configuration registry key could not be opened."},
        {ERROR_CANTREAD, "The configuration registry key could not be read."},
        {ERROR_CANTWRITE, "The configuration registry key could not be written."},
        {ERROR_KEY_DELETED,
         "Illegal operation attempted on a registry key that has been marked for deletion."},
        {ERROR_INVALID_WINDOW_HANDLE, "Invalid window handle."},
        {ERROR_TIMEOUT, "This operation returned because the timeout period expired."},
    };
    return table;
}
}  // namespace

DWORD GetLastError() {
    return last_error;
}

void SetLastError(DWORD code) {
    last_error = code;
}

DWORD FormatMessageA(DWORD flags, LPCVOID, DWORD message_id, DWORD, LPSTR buffer, DWORD size,
                     void*) {
    if (!(flags & FORMAT_MESSAGE_FROM_SYSTEM) || (flags & FORMAT_MESSAGE_ALLOCATE_BUFFER) ||
        !buffer) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    auto it = message_table().find(message_id);
    if (it == message_table().end()) {
        SetLastError(ERROR_MR_MID_NOT_FOUND);
        return 0;
    }
    const size_t length = std::strlen(it->second) + 2;  // with "\r\n"
    if (length + 1 > size) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::memcpy(buffer, it->second, length - 2);
    std::memcpy(buffer + length - 2, "\r\n", 3);
    return static_cast<DWORD>(length);
}

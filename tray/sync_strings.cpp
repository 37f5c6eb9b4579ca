#include "sync_strings.h"

#include <mutex>

#include "win/afx.h"

void RegisterSyncStrings(HMODULE module) {
    win_dialogs::register_strings(
        module,
        {
            {IDS_SYNC_LOGOFF_ANYWAY,
             L"Calvimora still has synchronization tasks queued. Logoff anyway?"},
            {IDS_SYNC_ASK_RECURSE_REMOTE,
             L"Should Calvimora synchronize all subfolders of remote folder '%s'?"},
            {IDS_SYNC_ASK_RECURSE_LOCAL,
             L"Should Calvimora synchronize all subfolders of local folder '%s'?"},
            {IDS_SYNC_COPY_TO_TEMPORARY, L"Copying file '%s' to temporary folder failed."},
            {IDS_SYNC_COPY_FROM_TEMPORARY, L"Copying temporary file to '%s' failed."},
            {IDS_SYNC_OPEN_TEMPORARY, L"Opening temporary file for '%s' failed."},
            {IDS_SYNC_READ_TEMPORARY, L"Reading from temporary file for '%s' failed."},
            {IDS_SYNC_WRITE_TEMPORARY, L"Writing to temporary file for '%s' failed."},
            {IDS_SYNC_CLOSE_TEMPORARY, L"Closing temporary file for '%s' failed."},
            {IDS_SYNC_TEMPORARY_ATTRIBUTES,
             L"Setting attributes for temporary file for '%s' failed."},
            {IDS_SYNC_OPEN_REMOTE_DIR, L"Opening remote dir '%s' failed."},
            {IDS_SYNC_CREATE_REMOTE_FILE, L"Creating remote file '%s' failed."},
            {IDS_SYNC_OPEN_REMOTE_FILE, L"Opening remote file '%s' failed."},
            {IDS_SYNC_READ_REMOTE_FILE, L"Reading remote file '%s' failed."},
            {IDS_SYNC_WRITE_REMOTE_FILE, L"Writing remote file '%s' failed."},
            {IDS_SYNC_CLOSE_REMOTE_FILE, L"Closing remote file '%s' failed."},
            {IDS_SYNC_REMOTE_FILE_INFO, L"Getting info for remote file '%s' failed."},
            {IDS_SYNC_SET_REMOTE_DATE, L"Setting date for remote file '%s' failed."},
            {IDS_SYNC_UPLOADED, L"File '%s' uploaded successfully."},
            {IDS_SYNC_UPLOAD_FAILED, L"File '%s' upload failed."},
            {IDS_SYNC_UPLOAD_CANCELED, L"File '%s' upload canceled."},
            {IDS_SYNC_DOWNLOADED, L"File '%s' downloaded successfully."},
            {IDS_SYNC_DOWNLOAD_FAILED, L"File '%s' download failed."},
            {IDS_SYNC_DOWNLOAD_CANCELED, L"File '%s' download canceled."},
            {IDS_SYNC_CAPTION, L"Calvimora synchronizer"},
            {IDS_SYNC_ASK_UPLOAD_NEW,
             L"File '%s' exists on local drive, but not on '%s'.\r\n\r\nLocal path: %s\r\n"
             L"Remote path: %s\r\n\r\nWould you like to upload it?"},
            {IDS_SYNC_ASK_DOWNLOAD_NEW,
             L"File '%s' exists on '%s', but not on local drive.\r\n\r\nLocal path: %s\r\n"
             L"Remote path: %s\r\n\r\nWould you like to download it?"},
            {IDS_SYNC_ASK_UPLOAD_NEWER,
             L"File '%s' has been modified on local drive, but its older copy exists on "
             L"'%s'.\r\n\r\nLocal path: %s\r\nRemote path: %s\r\n\r\nWould you like to upload "
             L"it?"},
            {IDS_SYNC_ASK_DOWNLOAD_NEWER,
             L"File '%s' has been modified on '%s', but its older copy exists on local "
             L"drive.\r\n\r\nLocal path: %s\r\nRemote path: %s\r\n\r\nWould you like to "
             L"download it?"},
            {IDS_SYNC_ASK_REMOVE_REMOTE_FILE,
             L"File '%s' has been removed from local drive.\r\n\r\nLocal path: %s\r\n"
             L"Remote path: %s\r\n\r\nWould you like to remove it from '%s'?"},
            {IDS_SYNC_ASK_REMOVE_LOCAL_FILE,
             L"File '%s' has been removed from '%s'.\r\n\r\nLocal path: %s\r\nRemote path: "
             L"%s\r\n\r\nWould you like to remove it from local drive?"},
            {IDS_SYNC_ASK_CANCEL,
             L"This file or folder will no longer be syncronized. Do you wish to cancel?"},
            {IDS_SYNC_ASK_RECURSE,
             L"Should Calvimora synchronize all subfolders of folders '%s' and '%s'?"},
            {IDS_SYNC_ASK_REMOVE_REMOTE_FOLDER,
             L"Folder '%s' has been removed from local drive.\r\n\r\nLocal path: %s\r\n"
             L"Remote path: %s\r\n\r\nWould you like to remove it from '%s'?"},
            {IDS_SYNC_ASK_REMOVE_LOCAL_FOLDER,
             L"Folder '%s' has been removed from '%s'.\r\n\r\nLocal path: %s\r\nRemote "
             L"path: %s\r\n\r\nWould you like to remove it from local drive?"},
            {IDS_SYNC_TABLE_RESTORED, L"%s sync database has been successfully restored."},
            {IDS_SYNC_REMOVE_TEMPORARY, L"Removing temporary file for '%s' failed."},
            {IDS_SYNC_CREATE_LOCAL_DIR, L"Creating local dir '%s' failed."},
        });
}

std::wstring LoadSyncString(UINT id) {
    static std::once_flag registered;
    std::call_once(registered, [] { RegisterSyncStrings(AfxGetResourceHandle()); });
    const wchar_t* text = nullptr;
    const int length = LoadStringW(AfxGetResourceHandle(), id, reinterpret_cast<LPWSTR>(&text), 0);
    return length > 0 && text ? std::wstring(text, static_cast<size_t>(length)) : std::wstring();
}

// The resources of the sync manager dialog: its dialog template and the
// texts it shows, filed in the extension's module once.
#pragma once

#include "win/base.h"

enum sync_manager_resource_id : UINT {
    IDD_SYNC_MANAGER = 2206,
    IDC_SYNC_MANAGER_LIST = 480,
    IDC_SYNC_MANAGER_CANCEL_SYNC = 481,
    IDC_SYNC_MANAGER_SYNC_ONCE = 482,
};

namespace sync_manager_text {

inline constexpr const wchar_t* caption = L"Calvimora synchronization manager";
inline constexpr const wchar_t* error_caption = L"Calvimora syncer error";
inline constexpr const wchar_t* file_name = L"File Name";
inline constexpr const wchar_t* file_location = L"File Location";
inline constexpr const wchar_t* remote_location = L"CM Location";
// Column 0 of a folder binding, which names no file.
inline constexpr const wchar_t* folder = L"<dir>";

}  // namespace sync_manager_text

void register_sync_manager_resources();

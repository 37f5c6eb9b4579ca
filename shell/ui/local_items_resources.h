// The resources of the handlers of local files and folders: the context
// menu's texts and bitmap, and the "Calvimora" page's template, filed in
// the extension's module once (with the sync page's strings they share).
#pragma once

#include "win/base.h"

enum local_items_resource_id : UINT {
    IDD_LOCAL_SYNC_PAGE = 2203,
    IDC_LOCAL_PATH = 500,
    IDC_LOCAL_REMOTE_FOLDER = 468,
    IDC_LOCAL_BROWSE = 469,
    IDC_LOCAL_OPTIONS = 479,
    IDC_LOCAL_PERMANENT = 508,
    IDC_LOCAL_FULL = 509,
    IDC_LOCAL_BACKUP = 510,
    IDC_LOCAL_MANAGE = 477,
    IDC_LOCAL_BACKUP_NOTE = 513,
    IDC_LOCAL_FULL_NOTE = 514,
    IDC_LOCAL_HIDDEN_NOTE = 515,
    IDC_LOCAL_SPARE_FIRST = 474,  // three hidden radio buttons, 474 to 476, unused

    IDB_LOCAL_MENU = 2205,

    IDS_LOCAL_SYNCHRONIZE = 1504,
    IDS_LOCAL_BACKUP = 1508,
};

void register_local_items_resources();

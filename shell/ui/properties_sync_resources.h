// The resources of the sync page of remote items: its dialog template and
// the strings of its boxes, filed in the extension's module once.
#pragma once

#include "win/base.h"

enum properties_sync_resource_id : UINT {
    IDD_PROPERTIES_SYNC = 2210,
    IDC_SYNC_BROWSE = 493,
    IDC_SYNC_MANAGE = 494,
    IDC_SYNC_REMOTE_LOCATION = 500,
    IDC_SYNC_LOCAL_FOLDER = 501,
    IDC_SYNC_PERMANENT = 502,
    IDC_SYNC_FULL = 506,
    IDC_SYNC_BACKUP = 507,
    IDC_SYNC_BACKUP_NOTE = 511,
    IDC_SYNC_FULL_NOTE = 512,
    IDC_SYNC_HIDDEN_NOTE = 516,

    IDS_SELECT_FOLDER = 1004,
    IDS_MULTIPLE_ITEMS = 1005,
    IDS_SYNC_PRODUCT_NAME = 1702,
    IDS_ERROR_LOADING_ITEMS = 1704,
    IDS_WRONG_PATH_SELECTED = 1705,
    IDS_WRONG_PATH_TEXT = 1706,
    IDS_ERROR_SAVING_BINDINGS = 1707,
};

// The page's size in dialog units, which the sheet's pages share.
inline constexpr short sync_page_width = 243;
inline constexpr short sync_page_height = 232;

void register_properties_sync_resources();

// The folder's texts in the extension's string table.
#pragma once

#include "win/base.h"

enum folder_string_id : UINT {
    IDS_COLUMN_NAME = 1210,
    IDS_COLUMN_TYPE = 1211,
    IDS_COLUMN_SIZE = 1212,
    IDS_COLUMN_DATE_ACCESSED = 1213,
    IDS_COLUMN_DATE_MODIFIED = 1214,
    IDS_MENU_NEW_FOLDER = 1500,
    IDS_NEW_FOLDER_NAME = 1501,
    IDS_MENU_OPEN = 1502,
    IDS_MENU_SHARE = 1503,
    IDS_MENU_RESTORE = 1506,
    IDS_MENU_SYNCHRONIZE = 1507,
};

// The resources of the property sheet of remote items: its dialog and the
// texts of its tabs, captions and errors, filed in the extension's module
// once; the icon of a selection of several items is the build's.
#pragma once

#include "win/base.h"

enum property_sheet_resource_id : UINT {
    IDD_PROPERTY_SHEET = 350,
    IDC_SHEET_TABS = 351,
    IDC_SHEET_APPLY = 352,

    IDS_TAB_GENERAL = 1600,
    IDS_SHEET_CAPTION_ONE = 1601,
    IDS_SHEET_CAPTION_SEVERAL = 1602,
    IDS_ERROR_LOADING_DESCRIPTION = 1608,
    IDS_TAB_SHARING = 1610,
    IDS_TAB_SYNC = 1630,

    IDI_SEVERAL_ITEMS = 2000,  // embedded by the build (ui/art/2000_several_items.png)
};

void register_property_sheet_resources();

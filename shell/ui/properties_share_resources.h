// The resources of the sharing page of the property sheet of remote
// items: its dialog template and strings, filed in the extension's module
// once.
#pragma once

#include "win/base.h"

enum share_resource_id : UINT {
    IDD_PROPERTIES_SHARE = 2202,

    IDC_SHARE_ICON = 353,
    IDC_SHARE_USER = 450,       // user name or e-mail address to share with
    IDC_SHARE_BUTTON = 451,     // "Share..."
    IDC_SHARE_USER_LIST = 452,  // the users the folder is shared with
    IDC_SHARE_MODE_VIEW = 453,  // radio
    IDC_SHARE_MODE_FULL = 454,  // radio
    IDC_SHARE_FOLDER_NAME = 455,
    IDC_SHARE_STATE = 456,        // "Shared" / "Not Shared"
    IDC_SHARE_MESSAGE = 457,      // bold: what became of the last Share
    IDC_SHARE_ADVANCED = 458,     // group box "Advanced Sharing"
    IDC_SHARE_PERMISSIONS = 459,  // "Set user permissions ..."
    IDC_SHARE_COLUMN_USERS = 460,
    IDC_SHARE_COLUMN_VIEW = 461,
    IDC_SHARE_COLUMN_FULL = 462,
    IDC_SHARE_COLUMN_LINKS = 463,
    IDC_SHARE_SAVE = 464,  // "Save changes"
    IDC_SHARE_HINT = 465,
    IDC_SHARE_PROMPT = 466,       // "Add new user ..." / "Share this folder with:"
    IDC_SHARE_EDITED_USER = 467,  // bold: the user being edited

    IDS_SHARE_SHARED = 1611,
    IDS_SHARE_NOT_SHARED = 1612,
    IDS_SHARE_NO_SUCH_USER = 1613,
    IDS_SHARE_ADD_USER = 1614,
    IDS_SHARE_WITH = 1615,
    IDS_SHARE_CONFIRM_REMOVE = 1616,
    IDS_SHARE_INVITATION_SENT = 1617,
    IDS_SHARE_ERROR_SHARING = 1618,
    IDS_SHARE_ERROR_LOADING = 1619,
    IDS_SHARE_ERROR_CHANGING = 1620,
    IDS_SHARE_ERROR_REMOVING = 1621,
};

void register_share_resources();

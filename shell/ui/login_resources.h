// The resources of the login dialog and its new-account child: their
// dialog templates and strings, filed in the extension's module once.
#pragma once

#include "win/base.h"

enum login_resource_id : UINT {
    IDD_LOGIN = 300,
    IDC_LOGIN_USER = 301,
    IDC_LOGIN_PASSWORD = 302,
    IDC_LOGIN_SAVE_PASSWORD = 484,
    IDC_LOGIN_AUTO_LOGIN = 485,

    IDD_NEW_PROFILE = 2208,
    IDC_PROFILE_USER = 487,
    IDC_PROFILE_PASSWORD = 488,
    IDC_PROFILE_VERIFY_PASSWORD = 489,
    IDC_PROFILE_EMAIL = 490,
    IDC_PROFILE_FIRST_NAME = 491,
    IDC_PROFILE_LAST_NAME = 492,
    IDC_PROFILE_SIGN_UP = 494,

    IDS_ERROR_CREATING_PROFILE = 1012,
    IDS_ACCOUNT_CREATED = 1013,
};

void register_login_resources();

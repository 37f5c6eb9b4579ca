// The resources of the drive page: its dialog template and its strings,
// filed in the extension's module once. The program icon it shows is the
// build's (ui/art/101_program.png).
#pragma once

#include "win/base.h"

enum properties_drive_resource_id : UINT {
    IDI_PROGRAM = 101,
    IDD_PROPERTIES_DRIVE = 400,
    IDC_DRIVE_ICON = 401,
    IDC_DRIVE_PRODUCT = 402,
    IDC_DRIVE_USER_NAME = 403,
    IDC_DRIVE_LEVEL = 404,
    IDC_DRIVE_USED_BYTES = 405,
    IDC_DRIVE_USED = 406,
    IDC_DRIVE_FREE_BYTES = 407,
    IDC_DRIVE_FREE = 408,
    IDC_DRIVE_CAPACITY_BYTES = 409,
    IDC_DRIVE_CAPACITY = 410,
    IDC_DRIVE_CHART = 411,
    IDC_DRIVE_SYNC_MANAGER = 477,
    IDC_DRIVE_USED_KEY = 2100,
    IDC_DRIVE_FREE_KEY = 2101,

    IDS_DRIVE_PAGE_TITLE = 1700,
    IDS_DRIVE_UNLIMITED = 1701,
};

void register_properties_drive_resources();

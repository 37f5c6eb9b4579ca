// Room module, the highest room of the extension, above ui/ (the order of
// the rooms: shell/CMakeLists.txt): the only room that names the classes of
// every room below it, for the object map, their registration scripts and
// the shared object's exports.
//
// The classes of the object map and the resource ids of their registry
// scripts: the folder and the overlay identifier (folder_object/,
// overlay/), the data object, which the clipboard rebuilds from its saved
// form once the clipboard was flushed (transfer/), the drive's sheet and the
// handlers of local files and folders (ui/).
#pragma once

#include "folder/folder_object/shell_folder_impl.h"
#include "folder/overlay/shell_overlay_icon.h"
#include "folder/transfer/data_object_impl.h"
#include "ui/local_context_menu.h"
#include "ui/local_sync_page.h"
#include "ui/properties_drive.h"
#include "utils/class_ids.h"
#include "win/atl_base.h"

// The resource ids of the classes' registry scripts (the application id's,
// 103, is the module's own: module.h).
enum registry_script_id : UINT {
    IDR_SHELL_FOLDER = 104,
    IDR_PROPERTIES_DRIVE = 105,
    IDR_DATA_OBJECT = 106,
    IDR_SHELL_CONTEXT_MENU = 1901,
    IDR_PROPERTIES_SYNC = 1902,
    IDR_SHELL_OVERLAY_ICON = 1904,
};

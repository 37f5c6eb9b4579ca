// Resource ids of the tray program: its two tray icons and its menu with
// the menu's commands.
#pragma once

#define IDI_TRAY_LOGGED_OUT 129
#define IDI_TRAY_LOGGED_IN 130  // also shown while the automatic log-in runs
#define IDR_TRAY_MENU 131

#define ID_TRAY_LOG_IN 32771
#define ID_TRAY_LOG_OUT 32772
#define ID_TRAY_SHOW_TASK_MANAGER 32774

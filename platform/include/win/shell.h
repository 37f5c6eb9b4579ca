// Shell services: the special folders and change notifications, and (in
// the headers below) the desktop folder and its item-id lists, the tray
// icon and the shell's execution of files. There is no shell here:
// notifications, tray icons and executions are kept in journals under the
// stand-in machine's root that tests read (win/test_journal.h,
// win/shell_test.h).
#pragma once

#include "win/base.h"
#include "win/shell_execute.h"
#include "win/shell_folder.h"
#include "win/shell_idlist.h"
#include "win/shell_info.h"
#include "win/shell_notify_icon.h"
#include "win/shell_propsheet.h"

// Special folders. Only the local application-data folder, the profile
// folder and the documents folder in it exist here, all under the machine's
// root (win/machine.h).
#define CSIDL_DESKTOP 0x0000
#define CSIDL_PERSONAL 0x0005
#define CSIDL_DRIVES 0x0011
#define CSIDL_APPDATA 0x001A
#define CSIDL_LOCAL_APPDATA 0x001C
#define CSIDL_PROFILE 0x0028
#define CSIDL_FLAG_CREATE 0x8000
#define CSIDL_FLAG_MASK 0xFF00

#define SHGFP_TYPE_CURRENT 0
#define SHGFP_TYPE_DEFAULT 1

// Writes the folder (at most MAX_PATH characters with the NUL) into path.
// S_OK; E_INVALIDARG for a folder the stand-in does not have; E_FAIL when the
// folder's path does not fit.
HRESULT SHGetFolderPathW(HWND owner, int folder, HANDLE token, DWORD flags, LPWSTR path);

// Change events.
#define SHCNE_RENAMEITEM 0x00000001L
#define SHCNE_CREATE 0x00000002L
#define SHCNE_DELETE 0x00000004L
#define SHCNE_MKDIR 0x00000008L
#define SHCNE_RMDIR 0x00000010L
#define SHCNE_MEDIAINSERTED 0x00000020L
#define SHCNE_MEDIAREMOVED 0x00000040L
#define SHCNE_DRIVEREMOVED 0x00000080L
#define SHCNE_DRIVEADD 0x00000100L
#define SHCNE_NETSHARE 0x00000200L
#define SHCNE_NETUNSHARE 0x00000400L
#define SHCNE_ATTRIBUTES 0x00000800L
#define SHCNE_UPDATEDIR 0x00001000L
#define SHCNE_UPDATEITEM 0x00002000L
#define SHCNE_SERVERDISCONNECT 0x00004000L
#define SHCNE_UPDATEIMAGE 0x00008000L
#define SHCNE_DRIVEADDGUI 0x00010000L
#define SHCNE_RENAMEFOLDER 0x00020000L
#define SHCNE_FREESPACE 0x00040000L
#define SHCNE_EXTENDED_EVENT 0x04000000L
#define SHCNE_ASSOCCHANGED 0x08000000L
#define SHCNE_DISKEVENTS 0x0002381FL
#define SHCNE_GLOBALEVENTS 0x0C0581E0L
#define SHCNE_ALLEVENTS 0x7FFFFFFFL
#define SHCNE_INTERRUPT (static_cast<LONG>(0x80000000u))

// What the two items are (the low byte of the flags), and delivery flags.
#define SHCNF_IDLIST 0x0000u
#define SHCNF_PATHA 0x0001u
#define SHCNF_PRINTERA 0x0002u
#define SHCNF_DWORD 0x0003u
#define SHCNF_PATHW 0x0005u
#define SHCNF_PRINTERW 0x0006u
#define SHCNF_TYPE 0x00FFu
#define SHCNF_FLUSH 0x1000u
#define SHCNF_FLUSHNOWAIT 0x3000u
#define SHCNF_NOTIFYRECURSIVE 0x10000u

// Appends one record to the notification journal: the event, the flags and
// both items as text (paths as UTF-8, item-id lists as hexadecimal bytes,
// DWORD items as numbers). Never fails visibly.
void SHChangeNotify(LONG event, UINT flags, LPCVOID item1, LPCVOID item2);

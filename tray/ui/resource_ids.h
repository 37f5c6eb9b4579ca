// Resource ids of the tray program's windows: the question box's dialog and
// controls, and the PNG images of the toolkit's art (tray/art/toolkit).
#pragma once

// The question box.
#define IDD_YESNO_MESSAGEBOX 110
#define IDC_YESNO_MESSAGE 1050
#define IDC_YESNO_APPLY_TO_ALL 1051
#define IDC_YESNO_DONT_ASK 1052
#define IDB_YESNO_QUESTION 400

// The sync window's frame.
#define IDB_FRAME_CENTRE 201
#define IDB_FRAME_BOTTOM 202
#define IDB_FRAME_BOTTOM_LEFT 203
#define IDB_FRAME_BOTTOM_RIGHT 204
#define IDB_FRAME_LEFT 205
#define IDB_FRAME_RIGHT 206
#define IDB_FRAME_TOP_LEFT_PIECE 207
#define IDB_FRAME_TOP 208
#define IDB_FRAME_TOP_RIGHT_PIECE 209
#define IDB_FRAME_TOP_LEFT 210
#define IDB_FRAME_TOP_RIGHT 211

// Buttons: the 82 by 18 text buttons, and the close button's four states.
#define IDB_BUTTON_STOP 212
#define IDB_BUTTON_RESUME 213
#define IDB_BUTTON_CANCEL 214
#define IDB_CLOSE_NORMAL 215
#define IDB_CLOSE_HOVERED 216
#define IDB_CLOSE_PRESSED 217
#define IDB_CLOSE_DISABLED 218

// The scroll bar, 6 wide.
#define IDB_SCROLL_DOWN 251
#define IDB_SCROLL_UP 252
#define IDB_SCROLL_TRACK 253
#define IDB_SCROLL_THUMB_BOTTOM 254
#define IDB_SCROLL_THUMB_MIDDLE 255
#define IDB_SCROLL_THUMB_TOP 256

// Rows: progress bar pieces of a top-level row and of a row in a group.
#define IDB_BAR_LEFT 301
#define IDB_BAR_MIDDLE 302
#define IDB_BAR_RIGHT 303
#define IDB_CHILD_BAR_LEFT 304
#define IDB_CHILD_BAR_MIDDLE 305
#define IDB_CHILD_BAR_RIGHT 306
// Icons: a group's folder (idle, and the blink while a row runs), and the
// kinds of a row (download and upload, each with its blink).
#define IDB_GROUP_ICON 307
#define IDB_GROUP_ICON_BLINK 308
#define IDB_DOWNLOAD_ICON 309
#define IDB_DOWNLOAD_ICON_BLINK 310
#define IDB_UPLOAD_ICON 311
#define IDB_UPLOAD_ICON_BLINK 312
// The nine pieces of a group's frame, row by row from the top-left corner.
#define IDB_GROUP_TOP_LEFT 313
#define IDB_GROUP_TOP 314
#define IDB_GROUP_TOP_RIGHT 315
#define IDB_GROUP_LEFT 316
#define IDB_GROUP_CENTRE 317
#define IDB_GROUP_RIGHT 318
#define IDB_GROUP_BOTTOM_LEFT 319
#define IDB_GROUP_BOTTOM 320
#define IDB_GROUP_BOTTOM_RIGHT 321

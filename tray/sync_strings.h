// The sync window's string table (ids 2000 to 2037), filed as string
// resources of the program's module the first time a text is asked for.
#pragma once

#include <string>

#include "win/base.h"

inline constexpr UINT IDS_SYNC_LOGOFF_ANYWAY = 2000;
inline constexpr UINT IDS_SYNC_ASK_RECURSE_REMOTE = 2001;
inline constexpr UINT IDS_SYNC_ASK_RECURSE_LOCAL = 2002;
inline constexpr UINT IDS_SYNC_COPY_TO_TEMPORARY = 2003;
inline constexpr UINT IDS_SYNC_COPY_FROM_TEMPORARY = 2004;
inline constexpr UINT IDS_SYNC_OPEN_TEMPORARY = 2005;
inline constexpr UINT IDS_SYNC_READ_TEMPORARY = 2006;
inline constexpr UINT IDS_SYNC_WRITE_TEMPORARY = 2007;
inline constexpr UINT IDS_SYNC_CLOSE_TEMPORARY = 2008;
inline constexpr UINT IDS_SYNC_TEMPORARY_ATTRIBUTES = 2009;
inline constexpr UINT IDS_SYNC_OPEN_REMOTE_DIR = 2010;
inline constexpr UINT IDS_SYNC_CREATE_REMOTE_FILE = 2011;
inline constexpr UINT IDS_SYNC_OPEN_REMOTE_FILE = 2012;
inline constexpr UINT IDS_SYNC_READ_REMOTE_FILE = 2013;
inline constexpr UINT IDS_SYNC_WRITE_REMOTE_FILE = 2014;
inline constexpr UINT IDS_SYNC_CLOSE_REMOTE_FILE = 2015;
inline constexpr UINT IDS_SYNC_REMOTE_FILE_INFO = 2016;
inline constexpr UINT IDS_SYNC_SET_REMOTE_DATE = 2017;
inline constexpr UINT IDS_SYNC_UPLOADED = 2018;
inline constexpr UINT IDS_SYNC_UPLOAD_FAILED = 2019;
inline constexpr UINT IDS_SYNC_UPLOAD_CANCELED = 2020;
inline constexpr UINT IDS_SYNC_DOWNLOADED = 2021;
inline constexpr UINT IDS_SYNC_DOWNLOAD_FAILED = 2022;
inline constexpr UINT IDS_SYNC_DOWNLOAD_CANCELED = 2023;
inline constexpr UINT IDS_SYNC_CAPTION = 2024;
inline constexpr UINT IDS_SYNC_ASK_UPLOAD_NEW = 2025;
inline constexpr UINT IDS_SYNC_ASK_DOWNLOAD_NEW = 2026;
inline constexpr UINT IDS_SYNC_ASK_UPLOAD_NEWER = 2027;
inline constexpr UINT IDS_SYNC_ASK_DOWNLOAD_NEWER = 2028;
inline constexpr UINT IDS_SYNC_ASK_REMOVE_REMOTE_FILE = 2029;
inline constexpr UINT IDS_SYNC_ASK_REMOVE_LOCAL_FILE = 2030;
inline constexpr UINT IDS_SYNC_ASK_CANCEL = 2031;
inline constexpr UINT IDS_SYNC_ASK_RECURSE = 2032;
inline constexpr UINT IDS_SYNC_ASK_REMOVE_REMOTE_FOLDER = 2033;
inline constexpr UINT IDS_SYNC_ASK_REMOVE_LOCAL_FOLDER = 2034;
inline constexpr UINT IDS_SYNC_TABLE_RESTORED = 2035;
inline constexpr UINT IDS_SYNC_REMOVE_TEMPORARY = 2036;
inline constexpr UINT IDS_SYNC_CREATE_LOCAL_DIR = 2037;

// The text of the id from the program's string table; empty when missing.
std::wstring LoadSyncString(UINT id);

// Files the table as string resources of the module (LoadSyncString does
// it once for the program's own module).
void RegisterSyncStrings(HMODULE module);

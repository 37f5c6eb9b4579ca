// Room folder/item_ids, the lowest room of the extension (the order of the
// rooms: shell/CMakeLists.txt); it includes no other room.
//
// The item id of one remote item in the virtual folder: 840 bytes at fixed
// offsets, little-endian, texts in UTF-16. Explorer keeps these ids in its
// views, its history and on the clipboard, so the layout is a persisted
// format.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <string>

#include "vfs/item.h"

static_assert(std::endian::native == std::endian::little, "the item id is little-endian");

#pragma pack(push, 1)
struct PIDLDATA {
    uint16_t cb;                 // element size, always 840
    uint8_t type;                // 1 folder, 2 file, as the item reports it
    uint8_t has_subfolders;      // folders only
    uint8_t is_shared;           // folders only
    uint8_t is_plain_directory;  // folders only: an ordinary folder of the user's own tree
    uint8_t is_fixed_folder;     // folders only: may not be deleted, moved or renamed
    uint8_t reserved_7;
    char16_t name[260];      // NUL-terminated, at most 259 units
    char16_t type_name[80];  // the shell's type text, at most 79 units
    char16_t id[50];         // the service's id, at most 49 units
    uint8_t reserved_788[4];
    int64_t size;         // bytes; -1 for folders
    double date_created;  // OLE automation dates, -1.0 when absent
    double date_accessed;
    double date_modified;
    double date_deleted;
    uint32_t attributes;  // files: the file's attribute word
    uint8_t reserved_836[4];

    // Equal in size, kind, subfolder flag, name and type text; the id, the
    // other flags, the dates and the attributes do not count.
    bool operator==(const PIDLDATA& other) const;
};
#pragma pack(pop)

static_assert(sizeof(PIDLDATA) == 840);
static_assert(offsetof(PIDLDATA, type) == 2);
static_assert(offsetof(PIDLDATA, is_fixed_folder) == 6);
static_assert(offsetof(PIDLDATA, name) == 8);
static_assert(offsetof(PIDLDATA, type_name) == 528);
static_assert(offsetof(PIDLDATA, id) == 688);
static_assert(offsetof(PIDLDATA, size) == 792);
static_assert(offsetof(PIDLDATA, date_created) == 800);
static_assert(offsetof(PIDLDATA, date_accessed) == 808);
static_assert(offsetof(PIDLDATA, date_modified) == 816);
static_assert(offsetof(PIDLDATA, date_deleted) == 824);
static_assert(offsetof(PIDLDATA, attributes) == 832);

inline constexpr uint16_t pidl_data_size = sizeof(PIDLDATA);

// The record of a remote item, with the shell's type text for its kind.
PIDLDATA make_pidl_data(vfs::item_ptr item);

// A date of the remote storage (seconds since 1970, -1 when absent) as an
// OLE automation date: t / 86400 + 25569 for t above 0, any other value as
// it is (so a missing date is -1.0 and 0 stays 0.0).
double ole_date_from_time(std::int64_t seconds);

// The texts of a record, read within their fields.
std::wstring pidl_name(const PIDLDATA& data);
std::wstring pidl_type_name(const PIDLDATA& data);
std::wstring pidl_id(const PIDLDATA& data);

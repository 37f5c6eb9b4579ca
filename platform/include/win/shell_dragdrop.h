// What the shell moves through drag and drop and the clipboard: drop
// effects, the registered format names, the byte layouts of dropped file
// lists (DROPFILES), of virtual files (FILEGROUPDESCRIPTORW) and of item
// selections (CIDA), and the drop target and source interfaces.
//
// The layouts are UTF-16 on Windows and hold char16_t here. Blocks that come
// from another program are checked with the win_shell readers below before
// anything is taken from them.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "win/data_object.h"
#include "win/rect.h"
#include "win/shell_idlist.h"

typedef DWORD DROPEFFECT;
#define DROPEFFECT_NONE 0u
#define DROPEFFECT_COPY 1u
#define DROPEFFECT_MOVE 2u
#define DROPEFFECT_LINK 4u
#define DROPEFFECT_SCROLL 0x80000000u

// Registered format names.
#define CFSTR_SHELLIDLIST L"Shell IDList Array"
#define CFSTR_FILECONTENTS L"FileContents"
#define CFSTR_FILEDESCRIPTORW L"FileGroupDescriptorW"
#define CFSTR_PASTESUCCEEDED L"Paste Succeeded"
#define CFSTR_PERFORMEDDROPEFFECT L"Performed DropEffect"
#define CFSTR_PREFERREDDROPEFFECT L"Preferred DropEffect"
#define CFSTR_LOGICALPERFORMEDDROPEFFECT L"Logical Performed DropEffect"
#define CFSTR_PERSISTEDDATAOBJECT L"OleClipboardPersistOnFlush"
#define CFSTR_TARGETCLSID L"TargetCLSID"

// ---- Dropped local files (CF_HDROP) --------------------------------------------
// A global block: this header, then at pFiles the names, each ended by a NUL,
// the list ended by one more NUL; UTF-16 when fWide is set, else Windows-1252.
typedef struct _DROPFILES {
    DWORD pFiles;
    int32_t x;
    int32_t y;
    BOOL fNC;
    BOOL fWide;
} DROPFILES;
static_assert(sizeof(DROPFILES) == 20);
static_assert(offsetof(DROPFILES, fWide) == 16);

typedef HGLOBAL HDROP;

// index 0xFFFFFFFF: the number of names. Otherwise the length of name index
// (without its NUL) when buffer is null, else the name copied into buffer cut
// to size - 1 characters and terminated, and the number copied. 0 for an
// index past the end. The block is read only within its size: a list without
// its final NUL ends at the block's end, a name without its NUL is not
// counted, a header that points outside the block holds no names.
UINT DragQueryFileW(HDROP drop, UINT index, LPWSTR buffer, UINT size);
void DragFinish(HDROP drop);

namespace win_shell {

// Every name of a DROPFILES block, read as DragQueryFileW reads them, in
// one pass: for callers that need all names, which would walk the block
// once per name through DragQueryFileW.
std::vector<std::wstring> read_drop_files(const void* data, size_t size);
// A new movable block in the DROPFILES form (wide) holding the paths.
HDROP make_drop_files(const std::vector<std::wstring>& paths);

}  // namespace win_shell

// ---- Virtual files ("FileGroupDescriptorW" with "FileContents") ----------------
#define FD_CLSID 0x00000001u
#define FD_SIZEPOINT 0x00000002u
#define FD_ATTRIBUTES 0x00000004u
#define FD_CREATETIME 0x00000008u
#define FD_ACCESSTIME 0x00000010u
#define FD_WRITESTIME 0x00000020u
#define FD_FILESIZE 0x00000040u
#define FD_PROGRESSUI 0x00004000u
#define FD_LINKUI 0x00008000u
#define FD_UNICODE 0x80000000u

#define FILE_DESCRIPTOR_NAME_UNITS 260

typedef struct _FILEDESCRIPTORW {
    DWORD dwFlags;
    CLSID clsid;
    int32_t sizel_cx;
    int32_t sizel_cy;
    int32_t pointl_x;
    int32_t pointl_y;
    DWORD dwFileAttributes;
    FILETIME ftCreationTime;
    FILETIME ftLastAccessTime;
    FILETIME ftLastWriteTime;
    DWORD nFileSizeHigh;
    DWORD nFileSizeLow;
    char16_t cFileName[FILE_DESCRIPTOR_NAME_UNITS];
} FILEDESCRIPTORW;
static_assert(sizeof(FILEDESCRIPTORW) == 592);
static_assert(offsetof(FILEDESCRIPTORW, dwFileAttributes) == 36);
static_assert(offsetof(FILEDESCRIPTORW, ftLastWriteTime) == 56);
static_assert(offsetof(FILEDESCRIPTORW, nFileSizeHigh) == 64);
static_assert(offsetof(FILEDESCRIPTORW, cFileName) == 72);

// A count, then that many descriptors: 4 + 592 x cItems bytes.
typedef struct _FILEGROUPDESCRIPTORW {
    UINT cItems;
    FILEDESCRIPTORW fgd[1];
} FILEGROUPDESCRIPTORW;
static_assert(offsetof(FILEGROUPDESCRIPTORW, fgd) == 4);

namespace win_shell {

// The descriptors of a group block of the given size; none when the block
// is shorter than its count says.
std::optional<std::vector<FILEDESCRIPTORW>> read_file_group_descriptor(const void* data,
                                                                       size_t size);
// The descriptor's name when it ends within its 260 units; none otherwise.
// Lone surrogates read as U+FFFD.
std::optional<std::wstring> file_descriptor_name(const FILEDESCRIPTORW& descriptor);
// Stores the name cut to 259 units; false when it had to be cut.
bool set_file_descriptor_name(FILEDESCRIPTORW& descriptor, const std::wstring& name);

}  // namespace win_shell

// ---- Selections of shell items ("Shell IDList Array") --------------------------
// cidl, then cidl + 1 offsets from the block's start: the folder's absolute
// list first, then each item's list relative to it.
typedef struct _IDA {
    UINT cidl;
    UINT aoffset[1];
} CIDA;
static_assert(sizeof(CIDA) == 8);

namespace win_shell {

// The folder's list and the items' lists of a CIDA block, each a copy;
// none when the count, an offset or a list does not lie within the block,
// or when the lists together need more bytes than the block holds (lists
// of a well-formed block never share bytes). Time and memory are linear
// in the block's size.
struct id_array {
    std::vector<BYTE> folder;
    std::vector<std::vector<BYTE>> items;
};
std::optional<id_array> read_id_array(const void* data, size_t size);
// The same checks, keeping a copy of the folder's list only.
std::optional<std::vector<BYTE>> read_id_array_folder(const void* data, size_t size);
// A new movable block in the CIDA form holding the lists (each with its
// terminating zero size, as read_id_array gives them); null when memory or
// the 32-bit offsets run out.
HGLOBAL make_id_array(const id_array& lists);

}  // namespace win_shell

// ---- Drop targets and sources --------------------------------------------------
#define MK_LBUTTON 0x0001u
#define MK_RBUTTON 0x0002u
#define MK_SHIFT 0x0004u
#define MK_CONTROL 0x0008u
#define MK_MBUTTON 0x0010u
#define MK_ALT 0x0020u

#define DRAGDROP_S_DROP ((HRESULT)0x00040100L)
#define DRAGDROP_S_CANCEL ((HRESULT)0x00040101L)
#define DRAGDROP_S_USEDEFAULTCURSORS ((HRESULT)0x00040102L)

typedef struct _POINTL {
    LONG x;
    LONG y;
} POINTL;

// {00000122-0000-0000-C000-000000000046}
inline constexpr IID IID_IDropTarget{0x00000122, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
// {00000121-0000-0000-C000-000000000046}
inline constexpr IID IID_IDropSource{0x00000121, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

struct IDropTarget : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* data, DWORD key_state, POINTL point,
                                                DWORD* effect) = 0;
    virtual HRESULT STDMETHODCALLTYPE DragOver(DWORD key_state, POINTL point, DWORD* effect) = 0;
    virtual HRESULT STDMETHODCALLTYPE DragLeave() = 0;
    virtual HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD key_state, POINTL point,
                                           DWORD* effect) = 0;
};
WIN_COM_INTERFACE_TRAITS(IDropTarget, IUnknown, IID_IDropTarget);

struct IDropSource : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE QueryContinueDrag(BOOL escape_pressed, DWORD key_state) = 0;
    virtual HRESULT STDMETHODCALLTYPE GiveFeedback(DWORD effect) = 0;
};
WIN_COM_INTERFACE_TRAITS(IDropSource, IUnknown, IID_IDropSource);

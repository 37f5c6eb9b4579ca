#include "item_transfer.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>

#include "item_workers.h"
#include "kernel/wide_text.h"
#include "part_files.h"
#include "win/file.h"
#include "win/oleauto.h"
#include "win/propkey.h"
#include "win/user.h"

namespace shell_host {

namespace {

CLIPFORMAT format_named(const wchar_t* name) {
    return static_cast<CLIPFORMAT>(RegisterClipboardFormatW(name));
}

FORMATETC format_etc(const wchar_t* name, DWORD tymed, LONG index = -1) {
    return {format_named(name), nullptr, DVASPECT_CONTENT, index, tymed};
}

HRESULT read_dword(IDataObject* object, const wchar_t* name, DWORD& value) {
    FORMATETC format = format_etc(name, TYMED_HGLOBAL);
    STGMEDIUM medium{};
    HRESULT result = object->GetData(&format, &medium);
    if (FAILED(result)) return result;
    result = E_UNEXPECTED;
    if (medium.tymed == TYMED_HGLOBAL && GlobalSize(medium.hGlobal) >= sizeof value) {
        std::memcpy(&value, GlobalLock(medium.hGlobal), sizeof value);
        GlobalUnlock(medium.hGlobal);
        result = S_OK;
    }
    ReleaseStgMedium(&medium);
    return result;
}

HRESULT write_dword(IDataObject* object, const wchar_t* name, DWORD value) {
    HGLOBAL block = GlobalAlloc(GHND, sizeof value);
    if (!block) return E_OUTOFMEMORY;
    std::memcpy(GlobalLock(block), &value, sizeof value);
    GlobalUnlock(block);
    FORMATETC format = format_etc(name, TYMED_HGLOBAL);
    STGMEDIUM medium{};
    medium.tymed = TYMED_HGLOBAL;
    medium.hGlobal = block;
    const HRESULT result = object->SetData(&format, &medium, TRUE);
    if (FAILED(result)) GlobalFree(block);
    return result;
}

// The descriptor's relative path, or none when a part of it could leave
// the target folder.
std::optional<std::filesystem::path> relative_path(const std::wstring& name) {
    if (name.empty()) return std::nullopt;
    std::filesystem::path path;
    size_t start = 0;
    for (;;) {
        const size_t end = name.find(L'\\', start);
        const std::wstring part = name.substr(start, end - start);
        if (part.empty() || part == L"." || part == L".." || part.find(L'/') != std::wstring::npos)
            return std::nullopt;
        path /= win_detail::to_utf8(part);
        if (end == std::wstring::npos) return path;
        start = end + 1;
    }
}

// A file being downloaded beside its target, removed unless it took the
// target's place; locked while it is written, so that no other copy takes
// it for one a broken-off copy left.
class partial_file {
public:
    explicit partial_file(const std::filesystem::path& target) : target_(target) {
        static std::atomic<unsigned> counter{0};
        for (int attempt = 0; attempt < 100 && descriptor_ < 0; ++attempt) {
            path_ = target.parent_path() / part_file_name(++counter);
            descriptor_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (descriptor_ < 0 && errno != EEXIST) break;
        }
        created_ = descriptor_ >= 0;
        if (created_ && ::flock(descriptor_, LOCK_EX) != 0) {
            ::close(descriptor_);
            descriptor_ = -1;
        }
    }
    ~partial_file() {
        if (descriptor_ >= 0) ::close(descriptor_);
        if (created_ && !placed_) ::unlink(path_.c_str());
    }
    partial_file(const partial_file&) = delete;
    partial_file& operator=(const partial_file&) = delete;

    bool opened() const { return descriptor_ >= 0; }

    bool write(const char* bytes, size_t count) {
        while (count > 0) {
            const ssize_t done = ::write(descriptor_, bytes, count);
            if (done < 0 && errno == EINTR) continue;
            if (done <= 0) return false;
            bytes += done;
            count -= static_cast<size_t>(done);
        }
        return true;
    }

    // Flushes the file and renames it over the target; a replaced file's
    // permissions carry over.
    bool place() {
        struct stat old {};
        if (::stat(target_.c_str(), &old) == 0 && ::fchmod(descriptor_, old.st_mode & 07777) != 0)
            return false;
        if (::fsync(descriptor_) != 0) return false;
        const int closing = descriptor_;
        descriptor_ = -1;
        if (::close(closing) != 0) return false;
        if (::rename(path_.c_str(), target_.c_str()) != 0) return false;
        placed_ = true;
        return true;
    }

private:
    std::filesystem::path target_;
    std::filesystem::path path_;
    int descriptor_ = -1;
    bool created_ = false;
    bool placed_ = false;
};

// The stream's bytes into the target, which is replaced only once they
// are all there: a stream that fails, or ends short of the size it
// announced, leaves the target as it was.
HRESULT write_stream(IStream* stream, const std::filesystem::path& target) {
    partial_file partial(target);
    if (!partial.opened()) return E_FAIL;
    std::vector<char> buffer(1 << 16);
    ULONGLONG written = 0;
    for (;;) {
        ULONG read = 0;
        const HRESULT result =
            stream->Read(buffer.data(), static_cast<ULONG>(buffer.size()), &read);
        if (FAILED(result)) return result;
        if (read == 0) break;
        read = std::min<ULONG>(read, static_cast<ULONG>(buffer.size()));
        if (!partial.write(buffer.data(), read)) return E_FAIL;
        written += read;
    }
    STATSTG statistics{};
    if (SUCCEEDED(stream->Stat(&statistics, STATFLAG_NONAME)) &&
        statistics.cbSize.QuadPart != written)
        return E_FAIL;
    return partial.place() ? S_OK : E_FAIL;
}

// A file's contents as the data object gives them, released with the
// holder.
struct held_contents {
    STGMEDIUM medium{};
    bool held = false;
    held_contents() = default;
    held_contents(const held_contents&) = delete;
    held_contents& operator=(const held_contents&) = delete;
    ~held_contents() { release(); }
    HRESULT get(IDataObject* object, LONG index) {
        release();
        FORMATETC format = format_etc(CFSTR_FILECONTENTS, TYMED_ISTREAM, index);
        const HRESULT result = object->GetData(&format, &medium);
        held = SUCCEEDED(result);
        return result;
    }
    void release() {
        if (held) ReleaseStgMedium(&medium);
        held = false;
    }
};

// Writes the contents already held, or else asks the object for them.
HRESULT copy_file_contents(IDataObject* object, LONG index, const std::filesystem::path& target,
                           held_contents& contents) {
    if (!contents.held) {
        const HRESULT got = contents.get(object, index);
        if (FAILED(got)) return got;
    }
    const STGMEDIUM& medium = contents.medium;
    const HRESULT result = medium.tymed == TYMED_ISTREAM && medium.pstm
                               ? write_stream(medium.pstm, target)
                               : DV_E_TYMED;
    contents.release();
    return result;
}

// Asks before a local file is replaced, as the shell does: IDYES, IDNO or
// IDCANCEL.
int ask_replace(const std::wstring& name) {
    const std::wstring text = L"This folder already contains a file named '" + name +
                              L"'.\n\nWould you like to replace the existing file?";
    return MessageBoxW(nullptr, text.c_str(), L"Confirm File Replace",
                       MB_YESNOCANCEL | MB_ICONWARNING);
}

// The remote items' "Date modified" as their folders' details give it, for
// the copies to keep, as the copies a file manager makes keep the
// originals' times: the descriptors carry no dates. The selection's folder
// is bound from the desktop through its list; the subfolders on the way to
// a copied file are bound below it, and each folder is listed once.
class remote_dates {
public:
    explicit remote_dates(const std::vector<BYTE>& folder_list) {
        IShellFolder* desktop = nullptr;
        if (FAILED(SHGetDesktopFolder(&desktop))) return;
        IShellFolder2* top = nullptr;
        if (SUCCEEDED(
                desktop->BindToObject(reinterpret_cast<PCUIDLIST_RELATIVE>(folder_list.data()),
                                      nullptr, IID_IShellFolder2, reinterpret_cast<void**>(&top))))
            folders_[L""].folder = top;
        desktop->Release();
    }
    ~remote_dates() {
        for (auto& [path, listed] : folders_) {
            for (auto& [name, id] : listed.children) CoTaskMemFree(id);
            if (listed.folder) listed.folder->Release();
        }
    }
    remote_dates(const remote_dates&) = delete;
    remote_dates& operator=(const remote_dates&) = delete;

    // Seconds since 1970 (UTC) of the item at the path below the selection's
    // folder ("Sub\\c.txt"); none when a folder on the way or the date is
    // not there.
    std::optional<std::int64_t> modified(const std::wstring& relative) {
        const size_t last = relative.rfind(L'\\');
        const std::wstring parent = last == std::wstring::npos ? L"" : relative.substr(0, last);
        const std::wstring name = last == std::wstring::npos ? relative : relative.substr(last + 1);
        listed_folder* folder = folder_at(parent);
        if (!folder) return std::nullopt;
        const auto child = folder->children.find(name);
        if (child == folder->children.end()) return std::nullopt;
        VARIANT value;
        VariantInit(&value);
        const HRESULT got = folder->folder->GetDetailsEx(child->second, &PKEY_DateModified, &value);
        std::optional<std::int64_t> seconds;
        // An automation date counts days from 30 December 1899, 25569 days
        // before 1970.
        if (SUCCEEDED(got) && value.vt == VT_DATE && std::isfinite(value.date))
            seconds = std::llround((value.date - 25569.0) * 86400.0);
        VariantClear(&value);
        return seconds;
    }

private:
    struct listed_folder {
        IShellFolder2* folder = nullptr;
        std::map<std::wstring, PITEMID_CHILD> children;  // by name, owned
        bool listed = false;
    };

    // The folder at a path of folders below the selection's (empty: the
    // selection's own), listed; null when it cannot be bound.
    listed_folder* folder_at(const std::wstring& path) {
        auto known = folders_.find(path);
        if (known == folders_.end()) {
            const size_t last = path.rfind(L'\\');
            listed_folder* parent =
                folder_at(last == std::wstring::npos ? L"" : path.substr(0, last));
            const std::wstring name = last == std::wstring::npos ? path : path.substr(last + 1);
            listed_folder made;
            if (parent) {
                const auto child = parent->children.find(name);
                if (child != parent->children.end() &&
                    FAILED(parent->folder->BindToObject(child->second, nullptr, IID_IShellFolder2,
                                                        reinterpret_cast<void**>(&made.folder))))
                    made.folder = nullptr;
            }
            known = folders_.emplace(path, std::move(made)).first;
        }
        listed_folder& folder = known->second;
        if (!folder.folder) return nullptr;
        if (!folder.listed) {
            folder.listed = true;
            list(folder);
        }
        return &folder;
    }

    static void list(listed_folder& folder) {
        IEnumIDList* items = nullptr;
        if (folder.folder->EnumObjects(nullptr, SHCONTF_FOLDERS | SHCONTF_NONFOLDERS, &items) !=
                S_OK ||
            !items)
            return;
        PITEMID_CHILD id = nullptr;
        ULONG fetched = 0;
        while (items->Next(1, &id, &fetched) == S_OK && fetched == 1) {
            VARIANT name;
            VariantInit(&name);
            if (SUCCEEDED(folder.folder->GetDetailsEx(id, &PKEY_ItemNameDisplay, &name)) &&
                name.vt == VT_BSTR && name.bstrVal &&
                folder.children.emplace(name.bstrVal, id).second)
                id = nullptr;
            VariantClear(&name);
            CoTaskMemFree(id);
        }
        items->Release();
    }

    std::map<std::wstring, listed_folder> folders_;
};

// Gives the local copy the remote file's modification time; the time of
// the copy stays when there is none.
void keep_remote_time(remote_dates* dates, const std::wstring& name,
                      const std::filesystem::path& target) {
    if (!dates) return;
    const std::optional<std::int64_t> seconds = dates->modified(name);
    if (!seconds) return;
    std::error_code ignored;
    std::filesystem::last_write_time(
        target,
        std::chrono::file_clock::from_sys(std::chrono::sys_seconds(std::chrono::seconds(*seconds))),
        ignored);
}

// Queries the item menu into a new menu with ids from 1.
HRESULT query_menu(shell_browser& browser, const std::vector<size_t>& indices, UINT flags,
                   IContextMenu** context, HMENU* menu) {
    std::vector<PCUITEMID_CHILD> selection;
    for (size_t index : indices) {
        if (index >= browser.items().size()) return E_INVALIDARG;
        selection.push_back(browser.items()[index].id);
    }
    HRESULT result = browser.folder()->GetUIObjectOf(nullptr, static_cast<UINT>(selection.size()),
                                                     selection.data(), IID_IContextMenu, nullptr,
                                                     reinterpret_cast<void**>(context));
    if (FAILED(result)) return result;
    *menu = CreatePopupMenu();
    result = (*context)->QueryContextMenu(*menu, 0, 1, 0x7FFF, flags);
    if (FAILED(result)) {
        (*context)->Release();
        *context = nullptr;
        DestroyMenu(*menu);
    }
    return result;
}

}  // namespace

HRESULT data_object_of(shell_browser& browser, const std::vector<size_t>& indices,
                       IDataObject** object) {
    *object = nullptr;
    if (!browser.folder() || indices.empty()) return E_INVALIDARG;
    std::vector<PCUITEMID_CHILD> selection;
    for (size_t index : indices) {
        if (index >= browser.items().size()) return E_INVALIDARG;
        selection.push_back(browser.items()[index].id);
    }
    return browser.folder()->GetUIObjectOf(nullptr, static_cast<UINT>(selection.size()),
                                           selection.data(), IID_IDataObject, nullptr,
                                           reinterpret_cast<void**>(object));
}

HRESULT copy_out(IDataObject* object, const std::string& local_folder, copy_out_result& result) {
    result = {};
    FORMATETC selection = format_etc(CFSTR_SHELLIDLIST, TYMED_HGLOBAL);
    STGMEDIUM medium{};
    HRESULT got = object->GetData(&selection, &medium);
    std::optional<remote_dates> dates;
    if (SUCCEEDED(got)) {
        const auto ids =
            win_shell::read_id_array(GlobalLock(medium.hGlobal), GlobalSize(medium.hGlobal));
        GlobalUnlock(medium.hGlobal);
        ReleaseStgMedium(&medium);
        if (ids) {
            result.selected = static_cast<UINT>(ids->items.size());
            dates.emplace(ids->folder);
        }
    }
    FORMATETC group = format_etc(CFSTR_FILEDESCRIPTORW, TYMED_HGLOBAL);
    got = object->GetData(&group, &medium);
    if (FAILED(got)) return got;
    const auto descriptors = win_shell::read_file_group_descriptor(GlobalLock(medium.hGlobal),
                                                                   GlobalSize(medium.hGlobal));
    GlobalUnlock(medium.hGlobal);
    ReleaseStgMedium(&medium);
    if (!descriptors) return E_INVALIDARG;
    // Descriptors without contents (the copies a flush leaves of virtual
    // files) are refused before anything is written: no empty files. The
    // first file's contents are kept for its copy, so that they are asked
    // for once.
    held_contents first_contents;
    size_t first_file = descriptors->size();
    for (size_t i = 0; i < descriptors->size(); ++i) {
        const FILEDESCRIPTORW& descriptor = (*descriptors)[i];
        if ((descriptor.dwFlags & FD_ATTRIBUTES) &&
            (descriptor.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            continue;
        const HRESULT offered = first_contents.get(object, static_cast<LONG>(i));
        if (FAILED(offered)) return offered;
        first_file = i;
        break;
    }
    const std::filesystem::path base(local_folder);
    // What an earlier copy into a folder left when it was broken off goes
    // before this copy writes there.
    std::set<std::filesystem::path> swept;
    for (size_t i = 0; i < descriptors->size(); ++i) {
        const FILEDESCRIPTORW& descriptor = (*descriptors)[i];
        const std::optional<std::wstring> name = win_shell::file_descriptor_name(descriptor);
        const std::optional<std::filesystem::path> relative =
            name ? relative_path(*name) : std::nullopt;
        if (!relative) return E_INVALIDARG;
        const std::filesystem::path target = base / *relative;
        std::error_code failure;
        if ((descriptor.dwFlags & FD_ATTRIBUTES) &&
            (descriptor.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            std::filesystem::create_directories(target, failure);
            if (failure) return E_FAIL;
            result.folders.push_back(*name);
            continue;
        }
        std::filesystem::create_directories(target.parent_path(), failure);
        if (failure) return E_FAIL;
        if (swept.insert(target.parent_path()).second)
            remove_abandoned_part_files(target.parent_path());
        const std::filesystem::file_status existing = std::filesystem::symlink_status(target);
        if (std::filesystem::exists(existing)) {
            if (!std::filesystem::is_regular_file(existing)) return E_FAIL;
            const int answer = ask_replace(*name);
            if (answer == IDCANCEL) return E_ABORT;
            if (answer != IDYES) {
                if (i == first_file) first_contents.release();
                result.kept.push_back(*name);
                continue;
            }
        }
        held_contents asked;
        const HRESULT copied = copy_file_contents(object, static_cast<LONG>(i), target,
                                                  i == first_file ? first_contents : asked);
        if (FAILED(copied)) return copied;
        keep_remote_time(dates ? &*dates : nullptr, *name, target);
        result.files.push_back(*name);
    }
    return result.kept.empty() ? S_OK : S_FALSE;
}

HRESULT copy_to_clipboard(shell_browser& browser, const std::vector<size_t>& indices, bool cut) {
    return invoke_item_command(browser, indices, cut ? L"cut" : L"copy");
}

HRESULT paste_to_local(const std::string& local_folder, copy_out_result& result,
                       std::optional<paste_report> report) {
    IDataObject* object = nullptr;
    HRESULT outcome = OleGetClipboard(&object);
    if (FAILED(outcome)) return outcome;
    outcome = copy_out(object, local_folder, result);
    if (SUCCEEDED(outcome)) {
        if (!report) {
            DWORD preferred = DROPEFFECT_COPY;
            if (FAILED(read_dword(object, CFSTR_PREFERREDDROPEFFECT, preferred)))
                preferred = DROPEFFECT_COPY;
            // A file the user kept is no moved file: a paste that kept any
            // reports a copy, so the source deletes nothing.
            const DWORD effect = (preferred & DROPEFFECT_MOVE) && outcome == S_OK ? DROPEFFECT_MOVE
                                                                                  : DROPEFFECT_COPY;
            report = paste_report{effect, effect, effect};
        }
        // As the shell reports a paste: the effects first, "Paste Succeeded"
        // last, since that is what the source acts on.
        write_dword(object, CFSTR_PERFORMEDDROPEFFECT, report->performed);
        if (report->logical_performed)
            write_dword(object, CFSTR_LOGICALPERFORMEDDROPEFFECT, *report->logical_performed);
        // A move's sources are deleted by the source's own workers: the paste
        // ends when they have.
        extension_workers workers;
        const HRESULT reported = write_dword(object, CFSTR_PASTESUCCEEDED, report->paste_succeeded);
        workers.wait();
        if (FAILED(reported)) outcome = reported;
    }
    object->Release();
    return outcome;
}

std::vector<menu_item> read_menu(HMENU menu) {
    std::vector<menu_item> items;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        wchar_t text[128] = {};
        MENUITEMINFOW info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STATE | MIIM_STRING | MIIM_CHECKMARKS;
        info.dwTypeData = text;
        info.cch = 128;
        if (!GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info)) continue;
        menu_item item;
        item.separator = (info.fType & MFT_SEPARATOR) != 0;
        item.offset = item.separator ? 0 : info.wID - 1;
        item.state = info.fState;
        item.text = text;
        item.picture = info.hbmpUnchecked != nullptr;
        items.push_back(item);
    }
    return items;
}

HRESULT item_menu(shell_browser& browser, const std::vector<size_t>& indices, UINT flags,
                  std::vector<menu_item>& items) {
    items.clear();
    IContextMenu* context = nullptr;
    HMENU menu = nullptr;
    const HRESULT result = query_menu(browser, indices, flags, &context, &menu);
    if (FAILED(result)) return result;
    items = read_menu(menu);
    context->Release();
    DestroyMenu(menu);
    return S_OK;
}

HRESULT invoke_item_command(shell_browser& browser, const std::vector<size_t>& indices,
                            const std::wstring& command) {
    IContextMenu* context = nullptr;
    HMENU menu = nullptr;
    HRESULT result = query_menu(browser, indices, CMF_NORMAL, &context, &menu);
    if (FAILED(result)) return result;
    const std::string verb = win_detail::to_utf8(command);
    CMINVOKECOMMANDINFO info{};
    info.cbSize = sizeof info;
    info.lpVerb = verb.c_str();
    for (const menu_item& item : read_menu(menu))
        if (!item.separator && item.text == command) info.lpVerb = MAKEINTRESOURCEA(item.offset);
    result = context->InvokeCommand(&info);
    context->Release();
    DestroyMenu(menu);
    return result;
}

}  // namespace shell_host

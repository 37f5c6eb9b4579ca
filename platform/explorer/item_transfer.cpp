#include "item_transfer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "item_workers.h"
#include "kernel/wide_text.h"
#include "win/file.h"
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
// target's place.
class partial_file {
public:
    explicit partial_file(const std::filesystem::path& target) : target_(target) {
        static std::atomic<unsigned> counter{0};
        for (int attempt = 0; attempt < 100 && descriptor_ < 0; ++attempt) {
            path_ = target.parent_path() / (".download-" + std::to_string(getpid()) + "-" +
                                            std::to_string(++counter) + ".part");
            descriptor_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (descriptor_ < 0 && errno != EEXIST) break;
        }
        created_ = descriptor_ >= 0;
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

std::vector<menu_item> read_menu(HMENU menu) {
    std::vector<menu_item> items;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        wchar_t text[128] = {};
        MENUITEMINFOW info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STATE | MIIM_STRING;
        info.dwTypeData = text;
        info.cch = 128;
        if (!GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info)) continue;
        menu_item item;
        item.separator = (info.fType & MFT_SEPARATOR) != 0;
        item.offset = item.separator ? 0 : info.wID - 1;
        item.state = info.fState;
        item.text = text;
        items.push_back(item);
    }
    return items;
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
    if (SUCCEEDED(got)) {
        const auto ids =
            win_shell::read_id_array(GlobalLock(medium.hGlobal), GlobalSize(medium.hGlobal));
        GlobalUnlock(medium.hGlobal);
        ReleaseStgMedium(&medium);
        if (ids) result.selected = static_cast<UINT>(ids->items.size());
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

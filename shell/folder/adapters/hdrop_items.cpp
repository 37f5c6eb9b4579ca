#include "folder/adapters/hdrop_items.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <utf8.h>
#include <boost/make_shared.hpp>
#include <cerrno>
#include <cstring>
#include <iterator>
#include <unordered_map>

#include "folder/adapters/wrapper_exception.h"
#include "vfs/calvimora_directory.h"
#include "win/file.h"
#include "win/kernel.h"
#include "win/shell_dragdrop.h"

namespace {

std::string native(const std::wstring& path) {
    return win_file::native_path(path);
}

std::wstring from_utf8(const std::string& bytes) {
    std::string valid;
    utf8::replace_invalid(bytes.begin(), bytes.end(), std::back_inserter(valid));
    std::wstring text;
    utf8::utf8to32(valid.begin(), valid.end(), std::back_inserter(text));
    return text;
}

std::wstring system_message(int error) {
    return from_utf8(std::strerror(error));
}

enum class date_kind { creation, access, modification };

const wchar_t* date_operation(date_kind kind) {
    switch (kind) {
        case date_kind::creation:
            return L"get_creation_date";
        case date_kind::access:
            return L"get_access_date";
        case date_kind::modification:
            break;
    }
    return L"get_modification_date";
}

// A file's time in seconds since 1970, whole seconds toward zero.
std::int64_t file_date(const std::wstring& path, date_kind kind) {
    struct statx status {};
    if (statx(AT_FDCWD, native(path).c_str(), 0, STATX_BASIC_STATS | STATX_BTIME, &status) != 0)
        throw CWrapperException(
            std::wstring(L"Internal errorfile::") + date_operation(kind) + L"(): Can't open file",
            std::wstring());
    switch (kind) {
        case date_kind::creation:
            return (status.stx_mask & STATX_BTIME) ? status.stx_btime.tv_sec
                                                   : status.stx_mtime.tv_sec;
        case date_kind::access:
            return status.stx_atime.tv_sec;
        case date_kind::modification:
            break;
    }
    return status.stx_mtime.tv_sec;
}

const wchar_t* origin_word(int origin) {
    switch (origin) {
        case vfs::seek_begin:
            return L"beginning";
        case vfs::seek_current:
            return L"current";
        default:
            return L"ending";
    }
}

const char* stream_mode(int mode) {
    if (!(mode & vfs::modeWrite)) return "rb";
    const bool overwrite = mode & vfs::modeOverwrite;
    if (mode & vfs::modeRead) return overwrite ? "wb+" : "ab+";
    return overwrite ? "wb" : "ab";
}

}  // namespace

namespace dropped_names {

const wchar_t* const case_twin =
    L"another item beside it has the same name but for letter case, and remote names ignore case";
const wchar_t* const holds_separator = L"the name holds \"\\\", which remote names cannot hold";
const wchar_t* const dot_name = L"the name is empty, \".\" or \"..\"";
const wchar_t* const not_text = L"the name is not valid UTF-8 text";

std::vector<bool> case_twins(const std::vector<std::wstring>& names) {
    std::vector<std::wstring> folded;
    folded.reserve(names.size());
    std::unordered_map<std::wstring, std::size_t> seen(names.size());
    for (const std::wstring& name : names)
        ++seen[folded.emplace_back(vfs_calvimora::directory::folded_name(name))];
    std::vector<bool> twins;
    twins.reserve(names.size());
    for (const std::wstring& key : folded) twins.push_back(seen[key] > 1);
    return twins;
}

}  // namespace dropped_names

std::wstring CHDROPItem::leaf() const {
    const std::size_t separator = path_.find_last_of(L"\\/");
    return separator == std::wstring::npos ? path_ : path_.substr(separator + 1);
}

CHDROPDirectory::CHDROPDirectory(std::wstring path) : CHDROPItem(std::move(path)) {
    struct stat status {};
    if (lstat(native(local_path()).c_str(), &status) != 0)
        throw CWrapperException(L"Internal error", L"Path " + local_path() + L" does not exist");
}

dropped_item_list CHDROPDirectory::list_items() {
    dropped_item_list items;
    const std::string folder = native(local_path());
    DIR* listing = opendir(folder.c_str());
    const auto refused = [&](int error) {
        if (error == EACCES || error == EPERM) {
            log()->add(local_path(), L"access denied");
            return true;
        }
        return false;
    };
    const auto failed = [&](int error) {
        return CWrapperException(L"Unable to collect items from '" + local_path() + L"'",
                                 L"File system error: " + system_message(error));
    };
    if (!listing) {
        if (refused(errno)) return items;
        throw failed(errno);
    }
    std::unique_ptr<DIR, int (*)(DIR*)> closer(listing, closedir);
    // The names first: whether a name may cross depends on its siblings.
    std::vector<std::string> raw_names;
    std::vector<std::wstring> names;
    for (;;) {
        errno = 0;
        const dirent* entry = readdir(listing);
        if (!entry) {
            if (errno != 0 && !refused(errno)) throw failed(errno);
            break;
        }
        const std::string raw = entry->d_name;
        if (raw == "." || raw == "..") continue;
        const std::wstring name = from_utf8(raw);
        // The wide name is joined with "\" and turned back into bytes at
        // every file call: only a name that survives both unchanged names
        // this entry and no other file.
        if (!utf8::is_valid(raw.begin(), raw.end())) {
            log()->add(local_path() + L"\\" + name, dropped_names::not_text);
        } else if (name.find(L'\\') != std::wstring::npos) {
            log()->add(local_path() + L"\\" + name, dropped_names::holds_separator);
        } else {
            raw_names.push_back(raw);
            names.push_back(name);
        }
    }
    const std::vector<bool> twins = dropped_names::case_twins(names);
    for (std::size_t i = 0; i < names.size(); ++i) {
        const std::wstring child = local_path() + L"\\" + names[i];
        if (twins[i]) {
            log()->add(child, dropped_names::case_twin);
            continue;
        }
        const std::string child_native = folder + "/" + raw_names[i];
        struct stat status {};
        if (lstat(child_native.c_str(), &status) != 0) {
            if (errno == ENOENT) continue;  // gone since the listing
            if (refused(errno)) continue;
            throw failed(errno);
        }
        if (S_ISLNK(status.st_mode)) {
            struct stat target {};
            if (stat(child_native.c_str(), &target) != 0 || !S_ISREG(target.st_mode)) {
                log()->add(child, L"a link to a folder or to nothing readable is not followed");
                continue;
            }
            status = target;
        }
        if (S_ISDIR(status.st_mode)) {
            auto directory = boost::make_shared<CHDROPDirectory>(child);
            share_skip_log(*directory);
            items.push_back(directory);
        } else if (S_ISREG(status.st_mode)) {
            items.push_back(boost::make_shared<CHDROPFile>(child));
        } else {
            log()->add(child, L"not a file or folder (pipe, device or socket)");
        }
    }
    return items;
}

CHDROPFile::~CHDROPFile() {
    if (stream_) std::fclose(stream_);
}

std::wstring CHDROPFile::not_opened() const {
    return L"Stream '" + local_path() + L"' is not opened";
}

void CHDROPFile::open(int mode, std::int64_t) {
    if (stream_)
        throw CWrapperException(
            L"Stream open failed",
            L"Stream '" + local_path() + L"' already opened, mode=" + std::to_wstring(mode));
    std::FILE* stream = std::fopen(native(local_path()).c_str(), stream_mode(mode));
    if (!stream)
        throw CWrapperException(L"Stream open failed",
                                L"Stream '" + local_path() +
                                    L"' can't be opened by unknown reason, mode=" +
                                    std::to_wstring(mode));
    stream_ = stream;
    mode_ = mode;
}

void CHDROPFile::close() {
    if (!stream_) throw CWrapperException(L"Stream close failed", not_opened());
    std::fclose(stream_);
    stream_ = nullptr;
    mode_ = 0;
}

bool CHDROPFile::is_bof() {
    if (!stream_) throw CWrapperException(L"is_bof() failed", not_opened());
    return ftello(stream_) == 0;
}

bool CHDROPFile::is_eof() {
    if (!stream_) throw CWrapperException(L"is_eof() failed", not_opened());
    return std::feof(stream_) != 0;
}

std::int64_t CHDROPFile::get_pos() {
    if (!stream_) throw CWrapperException(L"get_pos() failed", not_opened());
    return ftello(stream_);
}

void CHDROPFile::seek(std::int64_t offset, int origin) {
    const std::wstring what = L"Seek of stream '" + local_path() + L"' to " +
                              std::to_wstring(offset) + L" from " + origin_word(origin) +
                              L" failed: ";
    if (!stream_) throw CWrapperException(L"Seek failed", what + L"stream not opened");
    if (fseeko(stream_, offset, origin) != 0)
        throw CWrapperException(L"Seek failed", what + L"stream operation call failed");
}

int CHDROPFile::read(void* buffer, int length) {
    if (!stream_)
        throw CWrapperException(L"Read failed",
                                L"Read from '" + local_path() + L"' failed: Stream is not opened");
    if (length <= 0) return 0;
    const std::size_t count = std::fread(buffer, 1, static_cast<std::size_t>(length), stream_);
    if (count == 0 && std::ferror(stream_))
        throw CWrapperException(
            L"Read failed", L"Read from '" + local_path() + L"' failed: " + system_message(errno));
    return static_cast<int>(count);
}

int CHDROPFile::write(const void* pdata, int len) {
    if (!stream_)
        throw CWrapperException(L"Write failed", L"file::write(pdata,len) m_path=" + local_path() +
                                                     L" len=" + std::to_wstring(len));
    if (len <= 0) return 0;
    return static_cast<int>(std::fwrite(pdata, 1, static_cast<std::size_t>(len), stream_));
}

std::int64_t CHDROPFile::get_size() {
    std::FILE* stream = stream_;
    if (!stream) stream = std::fopen(native(local_path()).c_str(), "rb");
    if (!stream)
        throw CWrapperException(L"Get size failed",
                                L"Can't get size: Error opening stream '" + local_path() + L"'");
    const off_t position = ftello(stream);
    fseeko(stream, 0, SEEK_END);
    const off_t size = ftello(stream);
    fseeko(stream, position, SEEK_SET);
    if (stream != stream_) std::fclose(stream);
    return size;
}

std::int64_t CHDROPFile::get_creation_date() {
    return file_date(local_path(), date_kind::creation);
}

std::int64_t CHDROPFile::get_access_date() {
    return file_date(local_path(), date_kind::access);
}

std::int64_t CHDROPFile::get_modification_date() {
    return file_date(local_path(), date_kind::modification);
}

CHDROPWrapper::CHDROPWrapper(const std::vector<std::wstring>& paths) {
    add_all(paths);
}

CHDROPWrapper::CHDROPWrapper(HGLOBAL drop) {
    const std::wstring context = L"CHDROPWrapper::CHDROPWrapper( hGlobal ): ";
    if (!drop) throw CWrapperException(L"Internal error", context + L"hGlobal is NULL");
    const void* block = GlobalLock(drop);
    if (!block) throw CWrapperException(L"Internal error", context + L"Out of memory");
    const std::unique_ptr<void, BOOL (*)(HGLOBAL)> unlock(drop, GlobalUnlock);
    // One pass over the block: asking DragQueryFileW name by name walks
    // the list again for every name, and a long drop would take minutes.
    add_all(win_shell::read_drop_files(block, GlobalSize(drop)));
}

void CHDROPWrapper::add_all(const std::vector<std::wstring>& paths) {
    // The dropped items all land in one remote folder, so their last
    // elements are names of one folder, as a listing's are.
    std::vector<std::wstring> leaves;
    for (const std::wstring& path : paths) leaves.push_back(CHDROPItem(path).leaf());
    const std::vector<bool> twins = dropped_names::case_twins(leaves);
    for (std::size_t i = 0; i < paths.size(); ++i) {
        if (leaves[i].empty() || leaves[i] == L"." || leaves[i] == L"..")
            skip_log()->add(paths[i], dropped_names::dot_name);
        else if (twins[i])
            skip_log()->add(paths[i], dropped_names::case_twin);
        else
            add(paths[i]);
    }
}

void CHDROPWrapper::add(const std::wstring& path) {
    struct stat status {};
    const bool found = stat(native(path).c_str(), &status) == 0;
    if (found && S_ISDIR(status.st_mode)) {
        auto directory = boost::make_shared<CHDROPDirectory>(path);
        share_skip_log(*directory);
        items_.push_back(directory);
    } else if (found && !S_ISREG(status.st_mode)) {
        skip_log()->add(path, L"not a file or folder (pipe, device or socket)");
    } else {
        items_.push_back(boost::make_shared<CHDROPFile>(path));
    }
}

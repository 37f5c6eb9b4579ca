#include "folder/adapters/fd_items.h"

#include <algorithm>
#include <boost/make_shared.hpp>
#include <cstring>
#include <cwctype>
#include <map>
#include <optional>
#include <set>

#include "folder/adapters/wrapper_exception.h"
#include "folder/item_ids/pidl_data.h"
#include "folder/module/folder_session.h"
#include "folder/transfer/data_object_impl.h"
#include "win/clipboard.h"
#include "win/file.h"
#include "win/global_memory.h"

namespace descriptor_reading {

namespace {

const wchar_t* const no_folder_record = L"its folder is not itself among the dropped items";

std::vector<std::wstring> split_path(const std::wstring& path) {
    std::vector<std::wstring> parts(1);
    for (std::size_t i = 0; i < path.size(); ++i) {
        if (path[i] != L'\\') {
            parts.back() += path[i];
        } else if (i == 0 || path[i - 1] != L'\\') {
            parts.emplace_back();
        }
    }
    return parts;
}

// FILETIME units (100 ns since 1601) as seconds since 1970, toward zero.
std::int64_t seconds_since_1970(const FILETIME& time) {
    const std::uint64_t units =
        (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    return static_cast<std::int64_t>(static_cast<double>(units) / 10000000.0 - 11644473600.0);
}

std::wstring joined(const std::vector<std::wstring>& parts, std::size_t count) {
    std::wstring path;
    for (std::size_t i = 0; i < count && i < parts.size(); ++i)
        path += (i ? L"\\" : L"") + parts[i];
    return path;
}

bool has_bad_part(const std::vector<std::wstring>& parts) {
    return std::any_of(parts.begin(), parts.end(), [](const std::wstring& part) {
        return part.empty() || part == L"." || part == L"..";
    });
}

// Marks the records that cannot cross one to one or that no listing would
// reach, and records them with their reasons.
void leave_out_unlisted(descriptor_records& block) {
    auto& records = block.records;
    std::vector<const wchar_t*> reasons(records.size(), nullptr);
    for (std::size_t i = 0; i < records.size(); ++i)
        if (records[i].path.empty() || has_bad_part(records[i].parts))
            reasons[i] = dropped_names::dot_name;

    std::map<std::wstring, std::vector<std::size_t>> siblings;
    for (std::size_t i = 0; i < records.size(); ++i)
        if (!reasons[i])
            siblings[joined(records[i].parts, records[i].parts.size() - 1)].push_back(i);
    for (const auto& [folder, members] : siblings) {
        std::vector<std::wstring> names;
        for (const std::size_t i : members) names.push_back(records[i].parts.back());
        const std::vector<bool> twins = dropped_names::case_twins(names);
        for (std::size_t k = 0; k < members.size(); ++k)
            if (twins[k]) reasons[members[k]] = dropped_names::case_twin;
    }

    // A level is listed only below a listed folder record of exactly its
    // parent's path, so the shallow records are settled first.
    std::vector<std::size_t> order(records.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return records[a].parts.size() < records[b].parts.size();
    });
    std::set<std::wstring> listed_folders;
    for (const std::size_t i : order) {
        if (reasons[i]) continue;
        const auto& parts = records[i].parts;
        if (parts.size() > 1 && !listed_folders.count(joined(parts, parts.size() - 1)))
            reasons[i] = no_folder_record;
        else if (records[i].directory)
            listed_folders.insert(joined(parts, parts.size()));
    }

    for (std::size_t i = 0; i < records.size(); ++i) {
        if (!reasons[i]) continue;
        records[i].listed = false;
        block.left_out.emplace_back(records[i].path, reasons[i]);
    }
}

// Each listed record under the folder that holds it.
void index_by_folder(descriptor_records& block) {
    for (std::size_t i = 0; i < block.records.size(); ++i) {
        const auto& record = block.records[i];
        if (record.listed)
            block.listed_children[joined(record.parts, record.parts.size() - 1)].push_back(
                static_cast<std::uint32_t>(i));
    }
}

}  // namespace

descriptor_records_ptr read_records(const void* block, std::size_t size) {
    const auto descriptors = win_shell::read_file_group_descriptor(block, size);
    if (!descriptors)
        throw CWrapperException(L"Internal error",
                                L"The dropped file list is shorter than its count says");
    auto result = std::make_shared<descriptor_records>();
    for (const FILEDESCRIPTORW& descriptor : *descriptors) {
        descriptor_records::record record;
        if (const auto name = win_shell::file_descriptor_name(descriptor)) record.path = *name;
        record.parts = split_path(record.path);
        record.directory = (descriptor.dwFlags & FD_ATTRIBUTES) &&
                           (descriptor.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
        if (descriptor.dwFlags & FD_WRITESTIME)
            record.modified = seconds_since_1970(descriptor.ftLastWriteTime);
        result->records.push_back(std::move(record));
    }
    leave_out_unlisted(*result);
    index_by_folder(*result);
    return result;
}

bool names_match(const std::wstring& a, const std::wstring& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::towlower(a[i]) != std::towlower(b[i])) return false;
    return true;
}

}  // namespace descriptor_reading

const std::vector<std::uint32_t>& descriptor_records::listed_below(
    const std::vector<std::wstring>& parts) const {
    static const std::vector<std::uint32_t> none;
    const auto found = listed_children.find(descriptor_reading::joined(parts, parts.size()));
    return found == listed_children.end() ? none : found->second;
}

namespace {

FORMATETC contents_format(std::uint32_t index) {
    return FORMATETC{static_cast<CLIPFORMAT>(RegisterClipboardFormatW(CFSTR_FILECONTENTS)), nullptr,
                     DVASPECT_CONTENT, static_cast<LONG>(index), TYMED_ISTREAM};
}

vfs::directory_ptr invalid_data_object() {
    throw CWrapperException(
        L"Internal error",
        L"Invalid argument in CFILEDESCRIPTORFile::GetVfsDirectoryOfDataObject( IDataObject* )");
}

}  // namespace

CFILEDESCRIPTORDirectory::CFILEDESCRIPTORDirectory(IDataObject* data_object,
                                                   descriptor_records_ptr records,
                                                   std::uint32_t index)
    : data_object_(data_object), records_(std::move(records)), index_(index) {
    const std::wstring context =
        L"CFILEDESCRIPTORDirectory::CFILEDESCRIPTORDirectory( pDataObj, pFGD, nIndex ) : ";
    if (!data_object_) throw CWrapperException(L"Internal error", context + L"pDataObj is NULL");
    if (!records_) throw CWrapperException(L"Internal error", context + L"pFGD is NULL");
    if (index_ < records_->records.size()) parts_ = records_->records[index_].parts;
}

std::wstring CFILEDESCRIPTORDirectory::get_name() {
    return parts_.empty() ? std::wstring() : parts_.back();
}

std::wstring CFILEDESCRIPTORDirectory::where() {
    return index_ < records_->records.size() ? records_->records[index_].path : L"-=Root=-";
}

bool CFILEDESCRIPTORDirectory::same_name(const std::wstring& a, const std::wstring& b) {
    return descriptor_reading::names_match(a, b);
}

dropped_item_list CFILEDESCRIPTORDirectory::list_items() {
    dropped_item_list items;
    const auto& records = records_->records;
    for (const std::uint32_t i : records_->listed_below(parts_)) {
        if (records[i].directory)
            items.push_back(
                boost::make_shared<CFILEDESCRIPTORDirectory>(data_object_, records_, i));
        else
            items.push_back(boost::make_shared<CFILEDESCRIPTORFile>(data_object_, records_, i));
    }
    return items;
}

CFILEDESCRIPTORFile::CFILEDESCRIPTORFile(IDataObject* data_object, descriptor_records_ptr records,
                                         std::uint32_t index)
    : data_object_(data_object), records_(std::move(records)), index_(index) {
    const std::wstring context =
        L"CFILEDESCRIPTORFile::CFILEDESCRIPTORFile( pDataObj, pFGD, nIndex ) : ";
    if (!data_object_) throw CWrapperException(L"Internal error", context + L"pDataObj is NULL");
    if (!records_) throw CWrapperException(L"Internal error", context + L"pFGD is NULL");
    if (index_ >= records_->records.size())
        throw CWrapperException(L"Internal error", context + L"nIndex is out of range");
}

CFILEDESCRIPTORFile::~CFILEDESCRIPTORFile() {
    release();
}

std::wstring CFILEDESCRIPTORFile::get_name() {
    return entry().parts.back();
}

std::int64_t CFILEDESCRIPTORFile::get_modification_date() {
    return entry().modified;
}

IStream* CFILEDESCRIPTORFile::fetch_stream(STGMEDIUM& medium) {
    FORMATETC format = contents_format(index_);
    medium = STGMEDIUM{};
    if (FAILED(data_object_->GetData(&format, &medium))) {
        medium = STGMEDIUM{};
        return nullptr;
    }
    if (medium.tymed != TYMED_ISTREAM || !medium.pstm) {
        ReleaseStgMedium(&medium);
        medium = STGMEDIUM{};
        return nullptr;
    }
    return medium.pstm;
}

void CFILEDESCRIPTORFile::release() {
    announced_ = -1;
    delivered_ = 0;
    if (stream_impl_) stream_impl_->Release();
    stream_impl_ = nullptr;
    if (stream_) ReleaseStgMedium(&medium_);
    medium_ = STGMEDIUM{};
    stream_ = nullptr;
}

void CFILEDESCRIPTORFile::throw_stream_error(const std::wstring& title, const std::wstring& text) {
    if (stream_impl_) {
        wchar_t message[1024] = {};
        wchar_t description[1024] = {};
        if (SUCCEEDED(stream_impl_->GetError(message, description, 1024, 1024)))
            throw CWrapperException(message, description);
    }
    throw CWrapperException(title, text);
}

void CFILEDESCRIPTORFile::open() {
    // Dropped files are opened for reading only; the texts name that mode.
    const std::wstring mode = std::to_wstring(vfs::modeRead);
    const std::wstring stream_name = L"Stream '" + entry().path + L"' ";
    if (stream_)
        throw CWrapperException(L"Stream open failed",
                                stream_name + L"already opened, mode=" + mode);
    IStream* stream = fetch_stream(medium_);
    if (!stream)
        throw CWrapperException(L"Stream open failed",
                                stream_name + L"can't be opened, mode=" + mode);
    stream_ = stream;
    if (SUCCEEDED(stream_->QueryInterface(utils::iid_stream_impl,
                                          reinterpret_cast<void**>(&stream_impl_))) &&
        stream_impl_)
        stream_impl_->SetSilent();
    STATSTG statistics{};
    if (SUCCEEDED(stream_->Stat(&statistics, STATFLAG_NONAME)) &&
        statistics.cbSize.QuadPart <= static_cast<ULONGLONG>(INT64_MAX))
        announced_ = static_cast<std::int64_t>(statistics.cbSize.QuadPart);
}

void CFILEDESCRIPTORFile::close() {
    if (!stream_)
        throw CWrapperException(L"Stream close failed",
                                L"Stream '" + entry().path + L"' is not opened");
    release();
}

int CFILEDESCRIPTORFile::read(void* buffer, int length) {
    if (!stream_)
        throw CWrapperException(L"Read failed",
                                L"Read from '" + entry().path + L"' failed: Stream is not opened");
    if (length <= 0) return 0;
    ULONG got = 0;
    if (FAILED(stream_->Read(buffer, static_cast<ULONG>(length), &got)))
        throw_stream_error(L"Read failed", L"Read of " + std::to_wstring(length) +
                                               L" bytes from '" + entry().path +
                                               L"' failed: Stream operation call failed");
    got = std::min<ULONG>(got, static_cast<ULONG>(length));
    // Another program's stream that ends early (or runs over) would pass
    // for a whole file of another size: the read fails instead.
    if (announced_ >= 0) {
        const std::int64_t delivered = delivered_ + got;
        if ((got == 0 && delivered < announced_) || delivered > announced_)
            throw CWrapperException(L"Read failed",
                                    L"The contents of '" + entry().path + L"' came to " +
                                        std::to_wstring(delivered) + L" bytes, not the " +
                                        std::to_wstring(announced_) + L" bytes announced");
        delivered_ = delivered;
    }
    return static_cast<int>(got);
}

std::int64_t CFILEDESCRIPTORFile::get_size() {
    STGMEDIUM temporary{};
    IStream* stream = stream_ ? stream_ : fetch_stream(temporary);
    if (!stream)
        throw CWrapperException(L"Get size failed",
                                L"Can't get size: Error opening stream '" + entry().path + L"'");
    STATSTG statistics{};
    const HRESULT result = stream->Stat(&statistics, STATFLAG_NONAME);
    if (stream != stream_) ReleaseStgMedium(&temporary);
    if (FAILED(result)) {
        const std::wstring text =
            L"Can't get size of '" + entry().path + L"': Stream operation call failed";
        if (stream == stream_) throw_stream_error(L"Get size failed", text);
        throw CWrapperException(L"Get size failed", text);
    }
    return static_cast<std::int64_t>(statistics.cbSize.QuadPart);
}

vfs::directory_ptr CFILEDESCRIPTORFile::GetVfsDirectoryOfDataObject(IDataObject* data_object) {
    if (!data_object) return invalid_data_object();
    if (const auto* own = own_data_object(data_object))
        if (own->GetFolder()) return own->GetFolder();
    FORMATETC format{static_cast<CLIPFORMAT>(RegisterClipboardFormatW(CFSTR_SHELLIDLIST)), nullptr,
                     DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium{};
    if (FAILED(data_object->GetData(&format, &medium))) return invalid_data_object();
    std::optional<std::vector<BYTE>> parents;
    if (medium.tymed == TYMED_HGLOBAL && medium.hGlobal) {
        if (const void* block = GlobalLock(medium.hGlobal)) {
            parents = win_shell::read_id_array_folder(block, GlobalSize(medium.hGlobal));
            GlobalUnlock(medium.hGlobal);
        }
    }
    ReleaseStgMedium(&medium);
    if (!parents) return invalid_data_object();
    try {
        vfs::directory_ptr current = current_folder_session().get_client()->get_root_directory();
        // The parent list: the junction's own element first, then one
        // record per remote level. Elements of any other size are no level.
        const std::vector<BYTE>& list = *parents;
        std::size_t offset = 0;
        while (offset + 2 <= list.size()) {
            const std::size_t size = list[offset] | (list[offset + 1] << 8);
            if (size == 0) break;
            if (size < 2 || offset + size > list.size()) return invalid_data_object();
            if (size == sizeof(PIDLDATA)) {
                PIDLDATA level{};
                std::memcpy(&level, list.data() + offset, sizeof level);
                current = boost::dynamic_pointer_cast<vfs::directory>(
                    current->get_item(pidl_name(level), false));
                if (!current) return invalid_data_object();
            }
            offset += size;
        }
        return current;
    } catch (const vfs::exception&) {
        return invalid_data_object();
    } catch (const std::exception&) {
        return invalid_data_object();
    }
}

void CFILEDESCRIPTORFile::copy(const vfs::item_ptr& destination, bool move) {
    const CWrapperException invalid(
        L"Internal error", L"Invalid argument in CFILEDESCRIPTORFile::copy( vfs::item_ptr, bool )");
    vfs::directory_ptr current;
    try {
        current = GetVfsDirectoryOfDataObject(data_object_);
    } catch (const CWrapperException&) {
        throw invalid;
    }
    const auto& parts = entry().parts;
    for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
        current = boost::dynamic_pointer_cast<vfs::directory>(current->get_item(parts[i], false));
        if (!current) throw invalid;
    }
    const auto file =
        boost::dynamic_pointer_cast<vfs::file>(current->get_item(parts.back(), false));
    if (!file) throw invalid;
    file->copy(destination, move);
}

CFILEDESCRIPTORWrapper::CFILEDESCRIPTORWrapper(IDataObject* data_object, HGLOBAL descriptors)
    : data_object_(data_object) {
    const std::wstring context =
        L"CFILEDESCRIPTORWrapper::CFILEDESCRIPTORWrapper( pDataObj, hGlobal ): ";
    if (!data_object) throw CWrapperException(L"Internal error", context + L"pDataObj is NULL");
    if (!descriptors) throw CWrapperException(L"Internal error", context + L"hGlobal is NULL");
    const void* block = GlobalLock(descriptors);
    if (!block)
        throw CWrapperException(
            L"Internal error",
            L"CFILEDESCRIPTORWrapper::CFILEDESCRIPTORWrapper(pDataObj,hGlobal): Out of memory");
    descriptor_records_ptr records;
    try {
        records = descriptor_reading::read_records(block, GlobalSize(descriptors));
    } catch (...) {
        GlobalUnlock(descriptors);
        throw;
    }
    GlobalUnlock(descriptors);
    root_ = boost::make_shared<CFILEDESCRIPTORDirectory>(data_object, records, 0xFFFFFFFFu);
    for (const auto& [name, reason] : records->left_out) skip_log()->add(name, reason);
    records_ = std::move(records);
}

void CFILEDESCRIPTORWrapper::remove_emptied_sources() {
    std::vector<const descriptor_records::record*> folders;
    for (const auto& record : records_->records)
        if (record.listed && record.directory) folders.push_back(&record);
    std::stable_sort(folders.begin(), folders.end(), [](const auto* a, const auto* b) {
        return a->parts.size() > b->parts.size();
    });
    vfs::directory_ptr base;
    try {
        base = CFILEDESCRIPTORFile::GetVfsDirectoryOfDataObject(data_object_);
    } catch (const vfs::exception&) {
        return;
    }
    for (const auto* record : folders) {
        try {
            vfs::directory_ptr parent = base;
            for (std::size_t i = 0; parent && i + 1 < record->parts.size(); ++i)
                parent = boost::dynamic_pointer_cast<vfs::directory>(
                    parent->get_item(record->parts[i], true));
            if (!parent) continue;
            const vfs::item_ptr found = parent->get_item(record->parts.back(), true);
            const auto folder = boost::dynamic_pointer_cast<vfs::directory>(found);
            if (!folder || found->get_type() != vfs::item_type_directory) continue;
            if (!folder->list_items().empty()) continue;
            parent->delete_item(found, true);
        } catch (const vfs::exception&) {
        } catch (const std::exception&) {
        }
    }
}

bool CFILEDESCRIPTORWrapper::same_name(const std::wstring& a, const std::wstring& b) {
    return descriptor_reading::names_match(a, b);
}

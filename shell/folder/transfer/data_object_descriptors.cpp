// The data object's virtual files: the descriptor group of the selection
// with everything below its folders, one stream per file, and the item
// selection in the shell's own form.
#include <boost/algorithm/string/classification.hpp>
#include <boost/algorithm/string/split.hpp>
#include <boost/pointer_cast.hpp>
#include <cstring>

#include "folder/transfer/data_object_impl.h"
#include "folder/transfer/stream_impl.h"
#include "vfs/exceptions.h"
#include "vfs/file.h"
#include "win/file.h"

namespace {

// The item of that id in the folder; a failed lookup is tried once more
// after a fresh listing, since the folder may have changed since the
// selection was made.
vfs::item_ptr find_by_id(const vfs::directory_ptr& folder, const std::wstring& id) {
    try {
        if (vfs::item_ptr item = folder->get_item_by_id(id, false)) return item;
    } catch (const vfs::exception&) {
    }
    folder->list_items();
    return folder->get_item_by_id(id, false);
}

bool holds_separator(const std::wstring& name) {
    return name.find(L'\\') != std::wstring::npos;
}

}  // namespace

HRESULT CDataObjectImpl::ensure_descriptors() {
    if (m_descriptors.empty()) {
        const HRESULT result = build_file_descriptors();
        if (FAILED(result)) {
            // A later request starts the build again from the first item.
            m_descriptors.clear();
            return result;
        }
    }
    return m_descriptors.empty() ? E_UNEXPECTED : S_OK;
}

HRESULT CDataObjectImpl::build_file_descriptors() {
    try {
        for (UINT i = 0; i < m_items.GetSize(); ++i) {
            const PIDLDATA record = CItemIdList(m_items[i], false).GetLastItem();
            const std::wstring id = pidl_id(record);
            HRESULT result = add_file_descriptor(m_folder, L"", true, id);
            if (SUCCEEDED(result) && record.type == vfs::item_type_directory)
                result = add_subtree_descriptors(m_folder, L"", true, id);
            if (FAILED(result)) return result;
        }
    } catch (const vfs::exception&) {
        return E_UNEXPECTED;
    }
    return S_OK;
}

HRESULT CDataObjectImpl::add_file_descriptor(const vfs::directory_ptr& directory,
                                             const std::wstring& prefix, bool prefix_resolvable,
                                             const std::wstring& id) {
    vfs::item_ptr item;
    try {
        item = find_by_id(directory, id);
    } catch (const vfs::exception&) {
        return E_UNEXPECTED;
    }
    if (!item) return E_UNEXPECTED;
    descriptor_entry entry{};
    FILEDESCRIPTORW& descriptor = entry.descriptor;
    descriptor.dwFlags = FD_ATTRIBUTES | FD_PROGRESSUI;
    const std::wstring name = item->get_name();
    const bool whole = win_shell::set_file_descriptor_name(descriptor, prefix + name);
    entry.resolvable = prefix_resolvable && whole && !holds_separator(name);
    if (boost::dynamic_pointer_cast<vfs::directory>(item)) {
        descriptor.dwFileAttributes = FILE_ATTRIBUTE_DIRECTORY;
    } else if (auto file = boost::dynamic_pointer_cast<vfs::file>(item)) {
        const auto size = static_cast<uint64_t>(file->get_size());
        descriptor.dwFlags |= FD_FILESIZE;
        descriptor.nFileSizeHigh = static_cast<DWORD>(size >> 32);
        descriptor.nFileSizeLow = static_cast<DWORD>(size & 0xFFFFFFFFu);
        descriptor.dwFileAttributes = FILE_ATTRIBUTE_NORMAL;
    } else {
        return E_UNEXPECTED;
    }
    try {
        m_descriptors.push_back(entry);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

HRESULT CDataObjectImpl::add_subtree_descriptors(const vfs::directory_ptr& directory,
                                                 const std::wstring& prefix, bool prefix_resolvable,
                                                 const std::wstring& id) {
    try {
        auto folder = boost::dynamic_pointer_cast<vfs::directory>(find_by_id(directory, id));
        if (!folder) return S_OK;
        const std::wstring name = folder->get_name();
        const std::wstring inner = prefix + name + L"\\";
        const bool inner_resolvable = prefix_resolvable && !holds_separator(name);
        for (const vfs::item_ptr& child : folder->list_items()) {
            const std::wstring child_id = child->get_id();
            HRESULT result = add_file_descriptor(folder, inner, inner_resolvable, child_id);
            if (SUCCEEDED(result) && child->get_type() == vfs::item_type_directory)
                result = add_subtree_descriptors(folder, inner, inner_resolvable, child_id);
            if (FAILED(result)) return result;
        }
    } catch (const vfs::exception&) {
        return E_UNEXPECTED;
    }
    return S_OK;
}

HRESULT CDataObjectImpl::get_descriptor_group(STGMEDIUM* medium) {
    const HRESULT built = ensure_descriptors();
    if (FAILED(built)) return built;
    const UINT count = static_cast<UINT>(m_descriptors.size());
    HGLOBAL block = GlobalAlloc(GHND, sizeof count + count * sizeof(FILEDESCRIPTORW));
    if (!block) return E_OUTOFMEMORY;
    auto* data = static_cast<BYTE*>(GlobalLock(block));
    if (!data) {
        GlobalFree(block);
        return E_OUTOFMEMORY;
    }
    std::memcpy(data, &count, sizeof count);
    for (UINT i = 0; i < count; ++i)
        std::memcpy(data + sizeof count + i * sizeof(FILEDESCRIPTORW), &m_descriptors[i].descriptor,
                    sizeof(FILEDESCRIPTORW));
    GlobalUnlock(block);
    medium->tymed = TYMED_HGLOBAL;
    medium->hGlobal = block;
    return S_OK;
}

HRESULT CDataObjectImpl::get_file_contents(LONG index, STGMEDIUM* medium) {
    const HRESULT built = ensure_descriptors();
    if (FAILED(built)) return built;
    if (index < 0 || static_cast<size_t>(index) >= m_descriptors.size()) return DV_E_LINDEX;
    const descriptor_entry& entry = m_descriptors[static_cast<size_t>(index)];
    const std::optional<std::wstring> path = win_shell::file_descriptor_name(entry.descriptor);
    if (!entry.resolvable || !path) return E_UNEXPECTED;
    std::vector<std::wstring> names;
    boost::algorithm::split(names, *path, boost::algorithm::is_any_of(L"\\"));
    vfs::item_ptr current = m_folder;
    try {
        for (const std::wstring& name : names) {
            auto folder = boost::dynamic_pointer_cast<vfs::directory>(current);
            if (!folder || current->get_type() != vfs::item_type_directory) return E_UNEXPECTED;
            current = folder->get_item(name, false);
            if (!current) return E_UNEXPECTED;
        }
    } catch (const vfs::exception&) {
        return E_UNEXPECTED;
    }
    auto file = boost::dynamic_pointer_cast<vfs::file>(current);
    if (!file) return E_UNEXPECTED;
    CComObject<CStreamImpl>* stream = nullptr;
    HRESULT result = CComObject<CStreamImpl>::CreateInstance(&stream);
    if (FAILED(result)) return result;
    stream->AddRef();
    if (FAILED(stream->Init(file))) {
        stream->Release();
        return E_FAIL;
    }
    medium->tymed = TYMED_ISTREAM;
    medium->pstm = static_cast<IStream*>(stream);
    return S_OK;
}

HRESULT CDataObjectImpl::get_id_array(STGMEDIUM* medium) {
    LPITEMIDLIST folder = GetFolderList().CreatePidl();
    if (!folder) return STG_E_MEDIUMFULL;
    const UINT count = m_items.GetSize();
    std::vector<UINT> offsets(count + 1);
    size_t total = sizeof(UINT) * (count + 2);
    offsets[0] = static_cast<UINT>(total);
    total += GetPidlSize(folder);
    for (UINT i = 0; i < count; ++i) {
        offsets[i + 1] = static_cast<UINT>(total);
        total += GetPidlSize(m_items[i]);
    }
    HGLOBAL block = GlobalAlloc(GHND, total);
    auto* data = block ? static_cast<BYTE*>(GlobalLock(block)) : nullptr;
    if (!data) {
        if (block) GlobalFree(block);
        CoTaskMemFree(folder);
        return STG_E_MEDIUMFULL;
    }
    std::memcpy(data, &count, sizeof count);
    std::memcpy(data + sizeof count, offsets.data(), offsets.size() * sizeof(UINT));
    std::memcpy(data + offsets[0], folder, GetPidlSize(folder));
    for (UINT i = 0; i < count; ++i)
        std::memcpy(data + offsets[i + 1], m_items[i], GetPidlSize(m_items[i]));
    GlobalUnlock(block);
    CoTaskMemFree(folder);
    medium->tymed = TYMED_HGLOBAL;
    medium->hGlobal = block;
    return S_OK;
}

// Drop data from other programs, at the sizes that used to stall the shell:
// 10,000 dropped paths read by the extension's adapter, against the least
// any reader does with them in the same run (one pass over the block and a
// look at each path on disk) and against reading the block name by name
// through DragQueryFileW (as the adapter once did, on 2,000 names: it grows
// with the square); an id array whose 262,143 offsets all point at one
// list, against reading a well-formed block of the same size; and a
// virtual-file tree of 20,000 descriptors walked whole (every folder
// listed), against reading its block once in the same run. Targets: the
// adapter within twice the least work, the bomb refused at once, the walk
// within ten times the read.
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "folder/adapters/fd_items.h"
#include "folder/adapters/hdrop_items.h"
#include "win/file.h"
#include "win/global_memory.h"
#include "win/shell_dragdrop.h"

namespace {

using clock_type = std::chrono::steady_clock;

double seconds_since(clock_type::time_point start) {
    return std::chrono::duration<double>(clock_type::now() - start).count();
}

HDROP drop_of(int count) {
    std::vector<std::wstring> paths;
    for (int i = 0; i < count; ++i)
        paths.push_back(L"/tmp/not-there/dropped-file-number-" + std::to_wstring(i) + L".txt");
    return win_shell::make_drop_files(paths);
}

double adapter_seconds(int count) {
    HDROP drop = drop_of(count);
    const auto start = clock_type::now();
    CHDROPWrapper tree(drop);
    const double took = seconds_since(start);
    GlobalFree(drop);
    return took;
}

// The least work: the block read in one pass, each path looked at on disk.
double least_work_seconds(int count) {
    HDROP drop = drop_of(count);
    const auto start = clock_type::now();
    const void* block = GlobalLock(drop);
    for (const std::wstring& path : win_shell::read_drop_files(block, GlobalSize(drop))) {
        struct stat status {};
        const std::string native(path.begin(), path.end());  // the paths are plain ASCII
        stat(native.c_str(), &status);
    }
    GlobalUnlock(drop);
    const double took = seconds_since(start);
    GlobalFree(drop);
    return took;
}

double name_by_name_seconds(int count) {
    HDROP drop = drop_of(count);
    const auto start = clock_type::now();
    const UINT names = DragQueryFileW(drop, 0xFFFFFFFFu, nullptr, 0);
    for (UINT i = 0; i < names; ++i) {
        const UINT length = DragQueryFileW(drop, i, nullptr, 0);
        std::wstring path(length + 1, L'\0');
        DragQueryFileW(drop, i, path.data(), length + 1);
    }
    const double took = seconds_since(start);
    GlobalFree(drop);
    return took;
}

// count lists; every offset at the first list when shared, else each list
// its own bytes.
std::vector<BYTE> id_array(UINT count, bool shared, size_t list_size) {
    const size_t header = 4 + (size_t{count} + 1) * 4;
    const size_t lists = shared ? 1 : count + 1;
    std::vector<BYTE> block(header + lists * list_size, 0);
    std::memcpy(block.data(), &count, 4);
    for (size_t l = 0; l < lists; ++l)
        for (size_t at = 0; at + 4 + 2 <= list_size; at += 4)
            block[header + l * list_size + at] = 4;  // elements of four bytes, then the end
    for (UINT i = 0; i <= count; ++i) {
        const UINT offset = static_cast<UINT>(header + (shared ? 0 : i * list_size));
        std::memcpy(block.data() + 4 + i * 4, &offset, 4);
    }
    return block;
}

// 2,000 folders of 9 files each, every folder and file with a record.
std::vector<FILEDESCRIPTORW> descriptor_tree() {
    std::vector<FILEDESCRIPTORW> records;
    for (int folder = 0; folder < 2000; ++folder) {
        FILEDESCRIPTORW directory{};
        directory.dwFlags = FD_ATTRIBUTES;
        directory.dwFileAttributes = FILE_ATTRIBUTE_DIRECTORY;
        const std::wstring name = L"folder-" + std::to_wstring(folder);
        win_shell::set_file_descriptor_name(directory, name);
        records.push_back(directory);
        for (int file = 0; file < 9; ++file) {
            FILEDESCRIPTORW entry{};
            win_shell::set_file_descriptor_name(entry, name + L"\\file-" + std::to_wstring(file));
            records.push_back(entry);
        }
    }
    return records;
}

std::vector<BYTE> group_block(const std::vector<FILEDESCRIPTORW>& records) {
    const UINT count = static_cast<UINT>(records.size());
    std::vector<BYTE> block(4 + records.size() * sizeof(FILEDESCRIPTORW));
    std::memcpy(block.data(), &count, 4);
    std::memcpy(block.data() + 4, records.data(), records.size() * sizeof(FILEDESCRIPTORW));
    return block;
}

// Lists the folder and every folder below it; the number of items seen.
size_t walk(dropped_folder& folder) {
    size_t seen = 0;
    for (const dropped_item_ptr& item : folder.list_items()) {
        ++seen;
        if (auto below = boost::dynamic_pointer_cast<dropped_folder>(item)) seen += walk(*below);
    }
    return seen;
}

// The data object is never asked for contents by a walk: any object will do.
class no_contents final : public IDataObject {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE GetData(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override { return E_NOTIMPL; }
};

}  // namespace

int main() {
    adapter_seconds(100);  // the first use loads and sets up what the adapter uses
    least_work_seconds(100);
    // The shortest of a few runs of each, taken in turns, so that a busy
    // moment of the machine does not fall on one side only.
    double adapter = 1e9, least = 1e9;
    for (int run = 0; run < 5; ++run) {
        adapter = std::min(adapter, adapter_seconds(10000));
        least = std::min(least, least_work_seconds(10000));
    }
    const double peer = name_by_name_seconds(2000);
    const bool adapter_met = adapter <= 2 * least;
    std::printf("10000 dropped paths read by the adapter: %.4f s\n", adapter);
    std::printf(
        "10000 paths read in one pass and looked at on disk: %.4f s (adapter/least %.2f, target "
        "2.00: %s)\n",
        least, adapter / least, adapter_met ? "met" : "MISSED");
    std::printf(
        "2000 paths read name by name through DragQueryFileW: %.4f s (%.2fx the adapter's "
        "10000)\n",
        peer, peer / adapter);

    const std::vector<BYTE> bomb = id_array(131071, true, 1024 * 1024 - 4 - 131072 * 4);
    auto start = clock_type::now();
    const bool bomb_read = win_shell::read_id_array(bomb.data(), bomb.size()).has_value();
    const double refused = seconds_since(start);
    const std::vector<BYTE> fair = id_array(1023, false, 1020);
    start = clock_type::now();
    const bool fair_read = win_shell::read_id_array(fair.data(), fair.size()).has_value();
    const double read = seconds_since(start);
    std::printf("1 MiB id array of 131071 offsets at one list: %s in %.6f s\n",
                bomb_read ? "READ (a bomb)" : "refused", refused);
    std::printf("1 MiB well-formed id array of 1024 lists: %s in %.6f s (bomb/fair %.2f)\n",
                fair_read ? "read" : "REFUSED", read, refused / read);

    const std::vector<BYTE> tree = group_block(descriptor_tree());
    HGLOBAL tree_block = GlobalAlloc(GMEM_MOVEABLE, tree.size());
    std::memcpy(GlobalLock(tree_block), tree.data(), tree.size());
    GlobalUnlock(tree_block);
    no_contents data;
    start = clock_type::now();
    const size_t records =
        descriptor_reading::read_records(tree.data(), tree.size())->records.size();
    const double read_once = seconds_since(start);
    start = clock_type::now();
    size_t walked = 0;
    {
        CFILEDESCRIPTORWrapper root(&data, tree_block);
        walked = walk(root);
    }
    const double walk_seconds = seconds_since(start);
    GlobalFree(tree_block);
    std::printf("%zu descriptors read once: %.4f s\n", records, read_once);
    const bool walk_met = walk_seconds <= 10 * read_once;
    std::printf("%zu descriptors walked as a tree: %.4f s (%.2fx the read; target 10x: %s)\n",
                walked, walk_seconds, walk_seconds / read_once, walk_met ? "met" : "MISSED");
    return adapter_met && !bomb_read && fair_read && walk_met ? 0 : 1;
}

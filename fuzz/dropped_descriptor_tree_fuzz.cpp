// Another program's descriptor group read as the tree of a drop: whatever
// the block holds, every record a listing can show sits below a listed
// folder record of exactly its parent's path, has no empty, "." or ".."
// part, and no listed sibling has its name but for case; every record left
// out is recorded once.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <map>

#include "folder/adapters/fd_items.h"
#include "fuzz_support.h"
#include "vfs/calvimora_directory.h"

using calvimora_fuzz::require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    descriptor_records_ptr block;
    try {
        block = descriptor_reading::read_records(data, size);
    } catch (const vfs::exception&) {
        return 0;
    }
    std::map<std::wstring, int> siblings;
    std::size_t left_out = 0;
    for (const auto& record : block->records) {
        if (!record.listed) {
            ++left_out;
            continue;
        }
        std::wstring parent;
        for (std::size_t i = 0; i < record.parts.size(); ++i) {
            const std::wstring& part = record.parts[i];
            require(!part.empty() && part != L"." && part != L"..", "a listed name has a bad part");
            if (i + 1 < record.parts.size()) parent += (i ? L"\\" : L"") + part;
        }
        const std::wstring key =
            parent + L"\\" + vfs_calvimora::directory::folded_name(record.parts.back());
        require(++siblings[key] == 1, "two listed siblings share a name but for case");
    }
    for (const auto& record : block->records) {
        if (!record.listed || record.parts.size() < 2) continue;
        std::wstring parent;
        for (std::size_t i = 0; i + 1 < record.parts.size(); ++i)
            parent += (i ? L"\\" : L"") + record.parts[i];
        bool found = false;
        for (const auto& other : block->records)
            found =
                found ||
                (other.listed && other.directory && other.parts.size() + 1 == record.parts.size() &&
                 std::equal(other.parts.begin(), other.parts.end(), record.parts.begin()));
        require(found, "a listed record below no listed folder record");
    }
    require(block->left_out.size() == left_out, "a left-out record not recorded once");
    return 0;
}

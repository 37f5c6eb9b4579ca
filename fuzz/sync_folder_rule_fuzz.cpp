// Local paths as the sync pages get them from dropped data and read them
// from stored tables, checked by the pages' folder rule: a path the rule
// lets stand in a binding is absolute, native, without "\", NUL, empty,
// "." or ".." levels and within the file system's lengths; no place the
// rule allows is anything else; and a pair is never allowed beside a
// stored pair of the same folder.
#include <cstddef>
#include <cstdint>
#include <string>

#include "folder/module/local_names.h"
#include "fuzz_support.h"
#include "ui/sync_folder_rule.h"
#include "win/file.h"

using calvimora_fuzz::require;

namespace {

syncer::binding pair_of(const std::wstring& local) {
    return syncer::binding(syncer::binding::type_user_choice, 1, L"/Remote", local, L"",
                           syncer::sync_permission::not_set, {}, false, L"");
}

bool has_bad_level(const std::string& native) {
    size_t start = 1;
    while (start < native.size()) {
        const size_t end = std::min(native.find('/', start), native.size());
        const std::string name = native.substr(start, end - start);
        if ((name.empty() && end < native.size()) || name == "." || name == ".." ||
            name.size() > 255)
            return true;
        start = end + 1;
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    for (const std::wstring& path : calvimora_fuzz::texts_of(data, size)) {
        const std::wstring native = local_names::native_form(path);
        require(native.find(L'\\') == std::wstring::npos, "a native form holding \\");
        if (sync_folder_rule::is_binding_path(path)) {
            const std::string bytes = win_file::native_path(path);
            require(path.size() > 1 && path[0] == L'/' && path[1] != L'/', "not absolute");
            require(path.find(L'\\') == std::wstring::npos, "a binding path holding \\");
            require(bytes.size() <= 4095 && !has_bad_level(bytes), "a level no folder has");
        }
        if (sync_folder_rule::is_allowed_place(path)) {
            require(sync_folder_rule::is_binding_path(path), "a place that is no binding path");
            require(!sync_folder_rule::can_bind({pair_of(path)}, {pair_of(path + L"/")}, {}),
                    "a second pair of one folder");
        }
    }
    return 0;
}

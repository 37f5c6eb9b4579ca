#include "folder/module/local_names.h"

#include <algorithm>
#include <boost/filesystem/path.hpp>

namespace local_names {

namespace {

// The native form of a path, normalised, without a trailing separator.
boost::filesystem::path normal_native(const std::wstring& path) {
    boost::filesystem::path normal = boost::filesystem::path(native_form(path)).lexically_normal();
    if (normal.filename() == ".") normal = normal.parent_path();
    return normal;
}

bool lies_inside(const boost::filesystem::path& path, const boost::filesystem::path& base) {
    auto at = path.begin();
    for (auto level = base.begin(); level != base.end(); ++level, ++at)
        if (at == path.end() || *at != *level) return false;
    return at != path.end();
}

}  // namespace

std::wstring native_form(const std::wstring& path) {
    std::wstring native = path;
    std::replace(native.begin(), native.end(), L'\\', L'/');
    return native;
}

bool is_acceptable(const std::wstring& name) {
    if (name.find_first_not_of(L". ") == std::wstring::npos) return false;
    for (const wchar_t c : name) {
        if (c < 0x20 || c == 0x7F) return false;
        if (std::wstring_view(L"\\/:<>\"|?*").find(c) != std::wstring_view::npos) return false;
    }
    return true;
}

std::optional<std::wstring> join_inside(const std::wstring& base,
                                        const std::vector<std::wstring>& names) {
    std::wstring joined = native_form(base);
    for (const std::wstring& name : names) {
        if (!is_acceptable(name)) return std::nullopt;
        joined += L'/';
        joined += name;
    }
    if (!names.empty() && !lies_inside(normal_native(joined), normal_native(base)))
        return std::nullopt;
    return joined;
}

}  // namespace local_names

#include "syncer/tables/folder_identity.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <charconv>

#include "win/file.h"

namespace syncer {

namespace {

template <typename Number>
bool read_number(const serializer::node& source, const wchar_t* name, Number& result) {
    const auto child = source.find(name);
    if (child == source.end()) return false;
    std::string text;
    for (const wchar_t character : child->second.value) {
        if (character > 0x7F) return false;
        text.push_back(static_cast<char>(character));
    }
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), result);
    return error == std::errc() && end == text.data() + text.size() && !text.empty();
}

}  // namespace

std::optional<folder_identity> folder_identity::of(const std::wstring& path) {
    const std::string native = win_file::native_path(path);
    struct statx status {};
    if (::statx(AT_FDCWD, native.c_str(), 0, STATX_TYPE | STATX_INO | STATX_BTIME, &status) != 0)
        return std::nullopt;
    if (!S_ISDIR(status.stx_mode)) return std::nullopt;
    folder_identity identity;
    identity.device =
        (static_cast<std::uint64_t>(status.stx_dev_major) << 32) | status.stx_dev_minor;
    identity.inode = status.stx_ino;
    if ((status.stx_mask & STATX_BTIME) != 0)
        identity.created_ns = static_cast<std::int64_t>(status.stx_btime.tv_sec) * 1000000000 +
                              status.stx_btime.tv_nsec;
    return identity;
}

void folder_identity::to_node(serializer::node& target) const {
    target.set(L"device", std::to_wstring(device));
    target.set(L"inode", std::to_wstring(inode));
    target.set(L"created_ns", std::to_wstring(created_ns));
}

std::optional<folder_identity> folder_identity::from_node(const serializer::node& source) {
    folder_identity identity;
    if (!read_number(source, L"device", identity.device) ||
        !read_number(source, L"inode", identity.inode) ||
        !read_number(source, L"created_ns", identity.created_ns))
        return std::nullopt;
    return identity;
}

}  // namespace syncer

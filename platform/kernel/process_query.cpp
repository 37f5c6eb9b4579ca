// Handles of running processes and the files of their images.
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "handle_table.h"
#include "wide_text.h"
#include "win/process.h"
#include "win/psapi.h"

namespace {

class opened_process : public win_detail::kernel_object {
public:
    explicit opened_process(DWORD id) : id_(id) {}
    DWORD id() const { return id_; }

private:
    DWORD id_;
};

struct image_override {
    std::mutex lock;
    std::optional<std::wstring> path;
};

image_override& own_image() {
    static auto* o = new image_override;  // used until the process ends
    return *o;
}

// The image as the system names it: the native path with "\" separators.
std::optional<std::wstring> image_path(DWORD process_id) {
    if (process_id == GetCurrentProcessId()) {
        image_override& o = own_image();
        std::lock_guard<std::mutex> guard(o.lock);
        if (o.path) return o.path;
    }
    std::error_code error;
    const std::filesystem::path target =
        std::filesystem::read_symlink("/proc/" + std::to_string(process_id) + "/exe", error);
    if (error) return std::nullopt;
    std::wstring path = win_detail::from_utf8(target.string());
    for (wchar_t& c : path)
        if (c == L'/') c = L'\\';
    return path;
}

// Any module handle stands for the image here; this one for other processes.
const HMODULE foreign_image = reinterpret_cast<HMODULE>(0x10000);

}  // namespace

HANDLE OpenProcess(DWORD, BOOL, DWORD process_id) {
    const bool exists =
        process_id != 0 && (::kill(static_cast<pid_t>(process_id), 0) == 0 || errno == EPERM);
    if (!exists) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return win_detail::register_handle(std::make_shared<opened_process>(process_id));
}

BOOL EnumProcessModules(HANDLE process, HMODULE* modules, DWORD size, LPDWORD needed) {
    const auto object = win_detail::lookup_handle_as<opened_process>(process);
    if (!object) return FALSE;
    if (!needed || (size && !modules)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *needed = sizeof(HMODULE);
    if (size >= sizeof(HMODULE))
        modules[0] =
            object->id() == GetCurrentProcessId() ? GetModuleHandleW(nullptr) : foreign_image;
    return TRUE;
}

DWORD GetModuleFileNameExW(HANDLE process, HMODULE, LPWSTR file_name, DWORD size) {
    const auto object = win_detail::lookup_handle_as<opened_process>(process);
    if (!object) return 0;
    if (!file_name || size == 0) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    const std::optional<std::wstring> path = image_path(object->id());
    if (!path) {
        SetLastError(ERROR_ACCESS_DENIED);
        return 0;
    }
    const size_t length = std::min<size_t>(path->size(), size - 1);
    path->copy(file_name, length);
    file_name[length] = L'\0';
    if (length < path->size()) SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return static_cast<DWORD>(length);
}

namespace win_test {

void set_process_image_path(LPCWSTR path) {
    image_override& o = own_image();
    std::lock_guard<std::mutex> guard(o.lock);
    if (path)
        o.path = path;
    else
        o.path.reset();
}

}  // namespace win_test

#include "utils/filesystem.h"

#include <vector>

#include "utils/exceptions.h"
#include "utils/scoped_handle.h"
#include "win/file.h"
#include "win/handle.h"
#include "win/shell.h"

namespace utils {

namespace filesystem {

namespace {

constexpr DWORD copy_block_size = 102400;

}  // namespace

boost::filesystem::path get_special_directory(int folder) {
    WCHAR buffer[MAX_PATH] = {};
    if (SHGetFolderPathW(nullptr, folder, nullptr, SHGFP_TYPE_CURRENT, buffer) != S_OK)
        throw system_error_exception(__PRETTY_FUNCTION__, "::SHGetFolderPathW(folder)");
    return boost::filesystem::path(std::wstring(buffer));
}

boost::filesystem::path get_app_data_directory() {
    return get_special_directory(CSIDL_LOCAL_APPDATA);
}

boost::filesystem::path get_temp_directory() {
    return get_app_data_directory() / L"Temp";
}

void copy_file_ignoring_attributes(const boost::filesystem::path& source,
                                   const boost::filesystem::path& destination) {
    utils::scoped_handle in(CreateFileW(source.wstring().c_str(), FILE_READ_DATA, FILE_SHARE_READ,
                                        nullptr, OPEN_EXISTING, 0, nullptr));
    if (!in.valid())
        throw system_error_exception(__PRETTY_FUNCTION__, "Can not open source file GetLastError()",
                                     static_cast<int>(GetLastError()));
    utils::scoped_handle out(CreateFileW(destination.wstring().c_str(), GENERIC_WRITE, 0, nullptr,
                                         CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!out.valid())
        throw system_error_exception(__PRETTY_FUNCTION__,
                                     "Can not open destination file GetLastError()",
                                     static_cast<int>(GetLastError()));

    std::vector<BYTE> buffer(copy_block_size);
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(in.get(), buffer.data(), copy_block_size, &read, nullptr))
            throw system_error_exception(__PRETTY_FUNCTION__,
                                         "Can not read source file GetLastError()",
                                         static_cast<int>(GetLastError()));
        if (read == 0) break;
        DWORD written = 0;
        if (!WriteFile(out.get(), buffer.data(), read, &written, nullptr) || written != read)
            throw system_error_exception(__PRETTY_FUNCTION__,
                                         "Can not write destination file GetLastError()",
                                         static_cast<int>(GetLastError()));
        if (read < copy_block_size) break;
    }
}

}  // namespace filesystem

void shell_change_notify(const std::wstring& folder) {
    SHChangeNotify(SHCNE_UPDATEDIR, SHCNF_PATHW | SHCNF_FLUSH | SHCNF_NOTIFYRECURSIVE,
                   folder.c_str(), nullptr);
}

}  // namespace utils

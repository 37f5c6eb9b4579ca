// The per-user folders of the system and two small file operations.
#pragma once

#include <boost/filesystem/path.hpp>
#include <string>

namespace utils {

namespace filesystem {

// A special folder of the current user (a CSIDL_ value); every caller asks
// for the local application-data folder, the root of all per-user paths.
// Raises system_error_exception when the folder cannot be found.
boost::filesystem::path get_special_directory(int folder);

// The local application-data folder.
boost::filesystem::path get_app_data_directory();

// "Temp" under the local application-data folder; not created here.
boost::filesystem::path get_temp_directory();

// Copies the bytes of one file into a new plain file, replacing a plain
// destination; attributes, times and security are not copied. Raises
// system_error_exception; whatever was opened is closed first.
void copy_file_ignoring_attributes(const boost::filesystem::path& source,
                                   const boost::filesystem::path& destination);

}  // namespace filesystem

// Tells the shell that the contents of a folder (and below) changed.
void shell_change_notify(const std::wstring& folder);

}  // namespace utils

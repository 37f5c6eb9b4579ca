// Where the stand-in machine keeps its state: registry hives, the local
// application-data and profile folders and the log-on session's named
// objects. The
// environment variable CALVIMORA_MACHINE_ROOT names one folder for all of
// them; child processes inherit it. Without it, people get folders under
// their home and runtime folders.
#pragma once

#include <string>

namespace win_machine {

inline constexpr const char* root_variable = "CALVIMORA_MACHINE_ROOT";

// Each folder is created on first use; paths are native (UTF-8).
std::string registry_dir();
std::string app_data_dir();
// The user's profile folder (CSIDL_PROFILE) and the documents folder in it
// (CSIDL_PERSONAL).
std::string profile_dir();
std::string documents_dir();
std::string session_dir();
// The desktop's trash, in the freedesktop layout ("files" and "info" in
// it): "trash" under the root; without one, the user's own
// ($XDG_DATA_HOME/Trash, else ~/.local/share/Trash), so that a person
// finds what was moved there in the desktop's trash.
std::string trash_dir();

// For tests: makes a fresh, empty root in the temporary folder, points
// CALVIMORA_MACHINE_ROOT at it for this process and its children, and removes
// it again (restoring the previous value) when destroyed.
class scoped_root {
public:
    scoped_root();
    ~scoped_root();
    scoped_root(const scoped_root&) = delete;
    scoped_root& operator=(const scoped_root&) = delete;

    const std::string& path() const { return path_; }

private:
    std::string path_;
    std::string previous_;
    bool had_previous_ = false;
};

}  // namespace win_machine

#include "win/machine.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <system_error>

namespace win_machine {

namespace {

std::string home_dir() {
    const char* home = std::getenv("HOME");
    return home && *home ? home : "/tmp";
}

// The folder named by the environment, or the people's default for one area.
std::string area_dir(const char* area, const std::string& fallback) {
    std::string dir;
    if (const char* root = std::getenv(root_variable); root && *root)
        dir = std::string(root) + "/" + area;
    else
        dir = fallback;
    std::error_code ignored;
    std::filesystem::create_directories(dir, ignored);
    return dir;
}

}  // namespace

std::string registry_dir() {
    return area_dir("registry", home_dir() + "/.calvimora/registry");
}

std::string app_data_dir() {
    return area_dir("appdata", home_dir() + "/.calvimora/appdata");
}

std::string profile_dir() {
    return area_dir("profile", home_dir() + "/.calvimora/profile");
}

// Inside the profile, as a user's documents folder is.
std::string documents_dir() {
    const std::string dir = profile_dir() + "/Documents";
    std::error_code ignored;
    std::filesystem::create_directories(dir, ignored);
    return dir;
}

// Without a runtime folder the default lies in the shared /tmp, where
// another user could have made it first: it must be ours and private.
std::string private_dir(const std::string& dir) {
    mkdir(dir.c_str(), 0700);
    struct stat st {};
    if (lstat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != getuid() ||
        (st.st_mode & 077) != 0)
        throw std::runtime_error("the session folder " + dir + " is not a private folder of ours");
    return dir;
}

std::string session_dir() {
    if (const char* root = std::getenv(root_variable); root && *root)
        return area_dir("session", "");
    if (const char* xdg = std::getenv("XDG_RUNTIME_DIR"); xdg && *xdg)
        return area_dir("session", std::string(xdg) + "/calvimora-session");
    return private_dir("/tmp/calvimora-session-" + std::to_string(getuid()));
}

std::string trash_dir() {
    std::string fallback = home_dir() + "/.local/share/Trash";
    if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data)
        fallback = std::string(data) + "/Trash";
    return area_dir("trash", fallback);
}

scoped_root::scoped_root() {
    if (const char* old = std::getenv(root_variable)) {
        had_previous_ = true;
        previous_ = old;
    }
    std::string pattern =
        (std::filesystem::temp_directory_path() / "calvimora-root-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot create a machine root");
    path_ = pattern;
    setenv(root_variable, path_.c_str(), 1);
}

scoped_root::~scoped_root() {
    if (had_previous_)
        setenv(root_variable, previous_.c_str(), 1);
    else
        unsetenv(root_variable);
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

}  // namespace win_machine

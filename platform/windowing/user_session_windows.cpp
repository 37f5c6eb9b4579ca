// Publishing top-level windows to the session, finding other processes'
// windows, and posting to them.
#include "user_session_windows.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <cwctype>
#include <filesystem>
#include <map>
#include <mutex>
#include <random>
#include <system_error>
#include <thread>
#include <unordered_map>
#include <vector>

#include "kernel/journal.h"
#include "kernel/wide_text.h"
#include "win/kernel.h"
#include "win/machine.h"
#include "win/user_queue.h"

namespace win_user {

namespace {

static_assert(sizeof(HWND) == 8, "window handles carry the process id in their upper half");

constexpr uint32_t datagram_magic = 0x434D5750;  // "PWMC"

struct datagram {
    uint32_t magic;
    uint32_t message;
    uint64_t window;
    uint64_t wparam;
    int64_t lparam;
};

// This process's name in the session folder: its id and a random token, so
// a later process that gets the same id is another name.
const std::string& process_key() {
    static const std::string key = [] {
        std::random_device random;
        const uint64_t token = (static_cast<uint64_t>(random()) << 32) ^ random();
        char text[48];
        std::snprintf(text, sizeof text, "%u-%016llx", static_cast<unsigned>(getpid()),
                      static_cast<unsigned long long>(token));
        return std::string(text);
    }();
    return key;
}

// Empty when the session folder cannot be had.
std::string windows_folder() {
    try {
        const std::string folder = win_machine::session_dir() + "/windows";
        std::error_code ignored;
        std::filesystem::create_directories(folder, ignored);
        return folder;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "[windows] %s\n", e.what());
        return "";
    }
}

std::string handle_text(HWND window) {
    char text[24];
    std::snprintf(text, sizeof text, "%016llx",
                  static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(window)));
    return text;
}

std::string record_path(const std::string& folder, HWND window) {
    return folder + "/" + handle_text(window) + ".win";
}

// A socket address for a name in a folder that stays short however long
// the folder's path is: through the folder's open descriptor.
bool socket_address(int folder_fd, const std::string& name, sockaddr_un* address) {
    std::memset(address, 0, sizeof *address);
    address->sun_family = AF_UNIX;
    const int length = std::snprintf(address->sun_path, sizeof address->sun_path,
                                     "/proc/self/fd/%d/%s", folder_fd, name.c_str());
    return length > 0 && static_cast<size_t>(length) < sizeof address->sun_path;
}

// Whether the process of a key still holds its presence file.
bool process_alive(const std::string& folder, const std::string& key) {
    const int fd = ::open((folder + "/" + key + ".alive").c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool held = ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);
    return held;
}

void remove_dead_process(const std::string& folder, const std::string& key) {
    ::unlink((folder + "/" + key + ".sock").c_str());
    ::unlink((folder + "/" + key + ".alive").c_str());
}

// The record of a window file: key, process id, thread id, class, caption.
struct record {
    std::string key;
    DWORD process_id = 0;
    DWORD thread_id = 0;
    std::wstring class_name;
    std::wstring caption;
};

std::optional<record> read_record(const std::string& path) {
    const auto records = win_detail::read_journal_records(path);
    if (records.size() != 1 || records[0].size() != 5) return std::nullopt;
    const auto& r = records[0];
    record out;
    out.key = r[0];
    out.process_id = static_cast<DWORD>(std::strtoul(r[1].c_str(), nullptr, 10));
    out.thread_id = static_cast<DWORD>(std::strtoul(r[2].c_str(), nullptr, 10));
    out.class_name = win_detail::from_utf8(r[3]);
    out.caption = win_detail::from_utf8(r[4]);
    if (out.key.find('/') != std::string::npos || out.key.empty()) return std::nullopt;
    return out;
}

// The record of a live window of another process; a dead one's files are
// removed on the way.
std::optional<record> live_record(const std::string& folder, const std::string& path) {
    std::optional<record> r = read_record(path);
    if (!r || r->key == process_key()) return std::nullopt;
    if (process_alive(folder, r->key)) return r;
    ::unlink(path.c_str());
    remove_dead_process(folder, r->key);
    return std::nullopt;
}

bool write_record(const std::string& folder, HWND window, const record& r) {
    const std::string path = record_path(folder, window);
    const std::string temporary = path + "." + process_key() + ".tmp";
    ::unlink(temporary.c_str());
    win_detail::append_journal_record(
        temporary, {r.key, std::to_string(r.process_id), std::to_string(r.thread_id),
                    win_detail::to_utf8(r.class_name), win_detail::to_utf8(r.caption)});
    return ::rename(temporary.c_str(), path.c_str()) == 0;
}

// Posts what arrives on the socket into the windows' queues, until the
// socket is shut down.
void listen(int socket_fd);

// This process's presence in one session folder.
struct presence {
    int folder_fd = -1;
    int alive_fd = -1;
    int socket_fd = -1;  // read by the listener thread, which closes it
    int windows = 0;
};

struct session_state {
    std::mutex lock;
    std::map<std::string, presence> presences;  // by folder
    std::unordered_map<HWND, std::string> published;
    std::unordered_map<HWND, record> records;
};

session_state& session() {
    static auto* s = new session_state;  // used until the process ends
    return *s;
}

void close_presence_locked(const std::string& folder, presence& p) {
    ::unlinkat(p.folder_fd, (process_key() + ".sock").c_str(), 0);
    ::unlinkat(p.folder_fd, (process_key() + ".alive").c_str(), 0);
    if (p.socket_fd >= 0) ::shutdown(p.socket_fd, SHUT_RDWR);
    if (p.alive_fd >= 0) ::close(p.alive_fd);
    if (p.folder_fd >= 0) ::close(p.folder_fd);
    session().presences.erase(folder);
}

// Makes the presence file and the listening socket; false when either
// cannot be had.
bool open_presence_locked(const std::string& folder) {
    presence p;
    const std::string& key = process_key();
    p.folder_fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (p.folder_fd < 0) return false;
    // Locked before it gets its name, so nobody sees it unlocked.
    const std::string temporary = key + ".alive.tmp";
    p.alive_fd = ::openat(p.folder_fd, temporary.c_str(), O_CREAT | O_RDWR | O_CLOEXEC, 0600);
    const bool alive =
        p.alive_fd >= 0 && ::flock(p.alive_fd, LOCK_SH) == 0 &&
        ::renameat(p.folder_fd, temporary.c_str(), p.folder_fd, (key + ".alive").c_str()) == 0;
    sockaddr_un address{};
    p.socket_fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    const bool listening =
        alive && p.socket_fd >= 0 && socket_address(p.folder_fd, key + ".sock", &address) &&
        ::bind(p.socket_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    if (!listening) {
        std::fprintf(stderr, "[windows] cannot be seen from other processes in %s: %s\n",
                     folder.c_str(), std::strerror(errno));
        ::unlinkat(p.folder_fd, temporary.c_str(), 0);
        ::unlinkat(p.folder_fd, (key + ".alive").c_str(), 0);
        for (int fd : {p.socket_fd, p.alive_fd, p.folder_fd})
            if (fd >= 0) ::close(fd);
        return false;
    }
    std::thread(listen, p.socket_fd).detach();
    session().presences[folder] = p;
    return true;
}

void listen(int socket_fd) {
    for (;;) {
        datagram d{};
        const ssize_t got = ::recv(socket_fd, &d, sizeof d, 0);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        if (static_cast<size_t>(got) != sizeof d || d.magic != datagram_magic) continue;
        const auto window = reinterpret_cast<HWND>(static_cast<uintptr_t>(d.window));
        {
            std::lock_guard<std::mutex> guard(session().lock);
            if (!session().published.count(window)) continue;
        }
        PostMessageW(window, d.message, static_cast<WPARAM>(d.wparam),
                     static_cast<LPARAM>(d.lparam));
    }
    ::close(socket_fd);
}

bool same_class(const std::wstring& a, LPCWSTR b) {
    size_t i = 0;
    for (; i < a.size() && b[i]; ++i)
        if (std::towupper(a[i]) != std::towupper(b[i])) return false;
    return i == a.size() && !b[i];
}

}  // namespace

HWND make_window_handle(uintptr_t counter) {
    return reinterpret_cast<HWND>((static_cast<uintptr_t>(getpid()) << 32) |
                                  (counter & 0xFFFFFFFFu));
}

bool of_other_process(HWND window) {
    const uintptr_t value = reinterpret_cast<uintptr_t>(window);
    return window && (value >> 32) != static_cast<uintptr_t>(getpid());
}

void publish_window(HWND window, const std::wstring& class_name, const std::wstring& caption,
                    DWORD thread_id) {
    const std::string folder = windows_folder();
    if (folder.empty()) return;
    std::lock_guard<std::mutex> guard(session().lock);
    if (session().published.count(window)) return;
    if (!session().presences.count(folder) && !open_presence_locked(folder)) return;
    record r{process_key(), GetCurrentProcessId(), thread_id, class_name, caption};
    if (!write_record(folder, window, r)) return;
    ++session().presences[folder].windows;
    session().published[window] = folder;
    session().records[window] = std::move(r);
}

void republish_caption(HWND window, const std::wstring& caption) {
    std::lock_guard<std::mutex> guard(session().lock);
    const auto found = session().published.find(window);
    if (found == session().published.end()) return;
    record& r = session().records[window];
    if (r.caption == caption) return;
    r.caption = caption;
    write_record(found->second, window, r);
}

void unpublish_window(HWND window) {
    std::lock_guard<std::mutex> guard(session().lock);
    const auto found = session().published.find(window);
    if (found == session().published.end()) return;
    const std::string folder = found->second;
    session().published.erase(found);
    session().records.erase(window);
    ::unlink(record_path(folder, window).c_str());
    const auto p = session().presences.find(folder);
    if (p != session().presences.end() && --p->second.windows == 0)
        close_presence_locked(folder, p->second);
}

std::optional<remote_window> find_remote_window(LPCWSTR class_name, LPCWSTR caption) {
    if (class_name && IS_INTRESOURCE(class_name)) return std::nullopt;  // atoms are per process
    const std::string folder = windows_folder();
    DIR* listing = folder.empty() ? nullptr : ::opendir(folder.c_str());
    if (!listing) return std::nullopt;
    std::vector<std::string> names;
    while (const dirent* entry = ::readdir(listing)) {
        const std::string name = entry->d_name;
        if (name.size() == 16 + 4 && name.compare(16, 4, ".win") == 0) names.push_back(name);
    }
    ::closedir(listing);
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
        const std::optional<record> r = live_record(folder, folder + "/" + name);
        if (!r) continue;
        if (class_name && !same_class(r->class_name, class_name)) continue;
        if (caption && r->caption != caption) continue;
        const auto handle = reinterpret_cast<HWND>(
            static_cast<uintptr_t>(std::strtoull(name.substr(0, 16).c_str(), nullptr, 16)));
        return remote_window{handle, r->process_id, r->thread_id};
    }
    return std::nullopt;
}

std::optional<remote_window> remote_window_of(HWND window) {
    const std::string folder = of_other_process(window) ? windows_folder() : "";
    if (folder.empty()) return std::nullopt;
    const std::optional<record> r = live_record(folder, record_path(folder, window));
    if (!r) return std::nullopt;
    return remote_window{window, r->process_id, r->thread_id};
}

bool post_to_remote_window(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    const std::string folder = of_other_process(window) ? windows_folder() : "";
    if (folder.empty()) return false;
    const std::optional<record> r = live_record(folder, record_path(folder, window));
    if (!r) return false;
    const int folder_fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const int socket_fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    const datagram d{datagram_magic, message, reinterpret_cast<uintptr_t>(window),
                     static_cast<uint64_t>(wparam), static_cast<int64_t>(lparam)};
    const bool sent =
        folder_fd >= 0 && socket_fd >= 0 && socket_address(folder_fd, r->key + ".sock", &address) &&
        ::sendto(socket_fd, &d, sizeof d, MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&address),
                 sizeof address) == static_cast<ssize_t>(sizeof d);
    if (socket_fd >= 0) ::close(socket_fd);
    if (folder_fd >= 0) ::close(folder_fd);
    return sent;
}

}  // namespace win_user

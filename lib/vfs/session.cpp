#include "vfs/session.h"

#include "vfs/calvimora_exception.h"
#include "vfs/pc_id.h"
#include "vfs/shared_user_record.h"
#include "vfs/sibling_processes.h"
#include "win/kernel.h"

namespace vfs_calvimora {

namespace {

// The process's current session; guarded by client_lock().
client_ptr& current_session() {
    static client_ptr session;
    return session;
}

}  // namespace

std::mutex& client_lock() {
    static std::mutex lock;
    return lock;
}

bool is_logged_in(HMODULE module) {
    try {
        ensure_tray_running(module, true);
    } catch (const glue_failure& failure) {
        throw exception(L"Internal error",
                        L"Unable to check/start internal processes: " + failure.text);
    }
    if (!ensure_session_running(module, false)) {
        return false;
    }
    try {
        return !read_shared_user_record(module).user_id.empty();
    } catch (const vfs::exception&) {
        return false;
    } catch (const std::exception&) {
        return false;
    }
}

void login(HMODULE module, const std::wstring& user_name, const std::wstring& password) {
    if (is_logged_in(module)) {
        throw exception(L"Login failed", L"Already logged in");
    }
    std::lock_guard<std::mutex> hold(client_lock());
    const client_ptr session = client::log_in(user_name, password, get_pc_id());
    write_shared_user_record(module, session->get_user_info());
    current_session() = session;
}

client_ptr get_client(HMODULE module) {
    if (!is_logged_in(module)) {
        throw exception(L"Get connection from cache failed", L"Not logged in");
    }
    std::lock_guard<std::mutex> hold(client_lock());
    const vfs::user_info record = read_shared_user_record(module);
    client_ptr& session = current_session();
    if (!session || !(session->get_user_info() == record)) {
        session = client::restore_session(record);
    }
    return session;
}

vfs::user_info get_user_info(HMODULE module) {
    if (!is_logged_in(module)) {
        throw exception(L"Get user_info failed", L"Not logged in");
    }
    return read_shared_user_record(module);
}

void logoff(HMODULE module) {
    if (!is_logged_in(module)) {
        throw exception(L"Logoff failed", L"Not logged in");
    }
    std::lock_guard<std::mutex> hold(client_lock());
    const HANDLE event = OpenEventW(EVENT_ALL_ACCESS, FALSE, logoff_event_name);
    if (event == nullptr) {
        throw exception(L"Session manager failed", L"Unable to connect to session manager");
    }
    const BOOL signalled = SetEvent(event);
    CloseHandle(event);
    if (!signalled) {
        throw exception(L"Session manager failed",
                        L"Unable to signal disconnection to session manager");
    }
    current_session().reset();
}

}  // namespace vfs_calvimora

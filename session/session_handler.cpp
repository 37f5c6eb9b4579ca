#include "session_handler.h"

#include <cstring>
#include <optional>
#include <string>

#include "win/com.h"
#include "win/kernel.h"
#include "win/registry.h"
#include "win/user.h"

namespace session {

namespace {

// A failure of start-up, shown to the user as it stands.
struct startup_error {
    std::wstring text;
};

// Closes a kernel object handle when the handler ends, on every path.
class kernel_handle {
public:
    kernel_handle() = default;
    ~kernel_handle() {
        if (handle_) CloseHandle(handle_);
    }
    kernel_handle(const kernel_handle&) = delete;
    kernel_handle& operator=(const kernel_handle&) = delete;

    // Takes the result of a create call; remembers whether the object existed.
    void reset(HANDLE handle) {
        handle_ = handle;
        existed_ = handle && GetLastError() == ERROR_ALREADY_EXISTS;
    }
    HANDLE get() const { return handle_; }
    bool existed() const { return existed_; }

private:
    HANDLE handle_ = nullptr;
    bool existed_ = false;
};

// Unmaps a view when it goes out of scope.
class mapped_view {
public:
    mapped_view(HANDLE mapping, DWORD access, std::size_t size)
        : view_(MapViewOfFile(mapping, access, 0, 0, size)) {
        if (!view_) throw startup_error{L"Error mapping view"};
    }
    ~mapped_view() { UnmapViewOfFile(view_); }
    mapped_view(const mapped_view&) = delete;
    mapped_view& operator=(const mapped_view&) = delete;

    void* get() const { return view_; }

private:
    void* view_;
};

// Balances a successful CoInitialize.
class com_scope {
public:
    com_scope() {
        if (FAILED(CoInitialize(nullptr))) throw startup_error{L"Com initialize failed"};
    }
    ~com_scope() { CoUninitialize(); }
    com_scope(const com_scope&) = delete;
    com_scope& operator=(const com_scope&) = delete;
};

// The objects of the session, released in reverse order of declaration.
struct session_objects {
    kernel_handle login_dialog_event;
    kernel_handle sync_thread_event;
    kernel_handle log_off_event;
    kernel_handle sfd_access_mutex;
    kernel_handle download_upload_mutex;
    kernel_handle user_record_mutex;
    kernel_handle user_record_mapping;
    kernel_handle save_as_mapping;
};

// Each create call opens an object of that name when it exists; the last
// error then tells so, and is cleared first so that it tells nothing else.
void create_mapping(kernel_handle& handle, const wchar_t* name, std::size_t size,
                    const wchar_t* error) {
    SetLastError(ERROR_SUCCESS);
    handle.reset(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                    static_cast<DWORD>(size), name));
    if (!handle.get()) throw startup_error{error};
}

void create_mutex(kernel_handle& handle, const wchar_t* name) {
    SetLastError(ERROR_SUCCESS);
    handle.reset(CreateMutexW(nullptr, FALSE, name));
    if (!handle.get()) throw startup_error{L"Error creating mutex"};
}

void create_event(kernel_handle& handle, const wchar_t* name, BOOL manual_reset = FALSE) {
    SetLastError(ERROR_SUCCESS);
    handle.reset(CreateEventW(nullptr, manual_reset, FALSE, name));
    if (!handle.get()) throw startup_error{L"Error creating event"};
}

// The empty list of files saved through Save-As dialogs, as UTF-16 text with
// its terminating zero.
std::u16string empty_save_as_text() {
    const std::u16string element = u"SaveAsFiles";
    return u"<" + element + u"></" + element + u">" + std::u16string(1, u'\0');
}

// Creates every object of the session. The log-off event comes last: the
// other processes take its existence as the sign that the session is ready,
// so they never find a mapping not yet made or filled. Returns false, having
// changed nothing, when another session handler already owns the objects (its
// log-off event exists). A mapping that already existed keeps its content, so
// that a record written by a logged-in process is never wiped.
bool create_objects(session_objects& objects) {
    create_mapping(objects.user_record_mapping, user_record_mapping_name, user_record_mapping_size,
                   L"Error creating mapping");
    if (!objects.user_record_mapping.existed()) {
        mapped_view view(objects.user_record_mapping.get(), FILE_MAP_WRITE,
                         user_record_mapping_size);
        std::memset(view.get(), 0, user_record_mapping_size);
    }
    create_mutex(objects.user_record_mutex, user_record_mutex_name);
    create_mutex(objects.download_upload_mutex, download_upload_mutex_name);
    create_mutex(objects.sfd_access_mutex, sfd_access_mutex_name);
    create_event(objects.sync_thread_event, sync_thread_event_name);
    // Opened as it is when a tray program made it: a mark set stays set.
    create_event(objects.login_dialog_event, login_dialog_event_name, TRUE);

    create_mapping(objects.save_as_mapping, save_as_mapping_name, save_as_mapping_size,
                   L"Error creating file mapping for save as functionality");
    if (!objects.save_as_mapping.existed()) {
        mapped_view view(objects.save_as_mapping.get(), FILE_MAP_ALL_ACCESS, save_as_mapping_size);
        const std::u16string text = empty_save_as_text();
        std::memcpy(view.get(), text.data(), text.size() * sizeof(char16_t));
    }

    create_event(objects.log_off_event, log_off_event_name);
    return !objects.log_off_event.existed();
}

void show_error(const std::wstring& text) {
    MessageBoxW(nullptr, text.c_str(), error_caption, MB_SETFOREGROUND | MB_ICONERROR);
}

}  // namespace

void ClearAutoLogin() {
    HKEY key = nullptr;
    if (RegCreateKeyW(HKEY_CURRENT_USER, L"SOFTWARE\\Calvimora", &key) != ERROR_SUCCESS) return;
    const DWORD off = 0;
    RegSetValueExW(key, L"AutoLogin", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&off),
                   sizeof off);
    RegCloseKey(key);
}

int SessionHandlerMain() {
    // Declared in this order so that the objects are closed before COM ends.
    std::optional<com_scope> com;
    session_objects objects;
    try {
        com.emplace();
        if (!create_objects(objects)) return 0;
    } catch (const startup_error& error) {
        show_error(error.text);
        return 0;
    } catch (...) {
        show_error(L"Unknown error in _tWinMain()");
        return 0;
    }
    if (WaitForSingleObject(objects.log_off_event.get(), INFINITE) == WAIT_OBJECT_0)
        ClearAutoLogin();
    return 0;
}

}  // namespace session

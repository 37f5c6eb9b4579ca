#include "vfs/shared_user_record.h"

#include <cstring>

#include "utils/scoped_handle.h"
#include "vfs/calvimora_exception.h"
#include "vfs/sibling_processes.h"
#include "win/kernel.h"

namespace vfs_calvimora {

namespace {

const wchar_t* const record_mapping_name = L"Local\\Calvimora_MMF_UID";
const wchar_t* const record_mutex_name = L"Local\\Calvimora_Mutex_UID";
constexpr SIZE_T record_view_bytes = 1024;

bool is_scalar_value(wchar_t character) {
    return character >= 0 && character <= 0x10FFFF && !(character >= 0xD800 && character <= 0xDFFF);
}

// Writes the text as UTF-16 into a field of size units, leaving at least
// one NUL; a character that no longer fits whole ends the text.
template <std::size_t size>
void put_field(char16_t (&field)[size], const std::wstring& text) {
    std::size_t used = 0;
    for (wchar_t character : text) {
        if (!is_scalar_value(character)) {
            character = 0xFFFD;
        }
        const auto code = static_cast<char32_t>(character);
        const std::size_t units = code < 0x10000 ? 1 : 2;
        if (used + units > size - 1) {
            break;
        }
        if (units == 1) {
            field[used++] = static_cast<char16_t>(code);
        } else {
            field[used++] = static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10));
            field[used++] = static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
        }
    }
}

// Reads a field up to its first NUL; a unit of a broken surrogate pair
// reads as U+FFFD.
template <std::size_t size>
std::wstring get_field(const char16_t (&field)[size]) {
    std::wstring text;
    for (std::size_t at = 0; at < size && field[at] != 0; ++at) {
        const char16_t unit = field[at];
        if (unit >= 0xD800 && unit <= 0xDBFF && at + 1 < size && field[at + 1] >= 0xDC00 &&
            field[at + 1] <= 0xDFFF) {
            text +=
                static_cast<wchar_t>(0x10000 + ((unit - 0xD800) << 10) + (field[at + 1] - 0xDC00));
            ++at;
        } else if (unit >= 0xD800 && unit <= 0xDFFF) {
            text += L'\xFFFD';
        } else {
            text += static_cast<wchar_t>(unit);
        }
    }
    return text;
}

class mutex_hold {
public:
    // A mutex whose previous owner died is still taken.
    explicit mutex_hold(HANDLE mutex) : mutex_(mutex) {
        const DWORD result = WaitForSingleObject(mutex_, INFINITE);
        if (result != WAIT_OBJECT_0 && result != WAIT_ABANDONED) {
            throw glue_failure{L"Error opening mutex"};
        }
    }
    ~mutex_hold() { ReleaseMutex(mutex_); }
    mutex_hold(const mutex_hold&) = delete;
    mutex_hold& operator=(const mutex_hold&) = delete;

private:
    HANDLE mutex_;
};

class view_hold {
public:
    view_hold(HANDLE mapping, DWORD access)
        : view_(MapViewOfFile(mapping, access, 0, 0, record_view_bytes)) {}
    ~view_hold() {
        if (view_ != nullptr) {
            UnmapViewOfFile(view_);
        }
    }
    view_hold(const view_hold&) = delete;
    view_hold& operator=(const view_hold&) = delete;

    void* get() const { return view_; }

private:
    void* view_;
};

// Copies the 544 bytes of the record between the mapping and the caller
// under the record's mutex; write tells the direction.
void copy_record(HMODULE module, shared_user_record& record, bool write) {
    ensure_session_running(module, true);
    const utils::scoped_handle mapping(
        OpenFileMappingW(write ? FILE_MAP_WRITE : FILE_MAP_READ, FALSE, record_mapping_name));
    if (mapping.get() == nullptr) {
        throw glue_failure{L"Error opening mapping"};
    }
    const utils::scoped_handle mutex(
        OpenMutexW(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, record_mutex_name));
    if (mutex.get() == nullptr) {
        throw glue_failure{L"Error opening mutex"};
    }
    const mutex_hold hold(mutex.get());
    const view_hold view(mapping.get(), write ? FILE_MAP_WRITE : FILE_MAP_READ);
    if (view.get() == nullptr) {
        throw glue_failure{L"Error mapping view"};
    }
    if (write) {
        std::memcpy(view.get(), &record, sizeof(record));
    } else {
        std::memcpy(&record, view.get(), sizeof(record));
    }
}

[[noreturn]] void record_failure(const glue_failure& failure) {
    throw exception(L"Internal error", L"Unable to store UserID: " + failure.text);
}

}  // namespace

shared_user_record pack_user_record(const vfs::user_info& user) {
    shared_user_record record = {};
    put_field(record.user_id, user.user_id);
    put_field(record.access_id, user.access_id);
    put_field(record.user_name, user.user_name);
    put_field(record.language, user.language);
    put_field(record.level, user.level);
    return record;
}

vfs::user_info unpack_user_record(const shared_user_record& record) {
    return vfs::user_info{get_field(record.user_id), get_field(record.access_id),
                          get_field(record.user_name), get_field(record.language),
                          get_field(record.level)};
}

vfs::user_info read_shared_user_record(HMODULE module) {
    shared_user_record record = {};
    try {
        copy_record(module, record, false);
    } catch (const glue_failure& failure) {
        record_failure(failure);
    }
    return unpack_user_record(record);
}

void write_shared_user_record(HMODULE module, const vfs::user_info& user) {
    shared_user_record record = pack_user_record(user);
    try {
        copy_record(module, record, true);
    } catch (const glue_failure& failure) {
        record_failure(failure);
    }
}

}  // namespace vfs_calvimora

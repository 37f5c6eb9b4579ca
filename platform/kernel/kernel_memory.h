// The memory behind mutexes, events and mappings. Every object has a header
// page (its kind, the size of its data, then its state: a process-shared
// mutex or an event's futex words) followed by the data of a mapping.
//
// A named object is a file in the session folder, mapped once per process
// however many handles and views the process holds. While the process holds
// it, it keeps a shared flock on the file; the kernel drops that lock when
// the process ends in any way, so a file that nobody holds locked belongs to
// no live process: it is stale, opening it fails and creating it replaces
// it. Create, open and the last close of a process run under an exclusive
// lock of the namespace, so a creator never meets a half-made object and a
// closer never removes a file that someone is just opening; an object the
// process holds already is handed out without that lock, since it lives as
// long as the process holds it. After the process's last handle an object
// that others still hold stays mapped (without the process's hold), and
// opening it again asks its file lock whether it still lives.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

#include "win/base.h"

namespace win_kernel {

enum class object_kind : uint32_t { mutex = 1, event = 2, mapping = 3 };

class object_memory {
public:
    static constexpr size_t header_size = 4096;
    static constexpr size_t state_offset = 64;
    static constexpr size_t state_size = header_size - state_offset;

    virtual ~object_memory();
    object_memory(const object_memory&) = delete;
    object_memory& operator=(const object_memory&) = delete;

    object_kind kind() const;
    void* state() const { return base_ + state_offset; }
    std::byte* data() const { return base_ + header_size; }
    uint64_t data_size() const { return length_ - header_size; }

protected:
    object_memory(std::byte* base, size_t length) : base_(base), length_(length) {}
    std::byte* base() const { return base_; }
    size_t length() const { return length_; }

private:
    std::byte* base_;
    size_t length_;
};

// Sets up the state of a new object (in the header page, zero-filled).
using state_initializer = std::function<void(void* state)>;

struct created_object {
    std::shared_ptr<object_memory> memory;  // null on failure, with the last error set
    bool existed = false;
};

// Opens the live object of that name, or creates it with data_size bytes of
// zeroed data and an initialised state when there is none. A live object of
// another kind fails with ERROR_INVALID_HANDLE. A null or empty name makes
// an object private to the process.
created_object create_object(LPCWSTR name, object_kind kind, uint64_t data_size,
                             const state_initializer& initialize);

// The live object of that name, or nullptr with ERROR_FILE_NOT_FOUND
// (ERROR_INVALID_HANDLE when it is of another kind, ERROR_INVALID_PARAMETER
// without a name).
std::shared_ptr<object_memory> open_object(LPCWSTR name, object_kind kind);

}  // namespace win_kernel

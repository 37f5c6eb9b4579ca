// A kernel handle closed when its owner goes, on every path. Create calls
// give null (objects) or INVALID_HANDLE_VALUE (files) when they fail; both
// count as no handle.
#pragma once

#include "win/handle.h"

namespace utils {

class scoped_handle {
public:
    explicit scoped_handle(HANDLE handle) : handle_(handle) {}
    ~scoped_handle() {
        if (valid()) CloseHandle(handle_);
    }
    scoped_handle(const scoped_handle&) = delete;
    scoped_handle& operator=(const scoped_handle&) = delete;

    bool valid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return handle_; }

private:
    HANDLE handle_;
};

}  // namespace utils

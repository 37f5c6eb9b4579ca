// The boundary of the extension's COM methods: nothing may be thrown into
// the host, so every exception becomes an HRESULT here.
#pragma once

#include <new>
#include <stdexcept>

#include "win/base.h"

namespace shell_com {

// The call's result; E_OUTOFMEMORY when memory ran out, E_INVALIDARG for
// an argument found malformed (an item id list that is not this folder's),
// E_FAIL for anything else.
template <typename Call>
HRESULT guarded(Call call) noexcept {
    try {
        return call();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (const std::invalid_argument&) {
        return E_INVALIDARG;
    } catch (...) {
        return E_FAIL;
    }
}

}  // namespace shell_com

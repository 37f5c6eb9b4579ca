// COM library initialisation, counted per thread.
#include "win/com.h"

#include <atomic>

#include "com_internal.h"

namespace {

struct thread_com_state {
    int count = 0;
    DWORD model = COINIT_APARTMENTTHREADED;
};

thread_local thread_com_state com_state;

bool apartment_threaded(DWORD model) {
    return (model & COINIT_APARTMENTTHREADED) != 0;
}

// Set once, while the library loads; read by every last CoUninitialize.
std::atomic<win_com::apartment_end>& apartment_end_hook() {
    static std::atomic<win_com::apartment_end> end{nullptr};
    return end;
}

}  // namespace

HRESULT CoInitializeEx(LPVOID reserved, DWORD model) {
    if (reserved) return E_INVALIDARG;
    if (com_state.count > 0) {
        if (apartment_threaded(com_state.model) != apartment_threaded(model))
            return RPC_E_CHANGED_MODE;
        ++com_state.count;
        return S_FALSE;
    }
    com_state.count = 1;
    com_state.model = model;
    return S_OK;
}

HRESULT CoInitialize(LPVOID reserved) {
    return CoInitializeEx(reserved, COINIT_APARTMENTTHREADED);
}

void CoUninitialize() {
    if (com_state.count == 0) return;
    if (--com_state.count != 0 || !apartment_threaded(com_state.model)) return;
    if (const win_com::apartment_end end = apartment_end_hook().load()) end();
}

namespace win_com {

void set_apartment_end(apartment_end end) {
    apartment_end_hook().store(end);
}

bool thread_initialized() {
    return com_state.count > 0;
}

int thread_initialize_count() {
    return com_state.count;
}

bool thread_apartment_threaded() {
    return apartment_threaded(com_state.model);
}

}  // namespace win_com

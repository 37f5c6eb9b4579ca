// COM library initialisation, counted per thread.
#include "win/com.h"
#include "com_internal.h"
#include "shell/com_apartment.h"

#include "win/test_journal.h"

namespace {

struct thread_com_state {
    int count = 0;
    DWORD model = COINIT_APARTMENTTHREADED;
};

thread_local thread_com_state com_state;

bool apartment_threaded(DWORD model) {
    return (model & COINIT_APARTMENTTHREADED) != 0;
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
    if (--com_state.count == 0 && apartment_threaded(com_state.model)) win_com::end_apartment();
}

namespace win_com {

bool thread_initialized() {
    return com_state.count > 0;
}

bool thread_apartment_threaded() {
    return apartment_threaded(com_state.model);
}

}  // namespace win_com

namespace win_test {

int com_initialize_count() {
    return com_state.count;
}

}  // namespace win_test

#include "folder/stream_binding.h"

HRESULT create_file_stream(const vfs::file_ptr&, REFIID, void** object) {
    *object = nullptr;
    return E_NOTIMPL;
}

#include "folder/folder_object/stream_binding.h"

#include "folder/transfer/stream_impl.h"

HRESULT create_file_stream(const vfs::file_ptr& file, REFIID iid, void** object) {
    *object = nullptr;
    CComObject<CStreamImpl>* stream = nullptr;
    HRESULT result = CComObject<CStreamImpl>::CreateInstance(&stream);
    if (FAILED(result)) return result;
    stream->AddRef();
    result = stream->Init(file);
    if (SUCCEEDED(result)) result = stream->QueryInterface(iid, object);
    stream->Release();
    return result;
}

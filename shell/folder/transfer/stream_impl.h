// The extension's stream over one remote file: Explorer and other programs
// read a file of the virtual folder through it (dragging out, copying,
// "FileContents", binding an item to IStream) and write into one.
//
// Failures of the remote file are shown in system-modal boxes that offer a
// retry of the failed step; a caller that wants no boxes switches them off
// with SetSilent and reads the last failure with GetError.
#pragma once

#include <string>

#include "utils/class_ids.h"
#include "vfs/file.h"
#include "win/atl_base.h"
#include "win/com.h"

// The type library's own interface of the stream.
struct IStreamImpl : IUnknown {
    // Boxes off for the rest of the stream's life. Every failure is kept
    // for GetError, shown or not.
    virtual HRESULT STDMETHODCALLTYPE SetSilent() = 0;
    // The last failure's title and text, each cut to its buffer and always
    // terminated; E_FAIL when none is kept, E_INVALIDARG for a missing or
    // empty buffer.
    virtual HRESULT STDMETHODCALLTYPE GetError(LPWSTR message, LPWSTR description,
                                               int message_length, int description_length) = 0;
};
WIN_COM_INTERFACE_TRAITS(IStreamImpl, IUnknown, utils::iid_stream_impl);

class CStreamImpl : public CComObjectRootEx<CComSingleThreadModel>,
                    public IStreamImpl,
                    public IStream {
public:
    using com_map = win_atl::com_map<IStreamImpl, IStream>;

    // The string table entries of the stream's boxes.
    enum message_id : UINT {
        IDS_STREAM_ERROR = 1400,  // the caption
        IDS_CANT_OPEN = 1401,
        IDS_CANT_READ = 1402,
        IDS_CANT_WRITE = 1403,
        IDS_CANT_SEEK = 1404,
        IDS_CANT_CLOSE = 1405,
    };

    CStreamImpl();

    // Keeps the file and opens it for reading.
    HRESULT Init(vfs::file_ptr file);

    // Closes a file still open; a failure is reported as any other.
    void FinalRelease();

    HRESULT STDMETHODCALLTYPE SetSilent() override;
    HRESULT STDMETHODCALLTYPE GetError(LPWSTR message, LPWSTR description, int message_length,
                                       int description_length) override;

    HRESULT STDMETHODCALLTYPE Read(void* buffer, ULONG size, ULONG* read) override;
    // The first write switches the file to writing: it is closed and opened
    // again for writing with overwrite, which empties it. That is only done
    // at position 0; a first write anywhere else is refused with
    // STG_E_ACCESSDENIED, since the bytes before it would be lost. The
    // reopening announces the file's present size; the size the service
    // keeps is the count of bytes written when the file is closed.
    HRESULT STDMETHODCALLTYPE Write(const void* buffer, ULONG size, ULONG* written) override;
    HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER move, DWORD origin,
                                   ULARGE_INTEGER* position) override;
    HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER size) override;
    HRESULT STDMETHODCALLTYPE CopyTo(IStream* target, ULARGE_INTEGER size, ULARGE_INTEGER* read,
                                     ULARGE_INTEGER* written) override;
    // Ends a write: the file is closed, so that the upload is committed, and
    // a failure of that is returned. Nothing to do for a file being read.
    HRESULT STDMETHODCALLTYPE Commit(DWORD flags) override;
    HRESULT STDMETHODCALLTYPE Revert() override;
    HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER offset, ULARGE_INTEGER size,
                                         DWORD type) override;
    HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER offset, ULARGE_INTEGER size,
                                           DWORD type) override;
    // The whole record is cleared, then its type and size are filled. No
    // name is given whatever the flags ask (pwcsName stays null), so no
    // caller has task memory to free.
    HRESULT STDMETHODCALLTYPE Stat(STATSTG* statistics, DWORD flags) override;
    HRESULT STDMETHODCALLTYPE Clone(IStream** copy) override;

private:
    template <typename Step>
    HRESULT run_step(UINT message, Step step);
    HRESULT switch_to_writing();
    HRESULT close_file();
    void keep_failure(const std::wstring& title, const std::wstring& text);
    std::wstring file_name();

    vfs::file_ptr m_file;
    int m_bShowErrors = 1;
    std::wstring m_strErrorMessage;
    std::wstring m_strErrorDescription;
};

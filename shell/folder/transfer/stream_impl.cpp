#include "folder/transfer/stream_impl.h"

#include <algorithm>
#include <climits>
#include <mutex>
#include <new>

#include "folder/module/site_message_box.h"
#include "vfs/exceptions.h"
#include "win/process.h"
#include "win/user.h"

namespace {

void register_stream_strings() {
    static std::once_flag once;
    std::call_once(once, [] {
        win_dialogs::register_strings(win_module::this_module(),
                                      {
                                          {CStreamImpl::IDS_STREAM_ERROR, L"Error"},
                                          {CStreamImpl::IDS_CANT_OPEN, L"Can't open '%s': %s"},
                                          {CStreamImpl::IDS_CANT_READ, L"Can't read from '%s': %s"},
                                          {CStreamImpl::IDS_CANT_WRITE, L"Can't write to '%s': %s"},
                                          {CStreamImpl::IDS_CANT_SEEK, L"Can't seek '%s': %s"},
                                          {CStreamImpl::IDS_CANT_CLOSE, L"Can't close '%s': %s"},
                                      });
    });
}

// The remote file takes lengths as int.
int file_length(ULONG size) {
    return static_cast<int>(std::min<ULONG>(size, INT_MAX));
}

// At most length - 1 characters and a terminator; the rest zero.
void copy_terminated(LPWSTR buffer, int length, const std::wstring& text) {
    const size_t count = std::min(text.size(), static_cast<size_t>(length) - 1);
    std::copy_n(text.begin(), count, buffer);
    std::fill(buffer + count, buffer + length, L'\0');
}

}  // namespace

CStreamImpl::CStreamImpl() {
    register_stream_strings();
}

// Runs the step until it succeeds; a failure of the remote file is kept and,
// while boxes are on, shown with the message: Retry runs the step again,
// Cancel gives up with E_FAIL.
template <typename Step>
HRESULT CStreamImpl::run_step(UINT message, Step step) {
    for (;;) {
        try {
            step();
            return S_OK;
        } catch (const vfs::exception& failure) {
            keep_failure(failure.get_title(), failure.get_text());
            if (!m_bShowErrors) return E_FAIL;
            const int answer = shell_utils::MessageBoxFormat2(
                nullptr, nullptr, IDS_STREAM_ERROR, message, file_name().c_str(),
                failure.get_text().c_str(), MB_RETRYCANCEL | MB_ICONERROR | MB_SYSTEMMODAL);
            if (answer != IDRETRY) return E_FAIL;
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        } catch (...) {
            return E_FAIL;
        }
    }
}

void CStreamImpl::keep_failure(const std::wstring& title, const std::wstring& text) {
    m_strErrorMessage = title;
    m_strErrorDescription = text;
}

std::wstring CStreamImpl::file_name() {
    try {
        return m_file ? m_file->get_name() : std::wstring();
    } catch (...) {
        return std::wstring();
    }
}

HRESULT CStreamImpl::Init(vfs::file_ptr file) {
    if (!file) return E_INVALIDARG;
    if (m_file) return E_UNEXPECTED;
    m_file = std::move(file);
    return run_step(IDS_CANT_OPEN, [this] { m_file->open(vfs::modeRead, 0); });
}

void CStreamImpl::FinalRelease() {
    if (!m_file) return;
    int mode = 0;
    if (SUCCEEDED(run_step(IDS_CANT_CLOSE, [&] { mode = m_file->get_mode(); })) && mode != 0)
        close_file();
}

HRESULT CStreamImpl::close_file() {
    return run_step(IDS_CANT_CLOSE, [this] { m_file->close(-1); });
}

HRESULT CStreamImpl::SetSilent() {
    m_bShowErrors = 0;
    return S_OK;
}

HRESULT CStreamImpl::GetError(LPWSTR message, LPWSTR description, int message_length,
                              int description_length) {
    if (m_strErrorMessage.empty() || m_strErrorDescription.empty()) return E_FAIL;
    if (!message || !description || message_length <= 0 || description_length <= 0)
        return E_INVALIDARG;
    copy_terminated(message, message_length, m_strErrorMessage);
    copy_terminated(description, description_length, m_strErrorDescription);
    return S_OK;
}

HRESULT CStreamImpl::Read(void* buffer, ULONG size, ULONG* read) {
    if (read) *read = 0;
    if (!buffer) return E_POINTER;
    if (!m_file) return E_FAIL;
    bool at_end = false;
    int count = 0;
    const HRESULT result = run_step(IDS_CANT_READ, [&] {
        at_end = m_file->is_eof();
        if (!at_end) count = m_file->read(buffer, file_length(size));
    });
    if (FAILED(result)) return result;
    if (at_end) return S_FALSE;
    if (read) *read = static_cast<ULONG>(std::max(count, 0));
    return S_OK;
}

HRESULT CStreamImpl::switch_to_writing() {
    int mode = 0;
    std::int64_t position = 0;
    std::int64_t size = 0;
    HRESULT result = run_step(IDS_CANT_WRITE, [&] {
        mode = m_file->get_mode();
        position = mode != 0 ? m_file->get_pos() : 0;
        size = m_file->get_size();
    });
    if (FAILED(result) || (mode & vfs::modeWrite)) return result;
    if (position != 0) return STG_E_ACCESSDENIED;
    if (mode != 0) {
        result = run_step(IDS_CANT_WRITE, [this] { m_file->close(-1); });
        if (FAILED(result)) return result;
    }
    return run_step(IDS_CANT_WRITE, [&] {
        m_file->open(vfs::modeWrite | vfs::modeOverwrite, std::max<std::int64_t>(size, 0));
    });
}

HRESULT CStreamImpl::Write(const void* buffer, ULONG size, ULONG* written) {
    if (written) *written = 0;
    if (!buffer) return E_POINTER;
    if (!m_file) return E_FAIL;
    HRESULT result = switch_to_writing();
    if (FAILED(result)) return result;
    int count = 0;
    result = run_step(IDS_CANT_WRITE, [&] { count = m_file->write(buffer, file_length(size)); });
    if (FAILED(result)) return result;
    if (written) *written = static_cast<ULONG>(std::max(count, 0));
    return S_OK;
}

HRESULT CStreamImpl::Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* position) {
    if (position) position->QuadPart = 0;
    if (!m_file) return E_FAIL;
    int file_origin = 0;
    switch (origin) {
        case STREAM_SEEK_SET:
            file_origin = vfs::seek_begin;
            break;
        case STREAM_SEEK_CUR:
            file_origin = vfs::seek_current;
            break;
        case STREAM_SEEK_END:
            file_origin = vfs::seek_end;
            break;
        default:
            return STG_E_INVALIDFUNCTION;
    }
    // A seek never asks: its failure is kept, as when silent.
    try {
        m_file->seek(move.QuadPart, file_origin);
        if (position) position->QuadPart = static_cast<ULONGLONG>(m_file->get_pos());
        return S_OK;
    } catch (const vfs::exception& failure) {
        keep_failure(failure.get_title(), failure.get_text());
        return E_FAIL;
    } catch (...) {
        return E_FAIL;
    }
}

HRESULT CStreamImpl::CopyTo(IStream* target, ULARGE_INTEGER size, ULARGE_INTEGER* read,
                            ULARGE_INTEGER* written) {
    if (!target) return E_POINTER;
    if (read) read->QuadPart = 0;
    if (written) written->QuadPart = 0;
    BYTE block[4096];
    ULONGLONG remaining = size.QuadPart;
    ULONGLONG total_read = 0;
    ULONGLONG total_written = 0;
    HRESULT result = S_OK;
    while (remaining > 0) {
        ULONG got = 0;
        const ULONG wanted = static_cast<ULONG>(std::min<ULONGLONG>(sizeof block, remaining));
        const HRESULT read_result = Read(block, wanted, &got);
        if (FAILED(read_result)) {
            result = read_result;
            break;
        }
        // The end of the file, also when a read brings nothing without
        // saying so.
        if (read_result == S_FALSE || got == 0) break;
        total_read += got;
        ULONG put = 0;
        const HRESULT write_result = target->Write(block, got, &put);
        total_written += put;
        if (FAILED(write_result)) {
            result = write_result;
            break;
        }
        if (put < got) {
            result = STG_E_MEDIUMFULL;
            break;
        }
        remaining -= put;
    }
    if (read) read->QuadPart = total_read;
    if (written) written->QuadPart = total_written;
    return result;
}

HRESULT CStreamImpl::Commit(DWORD) {
    if (!m_file) return E_FAIL;
    int mode = 0;
    const HRESULT result = run_step(IDS_CANT_CLOSE, [&] { mode = m_file->get_mode(); });
    if (FAILED(result) || !(mode & vfs::modeWrite)) return result;
    return close_file();
}

HRESULT CStreamImpl::Stat(STATSTG* statistics, DWORD) {
    if (!statistics) return E_POINTER;
    *statistics = STATSTG{};
    if (!m_file) return E_FAIL;
    std::int64_t size = 0;
    const HRESULT result = run_step(IDS_CANT_SEEK, [&] { size = m_file->get_size(); });
    if (FAILED(result)) return result;
    statistics->type = STGTY_STREAM;
    statistics->cbSize.QuadPart = static_cast<ULONGLONG>(std::max<std::int64_t>(size, 0));
    return S_OK;
}

HRESULT CStreamImpl::SetSize(ULARGE_INTEGER) {
    return E_NOTIMPL;
}

HRESULT CStreamImpl::Revert() {
    return E_NOTIMPL;
}

HRESULT CStreamImpl::LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) {
    return E_NOTIMPL;
}

HRESULT CStreamImpl::UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) {
    return E_NOTIMPL;
}

HRESULT CStreamImpl::Clone(IStream** copy) {
    if (copy) *copy = nullptr;
    return E_NOTIMPL;
}

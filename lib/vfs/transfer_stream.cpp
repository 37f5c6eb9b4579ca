#include "vfs/transfer_stream.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <new>

#include "utils/time_scale.h"
#include "vfs/calvimora_exception.h"
#include "vfs/curl_descriptor.h"
#include "vfs/tls_verification.h"
#include "win/handle.h"

namespace vfs_calvimora {

namespace {

// A transfer fails when no byte moves for this long and no hand-over ends
// (counted from the start before the first): the time the caller spends
// with a buffer never counts.
constexpr std::chrono::seconds stall_timeout(60);

// How far behind the bytes libcurl has taken a resumed upload may start:
// what the network and the server may have accepted without storing it.
constexpr std::int64_t replay_window = std::int64_t{16} << 20;

const wchar_t* const connection_text =
    L"Please, check your internet connection or firewall settings";
const wchar_t* const resume_refused_text =
    L"The upload cannot be resumed: the server holds a part of it that is no longer at hand";

std::int64_t now_ms() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::int64_t stall_limit_ms() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(utils::scaled(stall_timeout))
        .count();
}

bool is_hex_digit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

// What libcurl asks an upload for at a time.
constexpr long upload_buffer_size = 256 * 1024;

}  // namespace

std::string transfer_url(const std::string& server, const std::string& path) {
    static const char hex[] = "0123456789ABCDEF";
    std::string url = server;
    for (std::size_t at = 0; at < path.size(); ++at) {
        const auto c = static_cast<unsigned char>(path[at]);
        const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                           (c >= '0' && c <= '9') || std::strchr("/-._~", c) != nullptr;
        const bool escape = c == '%' && at + 2 < path.size() && is_hex_digit(path[at + 1]) &&
                            is_hex_digit(path[at + 2]);
        if ((plain && c != '\0') || escape) {
            url += static_cast<char>(c);
        } else {
            url += '%';
            url += hex[c >> 4];
            url += hex[c & 15];
        }
    }
    return url;
}

// --- upload_retention

void upload_retention::append(const char* data, std::size_t size) {
    while (size > 0) {
        if (chunks_.empty() || chunks_.back().size() == chunk_size) {
            if (spare_.empty()) {
                chunks_.emplace_back();
                chunks_.back().reserve(chunk_size);
            } else {
                chunks_.push_back(std::move(spare_.back()));
                spare_.pop_back();
            }
        }
        std::vector<char>& last = chunks_.back();
        const std::size_t n = std::min(size, chunk_size - last.size());
        last.insert(last.end(), data, data + n);
        data += n;
        size -= n;
        end_ += static_cast<std::int64_t>(n);
    }
}

void upload_retention::truncate(std::int64_t offset) {
    const auto keep = static_cast<std::size_t>(offset - begin_);
    const std::size_t chunks = (keep + chunk_size - 1) / chunk_size;
    chunks_.resize(chunks);
    if (chunks > 0) {
        chunks_.back().resize(keep - (chunks - 1) * chunk_size);
    }
    end_ = offset;
}

void upload_retention::release_before(std::int64_t offset) {
    while (!chunks_.empty() && chunks_.front().size() == chunk_size &&
           begin_ + static_cast<std::int64_t>(chunk_size) <= offset) {
        // Kept for reuse: fresh memory costs a page fault per page.
        if (spare_.size() < max_spare) {
            spare_.push_back(std::move(chunks_.front()));
            spare_.back().clear();
        }
        chunks_.pop_front();
        begin_ += static_cast<std::int64_t>(chunk_size);
    }
}

void upload_retention::copy_out(std::int64_t from, char* to, std::size_t size) const {
    auto at = static_cast<std::size_t>(from - begin_);
    while (size > 0) {
        const std::vector<char>& chunk = chunks_[at / chunk_size];
        const std::size_t inside = at % chunk_size;
        const std::size_t n = std::min(size, chunk.size() - inside);
        std::memcpy(to, chunk.data() + inside, n);
        to += n;
        at += n;
        size -= n;
    }
}

void upload_retention::reset(std::int64_t offset) {
    chunks_.clear();
    begin_ = offset;
    end_ = offset;
}

// --- hand_over_gate

void hand_over_gate::reset() {
    std::lock_guard<std::mutex> hold(mutex_);
    offered_ = false;
    finished_ = false;
    given_back_ = false;
    request_ = request::none;
}

void hand_over_gate::offer() {
    {
        std::lock_guard<std::mutex> hold(mutex_);
        offered_ = true;
    }
    caller_waits_.notify_one();
}

void hand_over_gate::finish() {
    {
        std::lock_guard<std::mutex> hold(mutex_);
        finished_ = true;
        if (request_ == request::open || request_ == request::full) {
            request_ = request::answered;
        }
    }
    caller_waits_.notify_one();
}

void hand_over_gate::wait_for_give_back() {
    std::unique_lock<std::mutex> hold(mutex_);
    worker_waits_.wait(hold, [this] { return given_back_; });
    given_back_ = false;
}

std::size_t hand_over_gate::deliver(const char* data, std::size_t length) {
    std::unique_lock<std::mutex> hold(mutex_);
    // A request that the previous buffer filled to the end was held until
    // now, so that the caller learns whether more data follows.
    if (request_ == request::full) {
        request_ = request::answered;
        caller_waits_.notify_one();
    }
    std::size_t taken = 0;
    while (taken < length) {
        if (request_ == request::open) {
            const std::size_t n = std::min(length - taken, request_length_ - request_filled_);
            std::memcpy(request_to_ + request_filled_, data + taken, n);
            request_filled_ += n;
            taken += n;
            if (request_filled_ == request_length_) {
                request_ = taken < length ? request::answered : request::full;
                if (request_ == request::answered) {
                    caller_waits_.notify_one();
                }
            }
            continue;
        }
        // Nobody asks: the bytes wait in libcurl's buffer for the caller.
        // A caller whose request was just answered is on its way already.
        offered_ = true;
        if (request_ != request::answered) {
            caller_waits_.notify_one();
        }
        worker_waits_.wait(hold, [this] { return request_ == request::open || given_back_; });
        offered_ = false;
        if (request_ != request::open) {
            given_back_ = false;
            break;
        }
    }
    return taken;
}

bool hand_over_gate::wait_for_offer() {
    std::unique_lock<std::mutex> hold(mutex_);
    caller_waits_.wait(hold, [this] { return offered_ || finished_; });
    // The end first: it stays reported for later waits.
    if (finished_) {
        return false;
    }
    offered_ = false;
    return true;
}

void hand_over_gate::give_back() {
    {
        std::lock_guard<std::mutex> hold(mutex_);
        given_back_ = true;
        // Whatever was offered is given back with it: the next wait is for
        // what the worker does next.
        offered_ = false;
    }
    worker_waits_.notify_one();
}

hand_over_gate::fetched hand_over_gate::fetch(char* to, std::size_t length) {
    std::unique_lock<std::mutex> hold(mutex_);
    if (!finished_) {
        request_to_ = to;
        request_length_ = length;
        request_filled_ = 0;
        request_ = request::open;
        worker_waits_.notify_one();
        caller_waits_.wait(hold, [this] { return request_ == request::answered; });
    }
    const fetched got{request_ == request::answered ? request_filled_ : 0, finished_};
    request_ = request::none;
    return got;
}

// --- transfer_stream: the caller's side

transfer_stream::transfer_stream(std::string server, std::string user, std::string password,
                                 std::int64_t download_limit, std::int64_t upload_limit,
                                 std::string ca_file)
    : server_(std::move(server)),
      user_(std::move(user)),
      password_(std::move(password)),
      download_limit_(download_limit),
      upload_limit_(upload_limit),
      ca_file_(std::move(ca_file)) {}

transfer_stream::~transfer_stream() {
    transfer_abort();
}

void transfer_stream::transfer_open(const std::string& path, int mode, std::int64_t expected_size) {
    if (mode != download && mode != upload) {
        throw exception(L"Open failed", L"Invalid open mode");
    }
    if (mode_ != closed) {
        throw exception(L"Open failed", L"File already opened");
    }
    path_ = path;
    mode_ = mode;
    expected_size_ = mode == download ? expected_size : -1;
    delivered_ = 0;
    retained_.reset(0);
    feed_ = 0;
    if (!start(false)) {
        forget_transfer();
        throw exception(L"Open failed", failure_text());
    }
}

int transfer_stream::transfer_read(void* buffer, int length) {
    if (buffer == nullptr) {
        throw exception(L"Read failed", L"buffer is NULL");
    }
    if (mode_ == closed) {
        throw exception(L"Read failed", L"File not opened");
    }
    if (mode_ != download) {
        throw exception(L"Read failed", L"Incorrect file mode");
    }
    if (state_ < 0 && !start(false)) {
        throw exception(L"Read failed", failure_text());
    }
    if (state_ == 0 || length <= 0) {
        return 0;
    }
    const hand_over_gate::fetched got =
        gate_.fetch(static_cast<char*>(buffer), static_cast<std::size_t>(length));
    if (got.ended) {
        WaitForSingleObject(thread_, INFINITE);
        if (state_ != 0) {
            // Not counted: the restart delivers these bytes again.
            throw exception(L"Read failed", failure_text());
        }
    }
    delivered_ += static_cast<std::int64_t>(got.bytes);
    return static_cast<int>(got.bytes);
}

int transfer_stream::transfer_write(const void* buffer, int length) {
    if (buffer == nullptr) {
        throw exception(L"Write failed", L"buffer is NULL");
    }
    if (mode_ == closed) {
        throw exception(L"Write failed", L"File not opened");
    }
    if (mode_ != upload) {
        throw exception(L"Write failed", L"Incorrect file mode");
    }
    if (length <= 0) {
        return 0;
    }
    const std::int64_t end_before = retained_.end();
    try {
        retained_.append(static_cast<const char*>(buffer), static_cast<std::size_t>(length));
    } catch (const std::bad_alloc&) {
        retained_.truncate(end_before);
        throw exception(L"Write failed", L"Out of memory");
    }
    // The block joins the retained bytes first, so that a restart may also
    // find part of it on the server already (a retried failed write).
    if (!running() && !start(true)) {
        retained_.truncate(end_before);
        throw exception(L"Write failed", resume_refused_ ? resume_refused_text : failure_text());
    }
    if (!pump_upload()) {
        retained_.truncate(end_before);
        throw exception(L"Write failed", failure_text());
    }
    return length;
}

bool transfer_stream::transfer_close() {
    if (mode_ == closed) {
        throw exception(L"Close failed", L"File is not opened");
    }
    const bool complete = mode_ != upload || finish_upload();
    end_thread(true);
    forget_transfer();
    return complete;
}

void transfer_stream::transfer_abort() noexcept {
    if (mode_ == closed) {
        return;
    }
    end_thread(true);
    forget_transfer();
}

bool transfer_stream::is_eof() const {
    // A download's worker ends cleanly only once it delivered every byte.
    return mode_ == download && state_ == 0;
}

const wchar_t* transfer_stream::failure_text() const {
    return certificate_refused_ ? certificate_refused_text : connection_text;
}

bool transfer_stream::running() const {
    return state_ > 0;
}

bool transfer_stream::start(bool resume) {
    // A signal left over from a broken transfer must not reach this one.
    gate_.reset();
    if (thread_ != nullptr) {
        CloseHandle(thread_);
        thread_ = nullptr;
    }
    buffer_ = nullptr;
    buffer_length_ = 0;
    buffer_offset_ = 0;
    abort_ = false;
    transfer_origin_ = delivered_;
    transfer_bytes_ = 0;
    resuming_ = resume && mode_ == upload;
    resume_offset_ = 0;
    resume_checked_ = false;
    resume_refused_ = false;
    started_ms_ = now_ms();
    last_activity_ms_ = started_ms_;
    bytes_seen_ = 0;
    certificate_refused_ = false;
    state_ = mode_;

    thread_ = reinterpret_cast<HANDLE>(_beginthreadex(nullptr, 0, thread_entry, this, 0, nullptr));
    if (thread_ == nullptr) {
        state_ = -1;
        return false;
    }
    if (wait_for_worker() == wake::thread_ended && state_ != 0) {
        return false;
    }
    if (mode_ == upload) {
        feed_ = resume_offset_;
    }
    return true;
}

transfer_stream::wake transfer_stream::wait_for_worker() {
    // The end first: a worker that ended for any reason releases the
    // caller, and stays reported for later waits.
    if (gate_.wait_for_offer()) {
        return wake::buffer_ready;
    }
    // The worker's last step was its report; its thread ends right after.
    WaitForSingleObject(thread_, INFINITE);
    buffer_ = nullptr;
    buffer_length_ = 0;
    buffer_offset_ = 0;
    return wake::thread_ended;
}

transfer_stream::wake transfer_stream::hand_back() {
    gate_.give_back();
    return wait_for_worker();
}

bool transfer_stream::pump_upload() {
    while (feed_ < retained_.end()) {
        const std::size_t n = std::min(buffer_length_ - buffer_offset_,
                                       static_cast<std::size_t>(retained_.end() - feed_));
        retained_.copy_out(feed_, buffer_ + buffer_offset_, n);
        feed_ += static_cast<std::int64_t>(n);
        buffer_offset_ += n;
        if (buffer_offset_ == buffer_length_) {
            if (hand_back() == wake::thread_ended) {
                return false;
            }
            // libcurl has taken every byte before feed_.
            retained_.release_before(feed_ - replay_window);
        }
    }
    return true;
}

bool transfer_stream::finish_upload() {
    // A transfer that breaks on the way is resumed once: the caller cannot
    // retry a close.
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (!running() && !start(true)) {
            return false;
        }
        if (!pump_upload()) {
            continue;
        }
        // The partly filled buffer goes out; the next, handed back empty,
        // tells libcurl that the data has ended.
        while (hand_back() == wake::buffer_ready) {
        }
        if (state_ == 0) {
            return true;
        }
    }
    return false;
}

void transfer_stream::end_thread(bool abort) {
    if (thread_ == nullptr) {
        return;
    }
    abort_ = abort;
    if (running()) {
        while (hand_back() == wake::buffer_ready) {
        }
    }
    WaitForSingleObject(thread_, INFINITE);
}

void transfer_stream::forget_transfer() {
    if (thread_ != nullptr) {
        CloseHandle(thread_);
        thread_ = nullptr;
    }
    buffer_ = nullptr;
    buffer_length_ = 0;
    buffer_offset_ = 0;
    abort_ = false;
    delivered_ = 0;
    retained_.reset(0);
    feed_ = 0;
    mode_ = closed;
}

// --- transfer_stream: the worker's side

unsigned transfer_stream::thread_entry(void* stream) {
    static_cast<transfer_stream*>(stream)->run_transfer();
    return 0;
}

void transfer_stream::run_transfer() {
    CURLcode result = CURLE_FAILED_INIT;
    try {
        curl_descriptor descriptor(transfer_pool());
        CURL* handle = descriptor.get_curl_handle();
        // Nothing of another stream's transfer (credentials, limits,
        // callbacks, append mode) may stay set on a pooled handle.
        curl_easy_reset(handle);
        configure(handle);
        result = curl_easy_perform(handle);
    } catch (...) {
        result = CURLE_FAILED_INIT;
    }
    // A download that ends cleanly but short of its known size is broken.
    if (result == CURLE_OK && mode_ == download && expected_size_ >= 0 &&
        transfer_origin_ + transfer_bytes_ < expected_size_) {
        result = CURLE_PARTIAL_FILE;
    }
    certificate_refused_ = is_certificate_failure(result);
    state_ = result == CURLE_OK ? 0 : -1;
    gate_.finish();
}

void transfer_stream::configure(CURL* handle) {
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(handle, CURLOPT_READFUNCTION, io_callback);
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, io_callback);
    curl_easy_setopt(handle, CURLOPT_SEEKFUNCTION, seek_callback);
    curl_easy_setopt(handle, CURLOPT_SEEKDATA, this);
    curl_easy_setopt(handle, CURLOPT_XFERINFOFUNCTION, progress_callback);
    curl_easy_setopt(handle, CURLOPT_XFERINFODATA, this);
    curl_easy_setopt(handle, CURLOPT_NOPROGRESS, 0L);
    if (mode_ == download) {
        curl_easy_setopt(handle, CURLOPT_UPLOAD, 0L);
        curl_easy_setopt(handle, CURLOPT_WRITEDATA, this);
    } else {
        curl_easy_setopt(handle, CURLOPT_UPLOAD, 1L);
        curl_easy_setopt(handle, CURLOPT_READDATA, this);
        // Fewer, larger buffers: each hand-over costs two thread switches.
        curl_easy_setopt(handle, CURLOPT_UPLOAD_BUFFERSIZE, upload_buffer_size);
    }
    if (!user_.empty() || !password_.empty()) {
        const std::string credentials = user_ + ":" + password_;
        curl_easy_setopt(handle, CURLOPT_USERPWD, credentials.c_str());
    }
    verify_server_certificate(handle, ca_file_);
    curl_easy_setopt(handle, CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_ALL));
    // The stall watch covers the data; these cover connecting and waiting
    // for the server's answers.
    const std::int64_t stall_ms = stall_limit_ms();
    curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(stall_ms));
    curl_easy_setopt(handle, CURLOPT_SERVER_RESPONSE_TIMEOUT,
                     static_cast<long>(std::max<std::int64_t>(1, (stall_ms + 999) / 1000)));
    curl_easy_setopt(handle, CURLOPT_URL, transfer_url(server_, path_).c_str());
    // A resumed upload asks the server how much it holds (SIZE) and starts
    // there; the seek callback learns that offset.
    const curl_off_t resume_from = mode_ == download ? transfer_origin_ : (resuming_ ? -1 : 0);
    curl_easy_setopt(handle, CURLOPT_RESUME_FROM_LARGE, resume_from);
    if (upload_limit_ > 0) {
        curl_easy_setopt(handle, CURLOPT_MAX_SEND_SPEED_LARGE,
                         static_cast<curl_off_t>(upload_limit_));
    }
    if (download_limit_ > 0) {
        curl_easy_setopt(handle, CURLOPT_MAX_RECV_SPEED_LARGE,
                         static_cast<curl_off_t>(download_limit_));
    }
}

std::size_t transfer_stream::io_callback(char* data, std::size_t size, std::size_t count,
                                         void* stream) {
    return static_cast<transfer_stream*>(stream)->hand_over(data, size * count);
}

std::size_t transfer_stream::hand_over(char* data, std::size_t length) {
    // An upload that libcurl did not seek starts at the server's byte 0.
    if (mode_ == upload && !resume_checked_ && !accept_resume(0)) {
        return CURL_READFUNC_ABORT;
    }
    if (length == 0) {
        return 0;
    }
    if (mode_ == download) {
        return deliver(data, length);
    }
    buffer_ = data;
    buffer_length_ = length;
    buffer_offset_ = 0;
    gate_.offer();
    gate_.wait_for_give_back();
    if (abort_) {
        return CURL_READFUNC_ABORT;
    }
    transfer_bytes_ += static_cast<std::int64_t>(buffer_offset_);
    keep_speed_limit();
    last_activity_ms_ = now_ms();
    return buffer_offset_;
}

std::size_t transfer_stream::deliver(const char* data, std::size_t length) {
    const std::size_t taken = gate_.deliver(data, length);
    if (taken < length) {
        // The caller let go of the transfer: the short answer makes libcurl
        // stop.
        return 0;
    }
    transfer_bytes_ += static_cast<std::int64_t>(taken);
    keep_speed_limit();
    last_activity_ms_ = now_ms();
    return taken;
}

void transfer_stream::keep_speed_limit() {
    // libcurl's own limit lets a download through in bursts as fast as the
    // connection goes: holding libcurl back here keeps the average of the
    // whole transfer at the limit.
    const std::int64_t limit = mode_ == download ? download_limit_ : upload_limit_;
    if (limit <= 0) {
        return;
    }
    const std::int64_t due_ms = started_ms_ + transfer_bytes_ * 1000 / limit;
    const std::int64_t early_ms = due_ms - now_ms();
    if (early_ms > 0) {
        Sleep(static_cast<DWORD>(early_ms));
    }
}

int transfer_stream::seek_callback(void* stream, curl_off_t offset, int origin) {
    auto* self = static_cast<transfer_stream*>(stream);
    // Only the start of an upload may be placed, before its first buffer.
    if (self->mode_ != upload || origin != SEEK_SET || self->resume_checked_) {
        return CURL_SEEKFUNC_FAIL;
    }
    return self->accept_resume(offset) ? CURL_SEEKFUNC_OK : CURL_SEEKFUNC_FAIL;
}

bool transfer_stream::accept_resume(std::int64_t offset) {
    resume_checked_ = true;
    if (offset < retained_.begin() || offset > retained_.end()) {
        resume_refused_ = true;
        return false;
    }
    resume_offset_ = offset;
    return true;
}

int transfer_stream::progress_callback(void* stream, curl_off_t, curl_off_t download_now,
                                       curl_off_t, curl_off_t upload_now) {
    auto* self = static_cast<transfer_stream*>(stream);
    // Bytes on the move (under libcurl's own speed limit, say) are no stall.
    const std::int64_t moved = download_now + upload_now;
    if (moved != self->bytes_seen_) {
        self->bytes_seen_ = moved;
        self->last_activity_ms_ = now_ms();
    }
    return now_ms() - self->last_activity_ms_ > stall_limit_ms() ? 1 : 0;
}

}  // namespace vfs_calvimora

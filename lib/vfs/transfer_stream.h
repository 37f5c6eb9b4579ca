// The contents of one remote file on their way to or from the transfer
// server. A worker thread runs one libcurl transfer; for an upload, each
// buffer libcurl offers to fill is handed to the calling thread, which fills
// it at its own pace while the worker waits; for a download, the worker
// copies the bytes libcurl received straight into the buffer of the caller's
// read while the caller waits. A broken transfer is started again by the next
// read or write and resumes where the server's copy ends: a download at the
// bytes already delivered, an upload at the size the server reports, with
// the written bytes it still lacks sent again from the stream's retained
// copy.
#pragma once

#include <curl/curl.h>

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "win/kernel.h"

namespace vfs_calvimora {

// The server's address followed by the path. The path is a URL path as the
// service hands it out: a "%" with two hex digits after it is an escape and
// stays as it is, so that libcurl turns it into the byte it stands for, as
// the service meant. Every other byte but letters, digits and "/-._~" is
// escaped here: libcurl would take "?" or "#" for the end of the path and
// ask the server for another file, and it refuses a URL with a blank or a
// control byte. A "%" that starts no escape stands for itself.
std::string transfer_url(const std::string& server, const std::string& path);

// The written bytes of an upload that a resumed transfer may have to send
// again: one contiguous range [begin, end) of the stream, kept in chunks.
class upload_retention {
public:
    std::int64_t begin() const { return begin_; }
    std::int64_t end() const { return end_; }

    // Appends bytes at the end; throws std::bad_alloc when memory runs out.
    void append(const char* data, std::size_t size);
    // Drops the bytes from offset on (offset between begin and end).
    void truncate(std::int64_t offset);
    // Frees whole chunks that lie before offset; begin moves up to them.
    void release_before(std::int64_t offset);
    // Copies size bytes starting at stream offset from (within the range).
    void copy_out(std::int64_t from, char* to, std::size_t size) const;
    // Empties the range and starts it again at offset.
    void reset(std::int64_t offset);

private:
    static constexpr std::size_t chunk_size = 256 * 1024;
    static constexpr std::size_t max_spare = 8;

    std::deque<std::vector<char>> chunks_;
    std::vector<std::vector<char>> spare_;  // released chunks, emptied, for reuse
    std::int64_t begin_ = 0;                // stream offset of the first chunk's first byte
    std::int64_t end_ = 0;
};

// The meeting point of the calling thread and the worker. An upload hands
// libcurl's buffers over: the worker offers one, the caller fills it and
// gives it back. A download hands the caller's buffer over instead: the
// caller asks for bytes, and the worker copies what libcurl received
// straight into the caller's buffer, buffer after buffer, waking the caller
// only once its buffer is full or the transfer ended; libcurl's bytes that
// did not fit wait in libcurl's buffer for the caller's next request. Every
// wait sleeps until the other side signals, so a waiting thread costs
// nothing; a download costs two wake-ups per request however many buffers
// libcurl fills it from.
class hand_over_gate {
public:
    // What a download request got: the bytes, and whether the transfer
    // ended before the request was complete (or at once after).
    struct fetched {
        std::size_t bytes;
        bool ended;
    };

    // Forgets every signal, for a new transfer.
    void reset();

    // Worker side. offer: a buffer is waiting for the caller (an upload's
    // buffer to fill, or a download's first bytes); finish: the transfer
    // ended (which stays reported until the next reset).
    void offer();
    void finish();
    void wait_for_give_back();
    // Copies a download's received bytes into the caller's requests,
    // waiting for the next request whenever one is full. Returns how many
    // were taken: fewer than length when the caller gave the transfer back
    // instead of asking for more.
    std::size_t deliver(const char* data, std::size_t length);

    // Caller side. wait_for_offer: true for an offered buffer (taken),
    // false once the transfer ended.
    bool wait_for_offer();
    void give_back();
    // Asks for up to length bytes of a download into to; returns once they
    // are all there and libcurl has offered its next buffer, or once the
    // transfer ended.
    fetched fetch(char* to, std::size_t length);

private:
    enum class request { none, open, full, answered };

    std::mutex mutex_;
    std::condition_variable caller_waits_;
    std::condition_variable worker_waits_;
    bool offered_ = false;
    bool finished_ = false;
    bool given_back_ = false;
    // The caller's download request: its buffer and how far it is filled.
    request request_ = request::none;
    char* request_to_ = nullptr;
    std::size_t request_length_ = 0;
    std::size_t request_filled_ = 0;
};

class transfer_stream {
public:
    // Stream modes.
    static constexpr int closed = 0;
    static constexpr int download = 1;
    static constexpr int upload = 2;

    // server is the transfer server's base address ("ftp://host:port");
    // limits are bytes per second, 0 or less for none. ca_file names the
    // certificate authorities the server's TLS connections must chain to
    // (empty: the system's store).
    transfer_stream(std::string server, std::string user, std::string password,
                    std::int64_t download_limit, std::int64_t upload_limit, std::string ca_file);
    ~transfer_stream();
    transfer_stream(const transfer_stream&) = delete;
    transfer_stream& operator=(const transfer_stream&) = delete;

    // Opens the stream for one direction and starts the first transfer; path
    // is the file's path on the server: a URL path in UTF-8, whose "%"
    // escapes stand for the bytes they encode. expected_size is, for a
    // download, the size of the whole content when known (-1 otherwise): a
    // transfer that ends cleanly before it counts as broken. Throws ("Open
    // failed", ...) when the mode is invalid, the stream is open, or the
    // transfer fails before its first buffer. A server whose certificate
    // does not verify fails every call that starts a transfer with
    // certificate_refused_text.
    void transfer_open(const std::string& path, int mode, std::int64_t expected_size = -1);
    // Copies up to length bytes of the download into buffer; fewer only at
    // the end of the data (0 once it was reached). Throws ("Read failed",
    // ...); the bytes of a failed call are delivered again by the next.
    int transfer_read(void* buffer, int length);
    // Sends length bytes; returns length. Throws ("Write failed", ...); the
    // block of a failed call is not kept, so the caller retries it.
    int transfer_write(const void* buffer, int length);
    // Ends the transfer and closes the stream. An upload first sends every
    // written byte, resuming a broken transfer once for that; the result
    // tells whether the server confirmed them all. A download is cut off
    // and the result is true. Throws only ("Close failed", "File is not
    // opened") for a closed stream.
    bool transfer_close();
    // Ends the transfer without sending anything more (an upload is
    // abandoned) and closes the stream; does nothing on a closed stream.
    void transfer_abort() noexcept;

    // The download has delivered its last byte.
    bool is_eof() const;
    int get_mode() const { return mode_; }

private:
    enum class wake { buffer_ready, thread_ended };

    static unsigned thread_entry(void* stream);
    static std::size_t io_callback(char* data, std::size_t size, std::size_t count, void* stream);
    static int seek_callback(void* stream, curl_off_t offset, int origin);
    static int progress_callback(void* stream, curl_off_t, curl_off_t, curl_off_t, curl_off_t);

    // Worker side.
    void run_transfer();
    void configure(CURL* handle);
    std::size_t hand_over(char* data, std::size_t length);
    std::size_t deliver(const char* data, std::size_t length);
    bool accept_resume(std::int64_t offset);
    void keep_speed_limit();

    // Caller side.
    bool start(bool resume);
    wake wait_for_worker();
    wake hand_back();
    bool running() const;
    bool pump_upload();
    bool finish_upload();
    void end_thread(bool abort);
    void forget_transfer();
    const wchar_t* failure_text() const;

    const std::string server_;
    const std::string user_;
    const std::string password_;
    const std::int64_t download_limit_;
    const std::int64_t upload_limit_;
    const std::string ca_file_;
    std::string path_;
    int mode_ = closed;
    std::int64_t expected_size_ = -1;

    // The worker's report: the mode while it runs, then 0 (the transfer
    // finished) or -1 (it failed). Written by the worker, read by the
    // caller after an offer or the worker's end.
    std::atomic<int> state_ = 0;
    // Whether the last transfer failed because the server's certificate was
    // refused; written by the worker before its report.
    std::atomic<bool> certificate_refused_ = false;

    hand_over_gate gate_;
    HANDLE thread_ = nullptr;

    // An upload's buffer being handed over: set by the worker before its
    // offer, filled by the caller until it gives the buffer back.
    char* buffer_ = nullptr;
    std::size_t buffer_length_ = 0;
    std::size_t buffer_offset_ = 0;
    bool abort_ = false;  // an upload's worker ends the transfer at the next hand-back

    // Download: bytes delivered to the caller (where the next transfer
    // resumes); where the running transfer started and what it passed on.
    std::int64_t delivered_ = 0;
    std::int64_t transfer_origin_ = 0;
    std::int64_t transfer_bytes_ = 0;

    // Upload: the retained written bytes; the stream offset of the next
    // byte to copy into libcurl's buffer; whether the running transfer
    // resumes, and where on the server it starts (learnt before its first
    // buffer; refused when the retained bytes do not reach there).
    upload_retention retained_;
    std::int64_t feed_ = 0;
    bool resuming_ = false;
    std::int64_t resume_offset_ = 0;
    bool resume_checked_ = false;
    bool resume_refused_ = false;

    // The start of the running transfer, for the speed limits; for the
    // stall watch, the last time bytes moved or a hand-over ended (steady
    // clock, ms) and the bytes libcurl had moved then.
    std::int64_t started_ms_ = 0;
    std::int64_t last_activity_ms_ = 0;
    std::int64_t bytes_seen_ = 0;
};

}  // namespace vfs_calvimora

// Copying a file's bytes block by block: read a block from the source, hand
// it whole to the sink, tell the progress, ask whether to go on. The sync
// engine's uploads and downloads copy so, and so can the shell's upload of
// dropped files; each runs its reads and writes under its own retries, which
// the copy leaves to the callables it is given.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>

#include "vfs/exceptions.h"
#include "vfs/file.h"

namespace vfs {

// A write call that took none of the bytes it was offered, after `written`
// of the block's `length` bytes were taken.
class short_write : public exception {
public:
    short_write(std::size_t written, std::size_t length);
    std::wstring get_title() const override;
    std::wstring get_text() const override;

private:
    std::wstring text_;
};

// Offers the file the block's bytes from `written` on until it took all
// `length` of them: a write call may take fewer than it is given, and the
// rest is offered again. `written` counts what the file took, so that a call
// made again after a failure goes on from the first byte not taken. A call
// that takes nothing throws short_write; the file's own failures pass on.
void write_all(file& sink, const char* block, std::size_t length, std::size_t& written);

// How a copy ended.
enum class copy_end {
    complete,   // the source ended and the sink took every byte
    gave_up,    // a read or a write failed and its caller gave up on it
    cancelled,  // asked to stop after a block
};

struct copy_result {
    copy_end end = copy_end::complete;
    // The bytes the sink took.
    std::uint64_t copied = 0;
};

struct block_copy {
    // Up to `length` bytes of the source into `buffer`, from `offset` (the
    // bytes copied so far): their count, 0 at the source's end, or nothing
    // when the read failed and the caller gave up on it.
    std::function<std::optional<std::size_t>(char* buffer, std::size_t length,
                                             std::uint64_t offset)>
        read;
    // Hands the sink the block's bytes, which belong at `offset`, from
    // `taken` on, counting in `taken` what the sink took (write_all does so
    // for a file), so that a write made again goes on where the last one
    // stopped; `taken` starts at 0 for each block. False when the write
    // failed and the caller gave up on it.
    std::function<bool(const char* block, std::size_t length, std::uint64_t offset,
                       std::size_t& taken)>
        write;
    // After each block the sink took: the bytes copied so far and the
    // block's. Optional.
    std::function<void(std::uint64_t copied, std::size_t block)> progress;
    // Asked after each block's progress: true ends the copy there. Optional.
    std::function<bool()> cancelled;
};

// Copies through `buffer`, one block of at most its size at a time, until
// the source ends, a step is given up or the copy is cancelled. Failures the
// callables throw pass on.
copy_result copy_blocks(const block_copy& copy, std::span<char> buffer);

}  // namespace vfs

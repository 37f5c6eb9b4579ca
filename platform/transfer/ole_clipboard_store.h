// The log-on session's clipboard, shared by its processes through one file
// in the session folder: who holds a live object on it, or what a flush
// left there (the object's saved form and copies of its global-memory
// formats, registered formats by name since their numbers are per process).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "win/data_object.h"

namespace win_ole {

struct stored_format {
    uint32_t number = 0;  // a predefined format, or 0 for a registered one
    std::wstring name;    // a registered format's name
    uint32_t aspect = DVASPECT_CONTENT;
    int32_t lindex = -1;
    std::vector<uint8_t> bytes;
};

struct clipboard_record {
    enum class state : uint32_t { empty = 0, held = 1, flushed = 2 };
    state kind = state::empty;
    int32_t holder = 0;      // held: the process whose object is set
    uint64_t setting = 0;    // held: which of its settings
    bool persisted = false;  // flushed: the saved form below is there
    CLSID saved_class{};
    std::vector<uint8_t> saved;
    std::vector<stored_format> formats;
};

// The record's bytes, and the record from bytes; nullopt for bytes that
// are not a whole record (the file may have been written by anyone).
std::vector<uint8_t> encode_clipboard(const clipboard_record& record);
std::optional<clipboard_record> decode_clipboard(const uint8_t* data, size_t size);

// The session's record; empty when there is none or it is damaged.
clipboard_record read_session_clipboard();
// Replaces the session's record at once (readers see the old or the new).
void write_session_clipboard(const clipboard_record& record);

}  // namespace win_ole

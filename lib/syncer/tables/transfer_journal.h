// The journal of one binding's transfers, a file beside its item table
// ("<table>.journal"): what a transfer is about to do to a remote or local
// file, on disk before it does it, and what it left when it ended done, on
// disk before the task counts as done. The scan takes the results into the
// item table and then cuts them, so that a process killed at any moment
// loses no result; what a transfer began and never settled is known, and the
// next pass settles it from what both sides show.
//
// One entry per line of UTF-8 text; appends of several threads and
// processes are serialised by a lock on the file. The file is outside input
// when read: a line that is not a whole, well-formed entry is passed over.
#pragma once

#include <boost/filesystem/path.hpp>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "syncer/core/local_file_state.h"

namespace syncer {

struct journal_entry {
    enum class kind : std::uint8_t {
        // An upload is about to create the remote file (size: the size it
        // asks for).
        creating,
        // The upload created it: the file's remote_id.
        created,
        // An upload is about to commit what it sent into the remote file
        // remote_id, to be dated time and of the given size; local is the
        // state of the local file it read.
        closing,
        // A download is about to rename its copy (copy_name, beside the local
        // file; local its state, inode included) over the local file, dated
        // time.
        replacing,
        // A transfer ended done: both sides hold the same file, dated time,
        // the local one in the state local.
        synced,
        // What the transfer began is settled without its change: undone, or
        // never done.
        abandoned,
    };

    kind what = kind::abandoned;
    // The item: its remote and local folders and its name in both.
    std::wstring dir_remote;
    std::wstring dir_local;
    std::wstring filename;
    std::int64_t time = 0;
    std::int64_t size = 0;
    local_file_state local;
    std::wstring remote_id;
    std::wstring copy_name;

    bool operator==(const journal_entry&) const = default;
};

// The entry as one line, ending with a newline.
std::string encode_entry(const journal_entry& entry);

// An entry with where its line ends in the journal's bytes.
struct journal_line {
    journal_entry entry;
    std::uint64_t end = 0;
};

// The whole, well-formed entries of the bytes, in order; anything else is
// passed over.
std::vector<journal_line> parse_journal(std::string_view bytes);

class transfer_journal {
public:
    explicit transfer_journal(boost::filesystem::path path);

    // The journal of the item table of that name in the user's settings
    // folder.
    static boost::filesystem::path path_for(const std::wstring& items_filename,
                                            const std::wstring& user_name);
    // Whether a file name is that of a journal, and the name of the item
    // table it belongs to.
    static bool is_journal_name(const std::wstring& name);
    static std::wstring table_name_of(const std::wstring& journal_name);

    const boost::filesystem::path& path() const { return path_; }

    // Adds the entry at the end and flushes it to the disk; local_error when
    // that fails.
    void append(const journal_entry& entry) const;

    struct contents {
        std::vector<journal_line> lines;
        // Where the last whole line ends: what was read.
        std::uint64_t size = 0;
    };
    // The entries there now; none when there is no journal. local_error when
    // it cannot be read.
    contents read() const;
    // How many bytes the journal holds now (0 when there is none).
    std::uint64_t size() const;

    // Drops the first `taken` bytes (whole lines an item table took in and
    // saved), keeping of them the entries given (transfers not yet settled)
    // ahead of whatever came after; removes the journal when nothing is
    // left. A crash leaves the journal as it was or as cut.
    void cut(std::uint64_t taken, const std::vector<journal_entry>& keep) const;

private:
    boost::filesystem::path path_;
};

}  // namespace syncer

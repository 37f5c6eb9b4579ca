#include "syncer/tables/table_fingerprint.h"

#include <string>

namespace syncer {

namespace {

// Two lanes of different construction, each a bijective step per word, so
// that a change that one lane misses the other is unlikely to miss too.
class fingerprint_builder {
public:
    void add(std::uint64_t word) {
        first_ = (first_ ^ word) * 0x100000001B3ull;
        second_ += word * 0x9E3779B97F4A7C15ull;
        second_ = ((second_ << 31) | (second_ >> 33)) * 0xBF58476D1CE4E5B9ull;
    }
    void add(std::int64_t number) { add(static_cast<std::uint64_t>(number)); }
    void add(const std::wstring& text) {
        add(static_cast<std::uint64_t>(text.size()));
        for (const wchar_t character : text) add(static_cast<std::uint64_t>(character));
    }

    table_fingerprint result() const { return {first_, second_}; }

private:
    std::uint64_t first_ = 0xCBF29CE484222325ull;
    std::uint64_t second_ = 0x243F6A8885A308D3ull;
};

}  // namespace

table_fingerprint fingerprint_of(const std::set<sync_item, sync_item::less>& records) {
    fingerprint_builder builder;
    for (const sync_item& record : records) {
        if (record.last_time_remote == missing_time && record.last_time_local == missing_time)
            continue;
        // The folders' texts by the hash they entered the pool with.
        builder.add(record.dir_remote.hash());
        builder.add(record.dir_local.hash());
        builder.add(record.filename);
        builder.add(record.last_time_remote);
        builder.add(record.last_time_local);
        builder.add(record.synced_time);
        builder.add(static_cast<std::int64_t>(record.local_record));
        if (record.local_record != recorded_local::unknown) {
            builder.add(record.local_file.size);
            builder.add(record.local_file.write_time_ns);
            builder.add(record.local_file.change_time_ns);
        }
        for (int index = 0; index < sync_rule::size; ++index)
            builder.add(static_cast<std::int64_t>(record.rule[index]));
    }
    return builder.result();
}

}  // namespace syncer

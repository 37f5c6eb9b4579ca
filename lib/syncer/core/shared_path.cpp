#include "syncer/core/shared_path.h"

#include <algorithm>
#include <array>
#include <mutex>
#include <unordered_map>

namespace syncer {

namespace {

using entry = shared_path::entry;

std::uint64_t hash_of(const std::wstring& text) {
    std::uint64_t hash = 0xCBF29CE484222325ull;
    for (const wchar_t character : text)
        hash = (hash ^ static_cast<std::uint64_t>(character)) * 0x100000001B3ull;
    return hash ^ text.size();
}

// Texts by value, each with the entry the paths share while any holds it.
struct pool {
    std::mutex lock;
    std::unordered_map<std::wstring, entry*> entries;
    // The size at which entries no path holds are swept out: twice the
    // number alive after the last sweep, so sweeping costs a constant per
    // insertion.
    std::size_t sweep_at = 1024;

    // Ends when the program or the module that holds the engine is unloaded
    // (the shell extension is loaded and unloaded again and again): the
    // entries no path holds go with it, the others with their last path.
    ~pool() {
        for (const auto& kept : entries)
            if (kept.second->holders.fetch_or(entry::pool_gone, std::memory_order_acq_rel) == 0)
                delete kept.second;
    }
};

pool& the_pool() {
    static pool instance;
    return instance;
}

// With the pool locked. An entry counted 0 has no holder to be copied from
// and the lock keeps look-ups away, so freeing it is safe.
void sweep(pool& shared) {
    std::erase_if(shared.entries, [](const auto& kept) {
        if (kept.second->holders.load(std::memory_order_acquire) != 0) return false;
        delete kept.second;
        return true;
    });
    shared.sweep_at = std::max<std::size_t>(1024, 2 * shared.entries.size());
}

// The last few texts this thread asked for, each counted as held while it
// stays here: the files of one folder come one after the other, each naming
// the folder on both sides.
class recent_entries {
public:
    ~recent_entries() {
        for (const entry* kept : kept_)
            if (kept) kept->release();
    }
    const entry* find(const std::wstring& text) const {
        for (const entry* kept : kept_)
            if (kept && kept->text == text) return kept;
        return nullptr;
    }
    void remember(const entry* found) {
        found->hold();
        if (kept_[next_]) kept_[next_]->release();
        kept_[next_] = found;
        next_ = (next_ + 1) % kept_.size();
    }

private:
    std::array<const entry*, 4> kept_{};
    std::size_t next_ = 0;
};

// The pooled entry of a text, not yet counted for the caller.
const entry* pooled_entry(const std::wstring& text) {
    thread_local recent_entries recent;
    if (const entry* found = recent.find(text)) return found;
    pool& shared = the_pool();
    std::lock_guard<std::mutex> guard(shared.lock);
    entry*& slot = shared.entries[text];
    if (!slot) {
        slot = new entry{text, hash_of(text)};
        const entry* made = slot;
        // Counted by the recent list before a sweep could see it at 0.
        recent.remember(made);
        if (shared.entries.size() >= shared.sweep_at) sweep(shared);
        return made;
    }
    recent.remember(slot);
    return slot;
}

const entry* empty_entry() {
    // Never pooled, so never swept; the empty text needs no memory of its
    // own, so paths that end after it still find their count in place.
    static const entry instance{L"", hash_of(L"")};
    return &instance;
}

}  // namespace

shared_path::shared_path() : entry_(empty_entry()) {
    hold();
}

shared_path::shared_path(const std::wstring& text)
    : entry_(text.empty() ? empty_entry() : pooled_entry(text)) {
    hold();
}

shared_path::shared_path(const wchar_t* text) : shared_path(std::wstring(text)) {}

shared_path::shared_path(shared_path&& other) noexcept : entry_(other.entry_) {
    other.entry_ = empty_entry();
    other.hold();
}

shared_path& shared_path::operator=(const shared_path& other) noexcept {
    other.hold();
    release();
    entry_ = other.entry_;
    return *this;
}

shared_path& shared_path::operator=(shared_path&& other) noexcept {
    if (this == &other) return *this;
    release();
    entry_ = other.entry_;
    other.entry_ = empty_entry();
    other.hold();
    return *this;
}

std::size_t shared_path::pool_size() {
    pool& shared = the_pool();
    std::lock_guard<std::mutex> guard(shared.lock);
    return shared.entries.size();
}

}  // namespace syncer

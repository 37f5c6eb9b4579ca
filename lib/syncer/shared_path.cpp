#include "syncer/shared_path.h"

#include <algorithm>
#include <array>
#include <mutex>
#include <unordered_map>

namespace syncer {

namespace {

std::uint64_t hash_of(const std::wstring& text) {
    std::uint64_t hash = 0xCBF29CE484222325ull;
    for (const wchar_t character : text)
        hash = (hash ^ static_cast<std::uint64_t>(character)) * 0x100000001B3ull;
    return hash ^ text.size();
}

// Texts by value, each with the entry the records share while any holds it.
struct pool {
    std::mutex lock;
    std::unordered_map<std::wstring, std::weak_ptr<const shared_path::entry>> entries;
    // The size at which entries no record holds are swept out: twice the
    // number alive after the last sweep, so sweeping costs a constant per
    // insertion.
    std::size_t sweep_at = 1024;
};

pool& the_pool() {
    static pool* const instance = new pool;  // outlives every static record
    return *instance;
}

std::shared_ptr<const shared_path::entry> make_entry(const std::wstring& text) {
    return std::make_shared<const shared_path::entry>(shared_path::entry{text, hash_of(text)});
}

std::shared_ptr<const shared_path::entry> pooled_entry(const std::wstring& text) {
    // The files of one folder come one after the other, each naming the
    // folder on both sides: the last few texts this thread asked for are the
    // likeliest.
    constexpr std::size_t recent_count = 4;
    thread_local std::array<std::shared_ptr<const shared_path::entry>, recent_count> recent;
    thread_local std::size_t next_recent = 0;
    for (const auto& candidate : recent) {
        if (candidate && candidate->text == text) return candidate;
    }
    pool& shared = the_pool();
    std::lock_guard<std::mutex> guard(shared.lock);
    auto& slot = shared.entries[text];
    std::shared_ptr<const shared_path::entry> found = slot.lock();
    if (!found) {
        found = make_entry(text);
        slot = found;
        if (shared.entries.size() >= shared.sweep_at) {
            std::erase_if(shared.entries, [](const auto& kept) { return kept.second.expired(); });
            shared.sweep_at = std::max<std::size_t>(1024, 2 * shared.entries.size());
        }
    }
    recent[next_recent] = found;
    next_recent = (next_recent + 1) % recent_count;
    return found;
}

const std::shared_ptr<const shared_path::entry>& empty_entry() {
    static const auto* const instance =
        new std::shared_ptr<const shared_path::entry>(make_entry(L""));
    return *instance;
}

}  // namespace

shared_path::shared_path() : entry_(empty_entry()) {}

shared_path::shared_path(const std::wstring& text)
    : entry_(text.empty() ? empty_entry() : pooled_entry(text)) {}

shared_path::shared_path(const wchar_t* text) : shared_path(std::wstring(text)) {}

std::size_t shared_path::pool_size() {
    pool& shared = the_pool();
    std::lock_guard<std::mutex> guard(shared.lock);
    return shared.entries.size();
}

}  // namespace syncer

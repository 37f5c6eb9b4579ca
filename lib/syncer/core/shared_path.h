// A folder path held by many records (every file of a folder names it): one
// copy of the text per distinct path in the process, found again through a
// pool, so that a record costs a pointer for each of its folders and records
// of the same folder compare their folders by that pointer. The count of
// holders lives in the pooled entry, so a path is one pointer wide.
#pragma once

#include <atomic>
#include <cstdint>
#include <ostream>
#include <string>

namespace syncer {

class shared_path {
public:
    // The empty path.
    shared_path();
    // The pooled copy of the text (made when the process holds none).
    shared_path(const std::wstring& text);
    shared_path(const wchar_t* text);
    shared_path(const shared_path& other) noexcept : entry_(other.entry_) { hold(); }
    shared_path(shared_path&& other) noexcept;
    shared_path& operator=(const shared_path& other) noexcept;
    shared_path& operator=(shared_path&& other) noexcept;
    ~shared_path() { release(); }

    const std::wstring& str() const { return entry_->text; }
    operator const std::wstring&() const { return entry_->text; }
    bool empty() const { return entry_->text.empty(); }
    std::size_t size() const { return entry_->text.size(); }
    // A hash of the text, computed once when it entered the pool.
    std::uint64_t hash() const { return entry_->hash; }
    // Whether both hold the same pooled text: equal texts always do.
    bool same_as(const shared_path& other) const { return entry_ == other.entry_; }

    friend bool operator==(const shared_path& first, const shared_path& second) {
        return first.same_as(second);
    }
    friend bool operator==(const shared_path& first, const std::wstring& second) {
        return first.str() == second;
    }
    friend bool operator==(const shared_path& first, const wchar_t* second) {
        return first.str() == second;
    }
    friend std::wostream& operator<<(std::wostream& out, const shared_path& path) {
        return out << path.str();
    }

    // How many texts the pool holds, those no record uses any more included
    // until its next sweep.
    static std::size_t pool_size();

    struct entry {
        std::wstring text;
        std::uint64_t hash = 0;
        // How many paths hold it. An entry no path holds is reachable only
        // through the pool, which frees it when it sweeps under its lock.
        // Once the pool has ended (its program or module is unloading), the
        // entries still held are marked by the top bit and the last path to
        // let go of one frees it.
        mutable std::atomic<std::uint64_t> holders{0};
        static constexpr std::uint64_t pool_gone = std::uint64_t{1} << 63;

        void hold() const noexcept { holders.fetch_add(1, std::memory_order_relaxed); }
        void release() const noexcept {
            if (holders.fetch_sub(1, std::memory_order_acq_rel) == (pool_gone | 1)) delete this;
        }
    };

private:
    void hold() const noexcept { entry_->hold(); }
    void release() const noexcept { entry_->release(); }

    const entry* entry_;
};

}  // namespace syncer

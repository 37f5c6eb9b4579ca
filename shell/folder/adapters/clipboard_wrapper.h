// The common root of the read-only trees over dropped data, a dropped
// folder of either kind (dropped_items.h). A root also keeps the items of
// its tree that could not be read (refused folders, links to folders,
// pipes, devices, sockets): an upload that skipped any of them has not
// copied everything and must never be reported as a completed move.
#pragma once

#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "folder/adapters/dropped_items.h"

// The local paths (or names) left out of a dropped tree, with the reason,
// each once however often its folder is listed.
class skipped_items {
public:
    void add(const std::wstring& path, const std::wstring& reason) {
        std::lock_guard<std::mutex> guard(lock_);
        std::wstring entry = path + L": " + reason;
        if (seen_.insert(entry).second) entries_.push_back(std::move(entry));
    }
    std::vector<std::wstring> entries() const {
        std::lock_guard<std::mutex> guard(lock_);
        return entries_;
    }

private:
    mutable std::mutex lock_;
    std::vector<std::wstring> entries_;
    std::set<std::wstring> seen_;
};

class CClipboardWrapper : public dropped_folder {
public:
    CClipboardWrapper() : skipped_(std::make_shared<skipped_items>()) {}

    // What was left out of the tree so far, listings made up to now included.
    std::vector<std::wstring> skipped() const { return skipped_->entries(); }

protected:
    const std::shared_ptr<skipped_items>& skip_log() const { return skipped_; }

private:
    std::shared_ptr<skipped_items> skipped_;
};

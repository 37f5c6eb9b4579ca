// A remote tree in memory for the upload's tests, as sharp as the client
// over the service: a close commits whatever the upload was given (the
// client reports the bytes it wrote as the size), an upload left open
// commits nothing, names meet without regard to case, and a test arms
// failures per file or folder.
#pragma once

#include <algorithm>
#include <cwctype>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "fake_items.h"

namespace shell_testing {

class memory_failure : public virtual vfs::exception {
public:
    explicit memory_failure(std::wstring text) : text_(std::move(text)) {}
    std::wstring get_title() const override { return L"Remote error"; }
    std::wstring get_text() const override { return text_; }

private:
    std::wstring text_;
};

class memory_not_found : public memory_failure, public vfs::item_not_found_exception {
public:
    memory_not_found() : memory_failure(L"not found") {}
};

class memory_exists : public memory_failure, public vfs::item_already_exists_exception {
public:
    memory_exists() : memory_failure(L"already exists") {}
};

// Ids as the service gives them: one per file made, whatever its name.
inline std::wstring next_memory_id() {
    static int made = 0;
    return L"file-" + std::to_wstring(++made);
}

inline bool same_memory_name(const std::wstring& left, const std::wstring& right) {
    return left.size() == right.size() &&
           std::equal(left.begin(), left.end(), right.begin(),
                      [](wchar_t a, wchar_t b) { return std::towlower(a) == std::towlower(b); });
}

class memory_file : public fake_file {
public:
    explicit memory_file(const std::wstring& name)
        : fake_file(item_values{name, next_memory_id()}), name(name) {}

    std::wstring name;
    std::wstring get_name() override { return name; }

    std::string contents;   // committed
    std::string uploading;  // the running upload
    std::int64_t announced = 0;
    int mode = 0;
    int failing_writes = 0;  // the next writes that throw
    int short_writes = 0;    // the next writes that take half
    int zero_writes = 0;     // the next writes that take nothing

    void open(int open_mode, std::int64_t size) override {
        if (mode) throw memory_failure(L"already open");
        mode = open_mode;
        announced = size;
        uploading.clear();
    }
    void close(std::int64_t date) override {
        if (!mode) throw memory_failure(L"not open");
        mode = 0;
        contents = uploading;
        modified = date;
        this->size = static_cast<std::int64_t>(contents.size());
    }
    int get_mode() override { return mode; }
    int write(const void* data, int length) override {
        if (failing_writes > 0 && failing_writes--) throw memory_failure(L"connection cut");
        if (zero_writes > 0 && zero_writes--) return 0;
        if (short_writes > 0 && short_writes-- && length > 1) length /= 2;
        uploading.append(static_cast<const char*>(data), length);
        return length;
    }
};

class memory_folder : public fake_directory {
public:
    explicit memory_folder(const std::wstring& name)
        : fake_directory(item_values{name, L"id-" + name}) {}

    std::map<std::wstring, vfs::item_ptr> items;
    int failing_lookups = 0;  // the next lookups that fail with a network error
    int failing_creates = 0;  // the next folder creations that fail
    int failing_copies = 0;   // the next service copies into this folder that fail
    std::function<void(memory_file&)> on_create;             // arms each new file
    std::function<void(const std::wstring&)> before_rename;  // may throw to refuse
    std::vector<std::wstring> deleted;                       // removed for good, by name
    std::vector<std::wstring> trashed;                       // moved to the trash, by name
    int listings = 0;

    vfs::item_list list_items() override {
        vfs::item_list list;
        for (const auto& [name, item] : items) list.push_back(item);
        return list;
    }
    vfs::item_ptr get_item(const std::wstring& name, bool) override {
        if (failing_lookups > 0 && failing_lookups--) throw memory_failure(L"network down");
        const auto found = find(name);
        if (found == items.end()) throw memory_not_found();
        return found->second;
    }
    vfs::item_ptr get_item_by_id(const std::wstring& id, bool) override {
        for (const auto& [name, item] : items)
            if (item->get_id() == id) return item;
        throw memory_not_found();
    }
    vfs::item_ptr create_and_open_file(const std::wstring& name, int mode,
                                       std::int64_t size) override {
        if (find(name) != items.end()) throw memory_exists();
        auto made = boost::make_shared<memory_file>(name);
        made->open(mode, size);
        items[name] = made;
        if (on_create) on_create(*made);
        return made;
    }
    vfs::item_ptr create_directory(const std::wstring& name) override {
        if (failing_creates > 0 && failing_creates--) throw memory_failure(L"refused");
        if (find(name) != items.end()) throw memory_exists();
        auto made = boost::make_shared<memory_folder>(name);
        items[name] = made;
        return made;
    }
    void delete_item(const std::wstring& name, bool to_trash) override {
        delete_item(get_item(name, false), to_trash);
    }
    void delete_item(const vfs::item_ptr& item, bool to_trash) override {
        const auto found = held(item);
        (to_trash ? trashed : deleted).push_back(found->first);
        items.erase(found);
    }
    void rename_item(const std::wstring& name, const std::wstring& new_name) override {
        rename_item(get_item(name, false), new_name);
    }
    void rename_item(const vfs::item_ptr& item, const std::wstring& new_name) override {
        if (before_rename) before_rename(new_name);
        const auto found = held(item);
        const auto taken = find(new_name);
        if (taken != items.end() && taken != found) throw memory_exists();
        items.erase(found);
        items[new_name] = item;
        if (auto file = boost::dynamic_pointer_cast<memory_file>(item)) file->name = new_name;
    }

    // The names of the folder, in order.
    std::vector<std::wstring> names() const {
        std::vector<std::wstring> out;
        for (const auto& entry : items) out.push_back(entry.first);
        return out;
    }

    boost::shared_ptr<memory_file> file(const std::wstring& name) {
        const auto found = items.find(name);
        return found == items.end() ? nullptr
                                    : boost::dynamic_pointer_cast<memory_file>(found->second);
    }
    boost::shared_ptr<memory_folder> folder(const std::wstring& name) {
        const auto found = items.find(name);
        return found == items.end() ? nullptr
                                    : boost::dynamic_pointer_cast<memory_folder>(found->second);
    }

private:
    std::map<std::wstring, vfs::item_ptr>::iterator find(const std::wstring& name) {
        for (auto entry = items.begin(); entry != items.end(); ++entry)
            if (same_memory_name(entry->first, name)) return entry;
        return items.end();
    }
    // The entry of an item this folder holds (by id, as the service acts).
    std::map<std::wstring, vfs::item_ptr>::iterator held(const vfs::item_ptr& item) {
        const std::wstring id = item->get_id();
        for (auto entry = items.begin(); entry != items.end(); ++entry)
            if (entry->second->get_id() == id) return entry;
        throw memory_not_found();
    }
};

}  // namespace shell_testing

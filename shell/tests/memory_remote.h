// A remote tree in memory for the upload's tests: files keep their
// committed contents until an upload of the whole announced size is
// closed, as the service does, and a test arms failures per file or
// folder.
#pragma once

#include <map>
#include <string>

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

class memory_file : public fake_file {
public:
    explicit memory_file(const std::wstring& name) : fake_file(item_values{name, L"id-" + name}) {}

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
        if (static_cast<std::int64_t>(uploading.size()) != announced)
            throw memory_failure(L"incomplete upload");
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
    std::vector<std::wstring> deleted;

    vfs::item_list list_items() override {
        vfs::item_list list;
        for (const auto& [name, item] : items) list.push_back(item);
        return list;
    }
    vfs::item_ptr get_item(const std::wstring& name, bool) override {
        if (failing_lookups > 0 && failing_lookups--) throw memory_failure(L"network down");
        const auto found = items.find(name);
        if (found == items.end()) throw memory_not_found();
        return found->second;
    }
    vfs::item_ptr create_and_open_file(const std::wstring& name, int mode,
                                       std::int64_t size) override {
        if (items.count(name)) throw memory_exists();
        auto made = boost::make_shared<memory_file>(name);
        made->open(mode, size);
        items[name] = made;
        return made;
    }
    vfs::item_ptr create_directory(const std::wstring& name) override {
        if (failing_creates > 0 && failing_creates--) throw memory_failure(L"refused");
        if (items.count(name)) throw memory_exists();
        auto made = boost::make_shared<memory_folder>(name);
        items[name] = made;
        return made;
    }
    void delete_item(const std::wstring& name, bool) override {
        deleted.push_back(name);
        items.erase(name);
    }
    void rename_item(const std::wstring& name, const std::wstring& new_name) override {
        auto found = items.find(name);
        if (found == items.end()) throw memory_not_found();
        auto item = found->second;
        items.erase(found);
        items[new_name] = item;
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
};

}  // namespace shell_testing

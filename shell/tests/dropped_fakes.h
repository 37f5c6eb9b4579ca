// Dropped trees for the extension's tests: folders and files whose names,
// sizes and contents a test sets.
#pragma once

#include <algorithm>
#include <boost/make_shared.hpp>
#include <cstring>
#include <optional>
#include <stdexcept>
#include <string>

#include "folder/adapters/dropped_items.h"

namespace dropped_testing {

class fake_dropped_file : public dropped_file {
public:
    explicit fake_dropped_file(std::wstring name) : name(std::move(name)) {}

    std::wstring name;
    std::string contents;
    // The size the file tells, when not that of its contents.
    std::optional<std::int64_t> size;
    std::int64_t modified = vfs::no_date;
    // A test may make it claim to be a folder.
    int type = vfs::item_type_file;

    std::wstring get_name() override { return name; }
    int get_type() override { return type; }
    std::int64_t get_size() override {
        return size ? *size : static_cast<std::int64_t>(contents.size());
    }
    std::int64_t get_modification_date() override { return modified; }
    void open() override {
        if (open_) throw std::logic_error("opened twice");
        open_ = true;
        position_ = 0;
    }
    int read(void* buffer, int length) override {
        const std::size_t count =
            std::min(contents.size() - position_, static_cast<std::size_t>(std::max(length, 0)));
        std::memcpy(buffer, contents.data() + position_, count);
        position_ += count;
        return static_cast<int>(count);
    }
    void close() override { open_ = false; }
    bool is_open() override { return open_; }

private:
    bool open_ = false;
    std::size_t position_ = 0;
};

class fake_dropped_folder : public dropped_folder {
public:
    fake_dropped_folder(std::wstring name, dropped_item_list items)
        : name(std::move(name)), items(std::move(items)) {}

    std::wstring name;
    dropped_item_list items;

    std::wstring get_name() override { return name; }
    int get_type() override { return vfs::item_type_directory; }
    dropped_item_list list_items() override { return items; }

protected:
    std::wstring where() override { return name; }
};

inline boost::shared_ptr<fake_dropped_file> make_dropped_file(const std::wstring& name,
                                                              std::int64_t size) {
    auto file = boost::make_shared<fake_dropped_file>(name);
    file->size = size;
    return file;
}

inline boost::shared_ptr<fake_dropped_folder> make_dropped_folder(const std::wstring& name,
                                                                  dropped_item_list items = {}) {
    return boost::make_shared<fake_dropped_folder>(name, std::move(items));
}

}  // namespace dropped_testing

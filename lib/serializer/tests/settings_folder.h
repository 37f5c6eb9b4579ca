// A fresh folder for the settings files of one test, removed afterwards. Its
// name is not ASCII, so that path conversion is exercised too.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "serializer/node.h"
#include "utils/locale.h"

namespace serializer::testing_support {

class settings_folder {
public:
    settings_folder() {
        utils::imbue_utf8_locale();
        std::string pattern =
            (std::filesystem::temp_directory_path() / "settings-\xc3\xa9t\xc3\xa9-XXXXXX").string();
        if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot create a folder");
        path_ = pattern;
    }
    ~settings_folder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    settings_folder(const settings_folder&) = delete;
    settings_folder& operator=(const settings_folder&) = delete;

    // A file in the folder as the library's callers name it.
    boost::filesystem::path file(const std::wstring& name) const {
        return boost::filesystem::path(path_) / name;
    }

private:
    std::string path_;
};

inline std::string read_bytes(const boost::filesystem::path& path) {
    std::ifstream in(path.native(), std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

inline void write_bytes(const boost::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path.native(), std::ios::binary | std::ios::trunc) << bytes;
}

// The tree the save helper writes for a value.
inline node items_with(const std::wstring& value) {
    node tree(L"sync_items", L"");
    tree.add(L"item", value);
    return tree;
}

inline node parse_file(const boost::filesystem::path& path) {
    std::istringstream in(read_bytes(path));
    return node(in);
}

}  // namespace serializer::testing_support

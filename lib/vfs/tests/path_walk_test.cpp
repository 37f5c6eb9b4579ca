#include "vfs/path_walk.h"

#include <gtest/gtest.h>
#include <boost/make_shared.hpp>

#include <map>

#include "vfs/calvimora_exception.h"

namespace vfs_calvimora {
namespace {

[[noreturn]] void unused() {
    throw exception(L"Internal error", L"not used by the walk");
}

// A folder tree in memory that records the folders it creates.
class fake_directory : public vfs::directory {
public:
    fake_directory(std::wstring name, std::vector<std::wstring>* created)
        : name_(std::move(name)), created_(created) {}

    void add(const std::wstring& name, vfs::item_ptr child) { children_[name] = child; }

    std::wstring get_name() override { return name_; }
    std::wstring get_id() override { unused(); }
    std::wstring get_path() override { unused(); }
    std::wstring get_description() override { unused(); }
    void set_description(const std::wstring&) override { unused(); }
    int get_type() override { return vfs::item_type_directory; }
    vfs::byte_buffer get_thumbnail() override { unused(); }
    void set_access(int) override { unused(); }
    int get_access() override { unused(); }
    std::wstring get_link() override { unused(); }
    std::int64_t get_creation_date() override { unused(); }
    std::int64_t get_delete_date() override { unused(); }
    void restore() override { unused(); }
    vfs::item_list list_items() override { unused(); }
    bool has_subdirectories() override { unused(); }
    bool is_shared() override { unused(); }
    bool is_home_folder() override { unused(); }
    bool is_plain_directory() override { unused(); }
    bool is_fixed_folder() override { unused(); }
    int get_folder_type() override { unused(); }
    void set_folder_type(int) override { unused(); }
    vfs::item_ptr get_item(const std::wstring& name, bool refresh) override {
        EXPECT_FALSE(refresh);
        const auto found = children_.find(name);
        if (found == children_.end()) {
            throw item_not_found_exception(L"Item not found", name);
        }
        return found->second;
    }
    vfs::item_ptr get_item_by_id(const std::wstring&, bool) override { unused(); }
    void rename_item(const std::wstring&, const std::wstring&) override { unused(); }
    void rename_item(const vfs::item_ptr&, const std::wstring&) override { unused(); }
    void delete_item(const std::wstring&, bool) override { unused(); }
    void delete_item(const vfs::item_ptr&, bool) override { unused(); }
    vfs::item_ptr create_file(const std::wstring&) override { unused(); }
    vfs::item_ptr create_file_alloc(const std::wstring&, std::int64_t) override { unused(); }
    vfs::item_ptr create_and_open_file(const std::wstring&, int, std::int64_t) override {
        unused();
    }
    vfs::item_ptr create_directory(const std::wstring& name) override {
        created_->push_back(name);
        auto child = boost::make_shared<fake_directory>(name, created_);
        add(name, child);
        return child;
    }
    int can_share_with(const std::wstring&, bool&) override { unused(); }
    void sharing(int) override { unused(); }
    void set_share_mode(int, int) override { unused(); }
    void delete_sharing_with_user(int) override { unused(); }
    sharewith_list get_sharewith_items() override { unused(); }
    sharewith_item_ptr find_sharewith_item_by_id(int) override { unused(); }
    sharewith_item_ptr find_sharewith_item_by_userid(int) override { unused(); }
    bool email_for_sharing(const std::wstring&) override { unused(); }

private:
    std::wstring name_;
    std::vector<std::wstring>* created_;
    std::map<std::wstring, vfs::item_ptr> children_;
};

// An item that is no folder: only its type matters to the walk.
class fake_file : public vfs::item {
public:
    std::wstring get_name() override { return L"notes.txt"; }
    std::wstring get_id() override { unused(); }
    std::wstring get_path() override { unused(); }
    std::wstring get_description() override { unused(); }
    void set_description(const std::wstring&) override { unused(); }
    int get_type() override { return vfs::item_type_file; }
    vfs::byte_buffer get_thumbnail() override { unused(); }
    void set_access(int) override { unused(); }
    int get_access() override { unused(); }
    std::wstring get_link() override { unused(); }
    std::int64_t get_creation_date() override { unused(); }
    std::int64_t get_delete_date() override { unused(); }
    void restore() override { unused(); }
};

class PathWalk : public ::testing::Test {
protected:
    PathWalk() : root(boost::make_shared<fake_directory>(L"", &created)) {
        docs = boost::make_shared<fake_directory>(L"Docs", &created);
        root->add(L"Docs", docs);
        docs->add(L"notes.txt", boost::make_shared<fake_file>());
    }

    std::vector<std::wstring> created;
    boost::shared_ptr<fake_directory> root;
    boost::shared_ptr<fake_directory> docs;
};

TEST_F(PathWalk, FindsExistingFoldersWithEitherSeparator) {
    EXPECT_EQ(walk_directory_path(root, L"Docs", false), docs);
    EXPECT_EQ(walk_directory_path(root, L"\\Docs/", false), docs);
    EXPECT_EQ(walk_directory_path(root, L"\\", false), root);
    EXPECT_TRUE(created.empty());
}

TEST_F(PathWalk, CreatesMissingFoldersInPathOrder) {
    const vfs::directory_ptr found = walk_directory_path(root, L"Docs\\2024/May", true);
    EXPECT_EQ(found->get_name(), L"May");
    EXPECT_EQ(created, (std::vector<std::wstring>{L"2024", L"May"}));
    EXPECT_EQ(walk_directory_path(root, L"Docs/2024\\May", false), found);
}

TEST_F(PathWalk, WithoutCreateTheFirstMissingFolderIsNotFound) {
    try {
        walk_directory_path(root, L"Docs\\2024\\May", false);
        ADD_FAILURE() << "walked through a missing folder";
    } catch (const vfs::item_not_found_exception& failure) {
        EXPECT_EQ(failure.get_text(), L"2024");
    }
    EXPECT_TRUE(created.empty());
}

TEST_F(PathWalk, AFileOnThePathEndsTheWalk) {
    try {
        walk_directory_path(root, L"Docs\\notes.txt\\x", true);
        ADD_FAILURE() << "walked through a file";
    } catch (const exception& failure) {
        EXPECT_EQ(failure.get_title(), L"Directory not found and can not be created");
        EXPECT_EQ(failure.get_text(),
                  L"File system error: directory 'Docs\\notes.txt\\x' not found and can not be "
                  L"created");
    }
    EXPECT_TRUE(created.empty());
}

}  // namespace
}  // namespace vfs_calvimora

// A scripted session and remote tree for the folder object's tests, and
// the folder object itself made in-process as its class factory makes it.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "fake_items.h"
#include "folder/folder_object/shell_folder_impl.h"
#include "folder/module/folder_session.h"
#include "vfs/exceptions.h"
#include "win/machine.h"

namespace shell_testing {

// A folder whose type word, lookups by id and renames the tests steer.
class steered_folder : public fake_directory {
public:
    using fake_directory::fake_directory;

    int folder_type = vfs::folder_type_own;
    int lookups = 0;
    int listings = 0;
    std::vector<std::pair<std::wstring, std::wstring>> renames;
    std::wstring refused_name;  // renaming onto it throws

    vfs::item_list list_items() override {
        ++listings;
        return children;
    }
    int get_folder_type() override { return folder_type; }
    void set_folder_type(int code) override { folder_type = code; }
    vfs::item_ptr get_item_by_id(const std::wstring& id, bool) override;
    vfs::item_ptr get_item(const std::wstring& name, bool) override;
    // Deleting removes the child and records its name and where it went.
    std::vector<std::pair<std::wstring, bool>> deletions;  // name, to the trash
    // Creating a file adds it as a child; an existing name is refused as
    // the service refuses it.
    vfs::item_ptr create_file(const std::wstring& name) override;
    using fake_directory::delete_item;
    void delete_item(const vfs::item_ptr& item, bool to_trash) override;
    void rename_item(const std::wstring& name, const std::wstring& new_name) override;
};

boost::shared_ptr<steered_folder> make_steered(const std::wstring& name,
                                               vfs::item_list children = {});

// A vfs failure with its own texts.
class test_failure : public virtual vfs::item_already_exists_exception {
public:
    std::wstring get_title() const override { return L"Rename failed"; }
    std::wstring get_text() const override { return L"An item of that name exists"; }
};

// The session the folder sees: each answer is the test's to script.
class scripted_session : public folder_session {
public:
    std::function<bool()> logged_in = [] { return true; };
    std::function<vfs::client_ptr()> client;
    std::function<bool(HWND)> dialog = [](HWND) { return false; };
    int dialogs = 0;

    bool is_logged_in() override { return logged_in(); }
    vfs::client_ptr get_client() override { return client(); }
    vfs::user_info get_user_info() override { return client()->get_user_info(); }
    bool log_in_with_dialog(HWND owner) override {
        ++dialogs;
        return dialog(owner);
    }
};

// A machine root, the scripted session in place, COM on the thread, and a
// remote root holding the folder "Docs" (with "a.txt" and "beta") and the
// file "Alpha.mp3".
class FolderTest : public ::testing::Test {
protected:
    FolderTest();
    ~FolderTest() override;

    // A new folder object initialised with the junction's absolute list;
    // the test holds one reference.
    IShellFolder2* make_folder();
    // The one-level relative list of a child of the root's listing.
    LPITEMIDLIST child_list(const vfs::item_ptr& item);

    win_machine::scoped_root root_;
    scripted_session session;
    boost::shared_ptr<steered_folder> remote_root;
    boost::shared_ptr<steered_folder> docs;
    boost::shared_ptr<fake_file> text_file;
    boost::shared_ptr<fake_file> music;
    std::vector<BYTE> junction;  // the absolute list the shell gives the folder
};

}  // namespace shell_testing

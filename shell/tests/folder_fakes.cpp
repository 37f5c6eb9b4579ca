#include "folder_fakes.h"

#include <stdlib.h>
#include <time.h>

#include "folder/item_ids/item_id_list.h"

namespace shell_testing {

namespace {

// A lookup that finds nothing, as the client reports it.
class not_found : public virtual vfs::item_not_found_exception {
public:
    std::wstring get_title() const override { return L"Item not found"; }
    std::wstring get_text() const override { return L"No such item"; }
};

}  // namespace

vfs::item_ptr steered_folder::get_item_by_id(const std::wstring& id, bool) {
    ++lookups;
    for (const vfs::item_ptr& child : children)
        if (child->get_id() == id) return child;
    throw not_found();
}

vfs::item_ptr steered_folder::get_item(const std::wstring& name, bool) {
    for (const vfs::item_ptr& child : children)
        if (child->get_name() == name) return child;
    throw not_found();
}

vfs::item_ptr steered_folder::create_file(const std::wstring& name) {
    for (const vfs::item_ptr& child : children)
        if (child->get_name() == name) throw test_failure();
    auto file = make_file(name, 0);
    children.push_back(file);
    return file;
}

void steered_folder::delete_item(const vfs::item_ptr& item, bool to_trash) {
    deletions.emplace_back(item->get_name(), to_trash);
    std::erase(children, item);
}

void steered_folder::rename_item(const std::wstring& name, const std::wstring& new_name) {
    if (new_name == refused_name) throw test_failure();
    renames.emplace_back(name, new_name);
}

boost::shared_ptr<steered_folder> make_steered(const std::wstring& name, vfs::item_list children) {
    auto folder = boost::make_shared<steered_folder>(item_values{name, L"id-" + name});
    folder->children = std::move(children);
    return folder;
}

FolderTest::FolderTest() {
    // Dates are shown in local time; these tests read them in UTC.
    setenv("TZ", "UTC", 1);
    tzset();
    text_file = make_file(L"a.txt", 1500);
    text_file->modified = 86400;
    auto beta = make_steered(L"beta");
    docs = make_steered(L"Docs", {text_file, beta});
    docs->subdirectories = true;
    music = make_file(L"Alpha.mp3", 10);
    remote_root = make_steered(L"", {docs, music});
    remote_root->fixed = true;
    remote_root->plain = false;
    remote_root->folder_type = vfs::folder_type_root;
    session.client = [this] { return boost::make_shared<fake_client>(remote_root); };
    replace_folder_session(&session);
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), S_OK);
    // Two 20-byte elements as the desktop folder makes them, and the end.
    junction.assign(42, 0);
    junction[0] = 20;
    junction[2] = 0x1F;
    junction[20] = 20;
    junction[22] = 0x2E;
}

FolderTest::~FolderTest() {
    CoUninitialize();
    replace_folder_session(nullptr);
}

IShellFolder2* FolderTest::make_folder() {
    IShellFolder2* folder = nullptr;
    EXPECT_EQ(CShellFolderImpl::create_instance(nullptr, IID_IShellFolder2,
                                                reinterpret_cast<void**>(&folder)),
              S_OK);
    IPersistFolder* persist = nullptr;
    folder->QueryInterface(IID_IPersistFolder, reinterpret_cast<void**>(&persist));
    EXPECT_EQ(persist->Initialize(reinterpret_cast<LPCITEMIDLIST>(junction.data())), S_OK);
    persist->Release();
    return folder;
}

LPITEMIDLIST FolderTest::child_list(const vfs::item_ptr& item) {
    return CItemIdList(make_pidl_data(item)).CreatePidl();
}

}  // namespace shell_testing

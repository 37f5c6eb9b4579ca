// Local files and folders dropped on the virtual folder, seen as a
// read-only vfs tree so that one copy routine uploads them: the root holds
// the dropped paths in drop-list order, a folder is listed from the file
// system on every call, a file is read through a C stream.
//
// Only what a copy source needs works; everything else throws the
// not-implemented CWrapperException. Folder links are never followed (a
// link cycle would be walked without end), and pipes, devices, sockets and
// folders that refuse their listing are left out and recorded in the
// root's skip log, never read. So are names that cannot cross to the
// service one to one: a local name is never joined into a path that could
// read another file ("\" in a name, "." or "..", bytes that are not UTF-8
// text), and names equal but for case would land on one remote name.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "folder/adapters/clipboard_wrapper.h"
#include "folder/adapters/wrapper_exception.h"
#include "vfs/file.h"
#include "win/global_memory.h"

namespace dropped_names {

// The reasons the skip log gives for names left out.
extern const wchar_t* const case_twin;
extern const wchar_t* const holds_separator;
extern const wchar_t* const dot_name;
extern const wchar_t* const not_text;

// For each name, whether another name of the list equals it but for case
// (as the service compares names), exact repeats included.
std::vector<bool> case_twins(const std::vector<std::wstring>& names);

}  // namespace dropped_names

#define WRAPPER_NOT_IMPLEMENTED(class_name, operation, parameters) \
    { throw CWrapperException::not_implemented(class_name, operation, parameters); }

// The local path an item stands for, in the system's form ("\"-separated).
class CHDROPItem {
public:
    explicit CHDROPItem(std::wstring path) : path_(std::move(path)) {}
    virtual ~CHDROPItem() = default;

    const std::wstring& local_path() const { return path_; }
    // The last element of the path.
    std::wstring leaf() const;

private:
    std::wstring path_;
};

// The directory operations no dropped folder has; shared by the roots and
// the folders below them, of local and of virtual files.
class CDroppedDirectoryBase : public CClipboardWrapper {
public:
    explicit CDroppedDirectoryBase(std::wstring class_name) : class_name_(std::move(class_name)) {}

    std::wstring get_id() override WRAPPER_NOT_IMPLEMENTED(class_name_, L"get_id", L"()");
    std::wstring get_path() override WRAPPER_NOT_IMPLEMENTED(class_name_, L"get_path", L"()");
    std::wstring get_description() override
        WRAPPER_NOT_IMPLEMENTED(class_name_, L"get_description", L"()");
    void set_description(const std::wstring&) override
        WRAPPER_NOT_IMPLEMENTED(class_name_, L"set_description", L"(description)");
    int get_type() override { return vfs::item_type_directory; }
    vfs::byte_buffer get_thumbnail() override
        WRAPPER_NOT_IMPLEMENTED(class_name_, L"get_thumbnail", L"()");
    void set_access(int) override WRAPPER_NOT_IMPLEMENTED(class_name_, L"set_access", L"(access)");
    std::wstring get_link() override WRAPPER_NOT_IMPLEMENTED(class_name_, L"get_link", L"()");
    std::int64_t get_creation_date() override
        WRAPPER_NOT_IMPLEMENTED(class_name_, L"get_creation_date", L"()");
    std::int64_t get_delete_date() override
        WRAPPER_NOT_IMPLEMENTED(class_name_, L"get_delete_date", L"()");
    void restore() override WRAPPER_NOT_IMPLEMENTED(class_name_, L"restore", L"()");

    bool has_subdirectories() override;
    bool is_shared() override { return false; }
    bool is_home_folder() override { return false; }
    bool is_plain_directory() override { return true; }
    bool is_fixed_folder() override { return false; }
    int get_folder_type() override { return 0; }
    void set_folder_type(int) override {}
    // Exact, case-sensitive names; the first match in list order.
    vfs::item_ptr get_item(const std::wstring& name, bool refresh) override;
    vfs::item_ptr get_item_by_id(const std::wstring& id, bool refresh) override;
    void rename_item(const std::wstring&, const std::wstring&) override
        WRAPPER_NOT_IMPLEMENTED(class_name_, L"rename_item", L"(name, new_name)");
    void rename_item(const vfs::item_ptr&, const std::wstring&) override
        WRAPPER_NOT_IMPLEMENTED(class_name_, L"rename_item", L"(item, new_name)");
    void delete_item(const std::wstring&, bool) override
        WRAPPER_NOT_IMPLEMENTED(class_name_, L"delete_item", L"(name)");
    void delete_item(const vfs::item_ptr&, bool) override
        WRAPPER_NOT_IMPLEMENTED(class_name_, L"delete_item", L"(item)");
    vfs::item_ptr create_file(const std::wstring&) override
        WRAPPER_NOT_IMPLEMENTED(class_name_, L"create_file", L"(name)");
    vfs::item_ptr create_file_alloc(const std::wstring&, std::int64_t) override
        WRAPPER_NOT_IMPLEMENTED(class_name_, L"create_file_alloc", L"(name, size)");
    vfs::item_ptr create_and_open_file(const std::wstring&, int, std::int64_t) override
        WRAPPER_NOT_IMPLEMENTED(class_name_, L"create_and_open_file", L"(name, mode, size)");
    vfs::item_ptr create_directory(const std::wstring&) override
        WRAPPER_NOT_IMPLEMENTED(class_name_, L"create_directory", L"(name)");
    int can_share_with(const std::wstring&, bool&) override
        WRAPPER_NOT_IMPLEMENTED(class_name_, L"can_share_with", L"(username, bEmail)");
    void sharing(int) override
        WRAPPER_NOT_IMPLEMENTED(class_name_, L"sharing", L"(sharewithuser_id)");
    void set_share_mode(int, int) override
        WRAPPER_NOT_IMPLEMENTED(class_name_, L"set_share_mode", L"(sharewithuser_id, mode)");
    void delete_sharing_with_user(int) override
        WRAPPER_NOT_IMPLEMENTED(class_name_, L"delete_sharing_with_user", L"(sharedfolder_id)");
    sharewith_list get_sharewith_items() override
        WRAPPER_NOT_IMPLEMENTED(class_name_, L"get_sharewith_items", L"()");
    sharewith_item_ptr find_sharewith_item_by_id(int) override
        WRAPPER_NOT_IMPLEMENTED(class_name_, L"find_sharewith_item_by_id", L"(id)");
    sharewith_item_ptr find_sharewith_item_by_userid(int) override
        WRAPPER_NOT_IMPLEMENTED(class_name_, L"find_sharewith_item_by_userid",
                                L"(sharewithuser_id)");
    bool email_for_sharing(const std::wstring&) override
        WRAPPER_NOT_IMPLEMENTED(class_name_, L"email_for_sharing", L"(email)");

protected:
    // The name the not-found failure gives for this folder.
    virtual std::wstring where() = 0;
    // How get_item compares names: exactly, unless a folder says otherwise.
    virtual bool same_name(const std::wstring& a, const std::wstring& b) { return a == b; }
    // Shares the skip log of the tree's root with a folder below it.
    void share_skip_log(CDroppedDirectoryBase& child) const { child.adopted_log_ = log(); }
    const std::shared_ptr<skipped_items>& log() const {
        return adopted_log_ ? adopted_log_ : skip_log();
    }

private:
    std::wstring class_name_;
    std::shared_ptr<skipped_items> adopted_log_;
};

// A local folder; its children are listed anew on every call.
class CHDROPDirectory : public CDroppedDirectoryBase, public CHDROPItem {
public:
    // Fails with "Path %1% does not exist" when nothing is at the path.
    explicit CHDROPDirectory(std::wstring path);

    std::wstring get_name() override { return leaf(); }
    int get_access() override { return 0; }
    vfs::item_list list_items() override;

protected:
    std::wstring where() override { return local_path(); }
};

// A local file, read (or written) through a C stream.
class CHDROPFile : public vfs::file, public CHDROPItem {
public:
    explicit CHDROPFile(std::wstring path) : CHDROPItem(std::move(path)) {}
    ~CHDROPFile() override;
    CHDROPFile(const CHDROPFile&) = delete;
    CHDROPFile& operator=(const CHDROPFile&) = delete;

    std::wstring get_name() override { return leaf(); }
    std::wstring get_id() override WRAPPER_NOT_IMPLEMENTED(L"CHDROPFile", L"get_id", L"()");
    std::wstring get_path() override WRAPPER_NOT_IMPLEMENTED(L"CHDROPFile", L"get_path", L"()");
    std::wstring get_description() override
        WRAPPER_NOT_IMPLEMENTED(L"CHDROPFile", L"get_description", L"()");
    void set_description(const std::wstring&) override
        WRAPPER_NOT_IMPLEMENTED(L"CHDROPFile", L"set_description", L"(description)");
    int get_type() override { return vfs::item_type_file; }
    vfs::byte_buffer get_thumbnail() override
        WRAPPER_NOT_IMPLEMENTED(L"CHDROPFile", L"get_thumbnail", L"()");
    void set_access(int) override
        WRAPPER_NOT_IMPLEMENTED(L"CHDROPFile", L"set_access", L"(access)");
    int get_access() override WRAPPER_NOT_IMPLEMENTED(L"CHDROPFile", L"get_access", L"()");
    std::wstring get_link() override { return std::wstring(); }
    std::int64_t get_creation_date() override;
    std::int64_t get_delete_date() override
        WRAPPER_NOT_IMPLEMENTED(L"CHDROPFile", L"get_delete_date", L"()");
    void restore() override WRAPPER_NOT_IMPLEMENTED(L"CHDROPFile", L"restore", L"()");

    std::wstring get_direct_link() override { return std::wstring(); }
    void copy(const vfs::item_ptr&, bool) override
        WRAPPER_NOT_IMPLEMENTED(L"CHDROPFile", L"copy", L"( vfs::item_ptr, bool)");
    double get_price() override WRAPPER_NOT_IMPLEMENTED(L"CHDROPFile", L"get_price", L"()");
    void set_price(double) override
        WRAPPER_NOT_IMPLEMENTED(L"CHDROPFile", L"set_price", L"(price)");
    void open(int mode, std::int64_t size) override;
    void close(std::int64_t file_time) override;
    bool is_bof() override;
    bool is_eof() override;
    int get_mode() override { return mode_; }
    std::int64_t get_pos() override;
    void seek(std::int64_t offset, int origin) override;
    int read(void* buffer, int length) override;
    int write(const void* pdata, int len) override;
    std::int64_t get_size() override;
    std::int64_t get_access_date() override;
    std::int64_t get_modification_date() override;
    void set_modification_date(std::int64_t) override
        WRAPPER_NOT_IMPLEMENTED(L"CHDROPFile", L"set_modification_date", L"(time)");
    int get_attributes() override { return 0; }
    void set_attributes(int) override
        WRAPPER_NOT_IMPLEMENTED(L"CHDROPFile", L"set_attributes", L"(attr)");

private:
    std::wstring not_opened() const;

    int mode_ = 0;
    std::FILE* stream_ = nullptr;
};

// The root: one folder or file per dropped path, in drop-list order.
class CHDROPWrapper : public CDroppedDirectoryBase {
public:
    // The paths as the drop list gives them; a path that names no folder
    // (one that is gone included) becomes a file whose reading fails.
    explicit CHDROPWrapper(const std::vector<std::wstring>& paths);
    // The paths of a CF_HDROP medium, each read whole whatever its length;
    // the caller keeps the medium until this returns.
    explicit CHDROPWrapper(HGLOBAL drop);

    std::wstring get_name() override WRAPPER_NOT_IMPLEMENTED(L"CHDROPWrapper", L"get_name", L"()");
    int get_access() override WRAPPER_NOT_IMPLEMENTED(L"CHDROPWrapper", L"get_access", L"()");
    vfs::item_list list_items() override { return items_; }

protected:
    std::wstring where() override { return L"-=Root=-"; }

private:
    // The dropped paths, those whose names cannot cross left out.
    void add_all(const std::vector<std::wstring>& paths);
    void add(const std::wstring& path);

    vfs::item_list items_;
};

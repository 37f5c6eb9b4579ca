// Local files and folders dropped on the virtual folder, seen as a dropped
// tree (dropped_items.h) that the upload walks: the root holds the dropped
// paths in drop-list order, a folder is listed from the file system on
// every call, a file is read through a C stream.
//
// Folder links are never followed (a link cycle would be walked without
// end), and pipes, devices, sockets and folders that refuse their listing
// are left out and recorded in the root's skip log, never read. So are
// names that cannot cross to the service one to one: a local name is never
// joined into a path that could read another file ("\" in a name, "." or
// "..", bytes that are not UTF-8 text), and names equal but for case would
// land on one remote name.
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

// What the folders of both kinds of dropped tree share: the root's log of
// the items left out, which every folder below the root writes into.
class CDroppedDirectoryBase : public CClipboardWrapper {
protected:
    // Shares the skip log of the tree's root with a folder below it.
    void share_skip_log(CDroppedDirectoryBase& child) const { child.adopted_log_ = log(); }
    const std::shared_ptr<skipped_items>& log() const {
        return adopted_log_ ? adopted_log_ : skip_log();
    }

private:
    std::shared_ptr<skipped_items> adopted_log_;
};

// A local folder; its children are listed anew on every call.
class CHDROPDirectory : public CDroppedDirectoryBase, public CHDROPItem {
public:
    // Fails with "Path %1% does not exist" when nothing is at the path.
    explicit CHDROPDirectory(std::wstring path);

    std::wstring get_name() override { return leaf(); }
    int get_type() override { return vfs::item_type_directory; }
    dropped_item_list list_items() override;

protected:
    std::wstring where() override { return local_path(); }
};

// A local file, read (or written) through a C stream.
class CHDROPFile : public dropped_file, public CHDROPItem {
public:
    explicit CHDROPFile(std::wstring path) : CHDROPItem(std::move(path)) {}
    ~CHDROPFile() override;
    CHDROPFile(const CHDROPFile&) = delete;
    CHDROPFile& operator=(const CHDROPFile&) = delete;

    std::wstring get_name() override { return leaf(); }
    int get_type() override { return vfs::item_type_file; }
    std::int64_t get_size() override;
    std::int64_t get_modification_date() override;
    // For reading.
    void open() override { open(vfs::modeRead, 0); }
    int read(void* buffer, int length) override;
    void close() override;
    bool is_open() override { return stream_ != nullptr; }

    // The stream in the mode the vfs open-mode bits give: reading without
    // modeWrite; writing truncates with modeOverwrite and appends without
    // it. The size is not used.
    void open(int mode, std::int64_t size);
    int get_mode() const { return mode_; }
    int write(const void* pdata, int len);
    bool is_bof();
    bool is_eof();
    std::int64_t get_pos();
    void seek(std::int64_t offset, int origin);
    std::int64_t get_creation_date();
    std::int64_t get_access_date();

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

    // The root has no name of its own.
    std::wstring get_name() override { return std::wstring(); }
    int get_type() override { return vfs::item_type_directory; }
    dropped_item_list list_items() override { return items_; }

protected:
    std::wstring where() override { return L"-=Root=-"; }

private:
    // The dropped paths, those whose names cannot cross left out.
    void add_all(const std::vector<std::wstring>& paths);
    void add(const std::wstring& path);

    dropped_item_list items_;
};

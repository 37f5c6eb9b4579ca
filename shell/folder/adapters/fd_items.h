// Virtual files dropped on the virtual folder (mail attachments, items of
// other namespace folders, items dragged out of the virtual folder itself)
// seen as a dropped tree (dropped_items.h): the "FileGroupDescriptorW"
// block lists the items by relative path, and each file's bytes come from
// the data object's "FileContents" stream of the item's index. A file of
// the virtual folder's own data object is also a remote file that the
// service copies.
//
// The block comes from another program: it is read only within its size,
// every name only within its 260 units. Records whose names cannot cross
// to the service one to one, or that no listing would reach, are left out
// and recorded in the root's skip log, so that the drop is never taken for
// a complete move. A file's stream must deliver exactly the bytes its
// Stat announced: a stream that ends early or runs over fails the read.
#pragma once

#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "folder/adapters/hdrop_items.h"
#include "folder/transfer/stream_impl.h"
#include "vfs/directory.h"
#include "win/data_object.h"
#include "win/shell_dragdrop.h"

// The records of one drop, checked and copied out of the block.
struct descriptor_records {
    struct record {
        std::wstring path;                // the name as given; empty when unreadable
        std::vector<std::wstring> parts;  // split at "\", runs counted as one
        bool directory = false;
        std::int64_t modified = vfs::no_date;
        // False for a record no listing shows (see left_out).
        bool listed = true;
    };
    std::vector<record> records;
    // The records no listing shows (name, reason) in block order: a name
    // with an empty, "." or ".." part (one that starts with "\" included),
    // one whose folder has no folder record of its own, and names of one
    // folder equal but for case (the service's names ignore case).
    std::vector<std::pair<std::wstring, std::wstring>> left_out;
    // The listed records one level below each folder, in block order, by
    // the folder's parts joined with "\" (the root's: empty), so that a
    // walk of the tree reads every record once, not once per folder.
    std::unordered_map<std::wstring, std::vector<std::uint32_t>> listed_children;

    // The listed records directly below the folder of these parts.
    const std::vector<std::uint32_t>& listed_below(const std::vector<std::wstring>& parts) const;
};
typedef std::shared_ptr<const descriptor_records> descriptor_records_ptr;

// One directory record of the block, or the root level (no parts).
class CFILEDESCRIPTORDirectory : public CDroppedDirectoryBase {
public:
    // index past the records: an entry without parts (the root).
    CFILEDESCRIPTORDirectory(IDataObject* data_object, descriptor_records_ptr records,
                             std::uint32_t index);

    std::wstring get_name() override;
    int get_type() override { return vfs::item_type_directory; }
    dropped_item_list list_items() override;

protected:
    std::wstring where() override;
    bool same_name(const std::wstring& a, const std::wstring& b) override;

private:
    IDataObject* data_object_;
    descriptor_records_ptr records_;
    std::uint32_t index_;
    std::vector<std::wstring> parts_;
};

// One file record, read through its "FileContents" stream.
class CFILEDESCRIPTORFile : public dropped_file, public dropped_remote_file {
public:
    CFILEDESCRIPTORFile(IDataObject* data_object, descriptor_records_ptr records,
                        std::uint32_t index);
    ~CFILEDESCRIPTORFile() override;
    CFILEDESCRIPTORFile(const CFILEDESCRIPTORFile&) = delete;
    CFILEDESCRIPTORFile& operator=(const CFILEDESCRIPTORFile&) = delete;

    std::wstring get_name() override;
    int get_type() override { return vfs::item_type_file; }
    std::int64_t get_size() override;
    // The record's last-write time when it carries one, else no date.
    std::int64_t get_modification_date() override;
    void open() override;
    int read(void* buffer, int length) override;
    void close() override;
    bool is_open() override { return stream_ != nullptr; }

    // The remote file the record stands for copies (or moves) itself there;
    // only for items of the virtual folder's own data objects.
    void copy(const vfs::item_ptr& destination, bool move) override;

    // The remote folder whose items the data object carries, when the
    // virtual folder made it: its "Shell IDList Array" parent list walked
    // by name from the client's root, elements not of this folder skipped.
    static vfs::directory_ptr GetVfsDirectoryOfDataObject(IDataObject* data_object);

private:
    const descriptor_records::record& entry() const { return records_->records[index_]; }
    // The stream of the record's "FileContents", or null.
    IStream* fetch_stream(STGMEDIUM& medium);
    [[noreturn]] void throw_stream_error(const std::wstring& title, const std::wstring& text);
    void release();

    IDataObject* data_object_;
    descriptor_records_ptr records_;
    std::uint32_t index_;
    STGMEDIUM medium_{};
    IStream* stream_ = nullptr;
    IStreamImpl* stream_impl_ = nullptr;
    // The size the open stream announced (-1 when it told none) and the
    // bytes it has delivered so far.
    std::int64_t announced_ = -1;
    std::int64_t delivered_ = 0;
};

// The root over a "FileGroupDescriptorW" medium of a data object; both
// must outlive the tree.
class CFILEDESCRIPTORWrapper : public CDroppedDirectoryBase {
public:
    CFILEDESCRIPTORWrapper(IDataObject* data_object, HGLOBAL descriptors);

    // The root has no name of its own.
    std::wstring get_name() override { return std::wstring(); }
    int get_type() override { return vfs::item_type_directory; }
    dropped_item_list list_items() override { return root_->list_items(); }

    // After the service completed a move of the virtual folder's own items:
    // the source folders of the folder records, emptied by the move, go to
    // the trash, deepest first. A folder that still holds anything (an item
    // the move did not take, or one added meanwhile) stays, and so does
    // one that cannot be reached or removed.
    void remove_emptied_sources();

protected:
    std::wstring where() override { return L"-=Root=-"; }
    bool same_name(const std::wstring& a, const std::wstring& b) override;

private:
    IDataObject* data_object_;
    descriptor_records_ptr records_;
    boost::shared_ptr<CFILEDESCRIPTORDirectory> root_;
};

namespace descriptor_reading {

// The checked records of a block of the given size; throws
// CWrapperException when the block is shorter than its count says.
descriptor_records_ptr read_records(const void* block, std::size_t size);
// Names compared as the shell does, ignoring case.
bool names_match(const std::wstring& a, const std::wstring& b);

}  // namespace descriptor_reading

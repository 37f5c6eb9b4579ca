// The shell host as a browser of a namespace junction: what Explorer does to
// show a folder and work in it. It binds the junction through the desktop
// folder, creates the folder's view, lists the folder with Next in batches,
// reads every item's attributes, names and column texts, sorts them with
// the folder's own order, binds sub-folders and file streams, and renames.
// Every item id it receives it frees again.
#pragma once

#include <string>
#include <vector>

#include "win/shell_folder2.h"
#include "win/shell_view.h"

namespace shell_host {

// One listed item: its relative id (the browser's, freed by it), attributes,
// in-folder name and the text of every column (empty where the folder has
// none for it).
struct listed_item {
    PITEMID_CHILD id = nullptr;
    SFGAOF attributes = 0;
    std::wstring name;
    std::vector<std::wstring> columns;

    bool is_folder() const { return (attributes & SFGAO_FOLDER) != 0; }
};

// A column as the folder describes it: heading, width in characters and
// alignment (LVCFMT_LEFT, LVCFMT_RIGHT).
struct column_heading {
    std::wstring text;
    int width = 0;
    int format = LVCFMT_LEFT;
};

class shell_browser {
public:
    shell_browser() = default;
    ~shell_browser();
    shell_browser(const shell_browser&) = delete;
    shell_browser& operator=(const shell_browser&) = delete;

    // Parses "::{Computer}\::{junction}" with the desktop folder, binds it
    // and creates its view. The failure of any step.
    HRESULT open(REFCLSID junction);
    // Lists the current folder anew: EnumObjects with the flags (S_FALSE is
    // an empty folder), Next with `batch` items a call, then each item's
    // attributes, name and columns, sorted by CompareIDs on the column.
    HRESULT list(DWORD flags = SHCONTF_FOLDERS | SHCONTF_NONFOLDERS, ULONG batch = 8,
                 UINT sort_column = 0);

    const std::vector<listed_item>& items() const { return items_; }
    // The columns of the current folder.
    std::vector<column_heading> headings();
    // An item's name for these flags; empty when the folder gives none.
    std::wstring display_name(size_t index, SHGDNF flags);
    HRESULT details_ex(size_t index, const SHCOLUMNID& key, VARIANT* value);
    // The folder's own place as the desktop names it for the address bar.
    std::wstring location();
    int depth() const { return static_cast<int>(folders_.size()); }

    // Binds the item as a folder and makes it the current one (listed).
    HRESULT enter(size_t index);
    // Back to the parent folder (listed); S_FALSE at the junction.
    HRESULT up();
    // The file's bytes through the stream the folder binds it to.
    HRESULT read_file(size_t index, std::vector<unsigned char>& bytes);
    // Renames the item; its new id replaces the old one and the items are
    // put in the listing's order again, as a view re-sorts a renamed item.
    HRESULT rename(size_t index, const std::wstring& name);

    IShellFolder2* folder() const { return folders_.empty() ? nullptr : folders_.back(); }
    IShellView* view() const { return view_; }

    // Everything let go: items, view, folders.
    void close();

private:
    void free_items();
    // In the folder's order by the column the listing was sorted by.
    void sort_items();
    HRESULT make_view();
    listed_item describe(PITEMID_CHILD id);

    std::vector<IShellFolder2*> folders_;
    IShellView* view_ = nullptr;
    std::vector<listed_item> items_;
    UINT sort_column_ = 0;
};

}  // namespace shell_host

// The programs that can open a file type, as the classes root of the
// registry lists them: the type's default program first, then the programs
// of its "OpenWithProgIds" and those its perceived type offers, each
// program once. The Open command of the folder's command bar and the
// play-all worker choose programs from these lists.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "folder/module/shell_registry.h"
#include "win/com.h"

struct IShellItemArray;

// One program that can open a file type, read from its class key.
class COpenWithProgram {
public:
    COpenWithProgram() = default;
    COpenWithProgram(const COpenWithProgram&) = delete;
    COpenWithProgram& operator=(const COpenWithProgram&) = delete;

    // Takes the key over (it is closed with the entry, whatever the
    // result). False when the program's executable or friendly name cannot
    // be had.
    bool ReadFromClassKey(HKEY key);
    // Opens HKEY_CLASSES_ROOT\<name> and reads from it; false when it does
    // not open or cannot be read.
    bool ReadFromClassName(const std::wstring& name);

    // The executable's path: two entries are the same program when their
    // ids are equal without regard to case.
    const std::wstring& GetId() const { return id_; }
    HKEY GetClassKey() const { return class_key_.get(); }
    const std::wstring& GetClassName() const { return class_name_; }
    const std::wstring& GetVerbText() const { return verb_text_; }
    const std::wstring& GetIcon() const { return icon_; }
    const std::wstring& GetFriendlyName() const { return friendly_name_; }
    // The default verb when it has a key of its own; empty otherwise.
    const std::wstring& GetVerb() const { return verb_; }
    const CLSID& GetDropTarget() const { return drop_target_; }

private:
    shell_utils::scoped_key class_key_;
    std::wstring class_name_;
    std::wstring verb_text_;
    std::wstring icon_;
    std::wstring friendly_name_;
    std::wstring id_;
    std::wstring verb_;
    CLSID drop_target_{};
};

// The programs for one file name, the default one current after a build.
class COpenWithList {
public:
    // The entry at the current position; null at the end.
    COpenWithProgram* GetCurrent() const;
    // The first entry whose id equals id without regard to case; null.
    COpenWithProgram* FindById(const std::wstring& id) const;
    const std::vector<std::unique_ptr<COpenWithProgram>>& GetPrograms() const { return programs_; }
    const std::wstring& GetPerceivedType() const { return perceived_type_; }
    bool IsEmpty() const { return programs_.empty(); }

    void Clear();
    void SetPerceivedType(const std::wstring& type) { perceived_type_ = type; }
    // Appends the program unless the list holds its id already; a program
    // not appended is deleted, its key closed with it. Whether it was.
    bool AppendUnique(std::unique_ptr<COpenWithProgram> program);
    void SetCurrent(size_t position) { current_ = position; }

private:
    std::wstring perceived_type_;
    size_t current_ = 0;
    std::vector<std::unique_ptr<COpenWithProgram>> programs_;
};

// The extension of a file name: from its last "." on, dot included; empty
// when the name has none.
std::wstring open_with_extension(const std::wstring& name);

// Builds the list of the programs that open the name: false when the name
// has no extension or its type no default program. default_only: the
// default program only.
bool open_with_list(COpenWithList& list, const std::wstring& name, bool default_only);
// A list of the one program named by its executable.
bool open_with_list_for_program(COpenWithList& list, const std::wstring& executable);
// The id of the first program of the first name's list that is in the
// second name's list too; empty when none is.
std::wstring IntersectOpenWithLists(const std::wstring& first, const std::wstring& second);

// What the folder's Open command knows of its selection: the programs that
// open it, kept while the selection stays the same, and how many items it
// had.
class COpenWithSelection {
public:
    // Whether the selection can be opened: one file with a program, or
    // several files of one audio or video type with a player of playlists.
    // Folders, mixed extensions and names without one cannot. A selection
    // other than the one the list was built for (other names, or a name
    // that became a folder) builds the list anew; one that cannot be opened
    // leaves it empty.
    bool PrepareOpenWithList(IShellItemArray* items);
    const COpenWithList& GetList() const { return *list_; }
    // The list, shared with the commands of its programs: a later list
    // replaces it without taking their programs from them.
    std::shared_ptr<const COpenWithList> ShareList() const { return list_; }
    DWORD GetCount() const { return count_; }

private:
    struct selected_item {
        std::wstring name;  // relative parsing name
        bool folder;
        bool operator==(const selected_item&) const = default;
    };
    // The items' names and kinds in order; false when the array gives none
    // or an item cannot be read.
    bool ReadSelection(IShellItemArray* items, std::vector<selected_item>& selection);
    static bool BuildList(const std::vector<selected_item>& selection, COpenWithList& list);

    std::shared_ptr<COpenWithList> list_ = std::make_shared<COpenWithList>();
    std::vector<selected_item> selection_;
    DWORD count_ = 0;
};

#include "folder/workers/open_with_list.h"

#include "folder/module/shell_registry.h"
#include "win/shell_assoc.h"
#include "win/shell_item.h"

namespace {

// Texts of the associations are read into buffers of 255 units.
constexpr DWORD text_units = 255;

bool query_string(ASSOCSTR what, HKEY key, std::wstring& out) {
    WCHAR buffer[text_units] = {};
    DWORD count = text_units;
    if (AssocQueryStringByKeyW(0, what, key, nullptr, buffer, &count) != S_OK) return false;
    out = buffer;
    return true;
}

// A text value (the default one for a null name) of a subkey; empty when
// it is missing or not text.
std::wstring read_text(HKEY key, const std::wstring& subkey, LPCWSTR name) {
    WCHAR buffer[text_units] = {};
    DWORD type = 0, size = sizeof buffer;
    if (!shell_utils::RegReadString(key, subkey.c_str(), name, &type, buffer, &size)) return {};
    if (type != REG_SZ && type != REG_EXPAND_SZ) return {};
    return buffer;
}

std::unique_ptr<COpenWithProgram> program_from_key(HKEY key) {
    auto program = std::make_unique<COpenWithProgram>();
    if (!program->ReadFromClassKey(key)) return nullptr;
    return program;
}

std::unique_ptr<COpenWithProgram> program_from_name(const std::wstring& name) {
    auto program = std::make_unique<COpenWithProgram>();
    if (!program->ReadFromClassName(name)) return nullptr;
    return program;
}

// The default program from the association of name (an extension, or a
// program with ASSOCF_INIT_BYEXENAME): the shell's class, else the
// application's key.
std::unique_ptr<COpenWithProgram> associated_program(ASSOCF flags, const std::wstring& name) {
    HKEY key = nullptr;
    if (FAILED(AssocQueryKeyW(flags, ASSOCKEY_SHELLEXECCLASS, name.c_str(), nullptr, &key)))
        return nullptr;
    if (auto program = program_from_key(key)) return program;
    key = nullptr;
    if (FAILED(AssocQueryKeyW(flags, ASSOCKEY_APP, name.c_str(), nullptr, &key))) return nullptr;
    return program_from_key(key);
}

// Calls visit with each value name (values) or subkey name of the key at
// HKEY_CLASSES_ROOT\path, from index 0 until the enumeration fails.
template <typename Visit>
void enumerate(const std::wstring& path, bool values, Visit visit) {
    shell_utils::scoped_key key;
    if (RegOpenKeyW(HKEY_CLASSES_ROOT, path.c_str(), key.out()) != ERROR_SUCCESS) return;
    for (DWORD index = 0;; ++index) {
        WCHAR name[text_units] = {};
        DWORD count = text_units;
        const LONG status =
            values
                ? RegEnumValueW(key.get(), index, name, &count, nullptr, nullptr, nullptr, nullptr)
                : RegEnumKeyExW(key.get(), index, name, &count, nullptr, nullptr, nullptr, nullptr);
        if (status != ERROR_SUCCESS) return;
        visit(std::wstring(name));
    }
}

std::wstring display_name(IShellItem* item) {
    LPWSTR name = nullptr;
    if (FAILED(item->GetDisplayName(SIGDN_PARENTRELATIVEPARSING, &name)) || !name) return {};
    std::wstring text = name;
    CoTaskMemFree(name);
    return text;
}

template <typename T>
struct com_ref {
    T* p = nullptr;
    ~com_ref() {
        if (p) p->Release();
    }
};

}  // namespace

bool COpenWithProgram::ReadFromClassKey(HKEY key) {
    *class_key_.out() = key;
    if (!query_string(ASSOCSTR_EXECUTABLE, key, id_)) return false;
    icon_ = id_ + L",0";
    if (!query_string(ASSOCSTR_FRIENDLYAPPNAME, key, friendly_name_)) return false;
    std::wstring verb = read_text(key, L"shell", nullptr);
    if (verb.empty()) verb = L"open";
    const std::wstring verb_key_name = L"shell\\" + verb;
    {
        shell_utils::scoped_key verb_key;
        if (RegOpenKeyW(key, verb_key_name.c_str(), verb_key.out()) == ERROR_SUCCESS) verb_ = verb;
    }
    verb_text_ = read_text(key, verb_key_name, nullptr);
    if (verb_text_.empty()) verb_text_ = L"Open";
    const std::wstring drop_target = read_text(key, verb_key_name + L"\\DropTarget", L"CLSID");
    if (!drop_target.empty() && FAILED(CLSIDFromString(drop_target.c_str(), &drop_target_)))
        drop_target_ = CLSID{};
    return true;
}

bool COpenWithProgram::ReadFromClassName(const std::wstring& name) {
    HKEY key = nullptr;
    if (RegOpenKeyW(HKEY_CLASSES_ROOT, name.c_str(), &key) != ERROR_SUCCESS) return false;
    class_name_ = name;
    return ReadFromClassKey(key);
}

COpenWithProgram* COpenWithList::GetCurrent() const {
    return current_ < programs_.size() ? programs_[current_].get() : nullptr;
}

COpenWithProgram* COpenWithList::FindById(const std::wstring& id) const {
    for (const auto& program : programs_)
        if (shell_utils::same_text(program->GetId(), id)) return program.get();
    return nullptr;
}

void COpenWithList::Clear() {
    programs_.clear();
    perceived_type_.clear();
    current_ = 0;
}

bool COpenWithList::AppendUnique(std::unique_ptr<COpenWithProgram> program) {
    if (!program || FindById(program->GetId())) return false;
    programs_.push_back(std::move(program));
    return true;
}

std::wstring open_with_extension(const std::wstring& name) {
    const size_t dot = name.rfind(L'.');
    return dot == std::wstring::npos ? std::wstring() : name.substr(dot);
}

bool open_with_list(COpenWithList& list, const std::wstring& name, bool default_only) {
    list.Clear();
    const std::wstring extension = open_with_extension(name);
    if (extension.empty()) return false;
    list.SetPerceivedType(read_text(HKEY_CLASSES_ROOT, extension, L"PerceivedType"));
    auto program = associated_program(ASSOCF_INIT_IGNOREUNKNOWN, extension);
    if (!program) return false;
    list.AppendUnique(std::move(program));
    list.SetCurrent(0);
    if (default_only) return true;
    enumerate(extension + L"\\OpenWithProgIds", true, [&](const std::wstring& class_name) {
        list.AppendUnique(program_from_name(class_name));
    });
    if (!list.GetPerceivedType().empty())
        enumerate(L"SystemFileAssociations\\" + list.GetPerceivedType() + L"\\OpenWithList", false,
                  [&](const std::wstring& application) {
                      list.AppendUnique(program_from_name(L"Applications\\" + application));
                  });
    return true;
}

bool open_with_list_for_program(COpenWithList& list, const std::wstring& executable) {
    list.Clear();
    auto program = associated_program(ASSOCF_INIT_BYEXENAME, executable);
    if (!program) return false;
    list.AppendUnique(std::move(program));
    list.SetCurrent(0);
    return true;
}

std::wstring IntersectOpenWithLists(const std::wstring& first, const std::wstring& second) {
    COpenWithList first_list, second_list;
    open_with_list(first_list, first, false);
    open_with_list(second_list, second, false);
    for (const auto& program : first_list.GetPrograms())
        if (second_list.FindById(program->GetId())) return program->GetId();
    return {};
}

bool COpenWithSelection::ReadSelection(IShellItemArray* items,
                                       std::vector<selected_item>& selection) {
    DWORD count = 0;
    if (!items || FAILED(items->GetCount(&count)) || count == 0) return false;
    count_ = count;
    for (DWORD index = 0; index < count; ++index) {
        com_ref<IShellItem> item;
        if (FAILED(items->GetItemAt(index, &item.p)) || !item.p) return false;
        SFGAOF attributes = 0;
        if (FAILED(item.p->GetAttributes(SFGAO_FOLDER, &attributes))) return false;
        selection.push_back({display_name(item.p), (attributes & SFGAO_FOLDER) != 0});
    }
    return true;
}

bool COpenWithSelection::BuildList(const std::vector<selected_item>& selection,
                                   COpenWithList& list) {
    const std::wstring& first_name = selection.front().name;
    const std::wstring first_extension = open_with_extension(first_name);
    for (const selected_item& item : selection)
        if (item.folder || open_with_extension(item.name).empty() ||
            !shell_utils::same_text(open_with_extension(item.name), first_extension))
            return false;
    if (selection.size() == 1) return open_with_list(list, first_name, false);
    if (!shell_utils::IsPerceivedAudio(first_name) && !shell_utils::IsPerceivedVideo(first_name))
        return false;
    const std::wstring player = IntersectOpenWithLists(first_name, L".m3u");
    if (player.empty()) return false;
    return open_with_list_for_program(list, player);
}

bool COpenWithSelection::PrepareOpenWithList(IShellItemArray* items) {
    try {
        std::vector<selected_item> selection;
        count_ = 0;
        const bool read = ReadSelection(items, selection);
        // The list is kept for as long as the selection is the same one;
        // another selection gets a list of its own.
        if (read && selection == selection_ && !list_->IsEmpty()) return true;
        selection_.clear();
        list_ = std::make_shared<COpenWithList>();
        if (!read) return false;
        auto list = std::make_shared<COpenWithList>();
        if (!BuildList(selection, *list)) return false;
        list_ = std::move(list);
        selection_ = std::move(selection);
        return true;
    } catch (...) {
        selection_.clear();
        list_ = std::make_shared<COpenWithList>();
        return false;
    }
}

// Names typed or passed by other programs turned into item ids of the
// folder, and the hand-over by which another program's Save-As dialog saves
// "into" the folder: the missing last name is invented and its local path
// recorded in the session's Save-As list.
#include <algorithm>
#include <iterator>
#include <optional>
#include <string_view>
#include <vector>

#include "folder/folder_object/item_rules.h"
#include "folder/folder_object/save_as_list.h"
#include "folder/folder_object/shell_folder_impl.h"
#include "folder/item_ids/utf16_text.h"
#include "folder/module/com_guard.h"
#include "folder/module/local_folders.h"
#include "folder/module/local_names.h"
#include "vfs/directory.h"
#include "vfs/exceptions.h"
#include "win/bind_context.h"

namespace {

// The separator of the folder's own paths ("\"), and those of local paths,
// where "/" (the native form) and "\" both separate levels.
constexpr const wchar_t* folder_separators = L"\\";
constexpr const wchar_t* local_separators = L"\\/";

bool is_one_of(wchar_t c, const wchar_t* separators) {
    return std::wstring_view(separators).find(c) != std::wstring_view::npos;
}

// Whether text starts with the prefix as a whole level: the prefix followed
// by a separator or by nothing, separators counting as alike. An empty
// prefix (its name could not be had) never matches.
bool starts_with_level(const std::wstring& text, const std::wstring& prefix,
                       const wchar_t* separators) {
    if (prefix.empty() || text.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (text[i] != prefix[i] &&
            !(is_one_of(text[i], separators) && is_one_of(prefix[i], separators)))
            return false;
    return text.size() == prefix.size() || is_one_of(text[prefix.size()], separators);
}

// The names between the separators; nothing when one of them is empty.
std::optional<std::vector<std::wstring>> split_levels(const std::wstring& text,
                                                      const wchar_t* separators) {
    std::vector<std::wstring> levels;
    size_t start = 0;
    for (;;) {
        const size_t end = text.find_first_of(separators, start);
        const std::wstring level = text.substr(start, end - start);
        if (level.empty()) return std::nullopt;
        levels.push_back(level);
        if (end == std::wstring::npos) return levels;
        start = end + 1;
    }
}

// Whether the caller asks for missing items to be made: its bind mode is
// exactly STGM_CREATE.
bool creation_asked(IBindCtx* context) {
    if (!context) return false;
    BIND_OPTS options{};
    options.cbStruct = sizeof options;
    if (FAILED(context->GetBindOptions(&options))) return false;
    return options.grfMode == STGM_CREATE;
}

// Whether a name fits whole into an item id's name field (its UTF-16 units
// and the terminating zero): a longer one would be cut.
bool fits_item_id(const std::wstring& name) {
    size_t units = 0;
    for (const wchar_t c : name) units += static_cast<uint32_t>(c) > 0xFFFF ? 2 : 1;
    return units < std::size(PIDLDATA{}.name);
}

// The record of an item that does not exist yet: a file of that name with
// no size, no dates and no id.
PIDLDATA new_file_record(const std::wstring& name) {
    PIDLDATA record{};
    record.cb = pidl_data_size;
    record.type = vfs::item_type_file;
    shell_text::write_field(record.name, std::size(record.name), name);
    record.size = 0;
    record.date_created = record.date_accessed = record.date_modified = record.date_deleted = -1.0;
    return record;
}

std::vector<std::wstring> names_of(const CItemIdList& list) {
    std::vector<std::wstring> names;
    for (const PIDLDATA& level : list.GetItems()) names.push_back(pidl_name(level));
    return names;
}

}  // namespace

HRESULT CShellFolderImpl::ParseDisplayName(HWND, LPBC context, LPWSTR name, ULONG* eaten,
                                           PIDLIST_RELATIVE* list, ULONG* attributes) {
    if (list) *list = nullptr;
    if (!name || !list) return E_INVALIDARG;
    return shell_com::guarded([&]() -> HRESULT {
        const HRESULT connected = EnsureConnected(nullptr, true);
        if (FAILED(connected)) return connected;
        if (eaten) *eaten = 0;
        std::wstring rest = name;
        vfs::item_ptr current = m_directory;
        CItemIdList result;
        ULONG used = 0;
        bool absolute = false;
        bool only_prefix = false;

        // The folder's parsing name (as programs and as the address bar
        // give it) or the user's saved-files folder at the start makes the
        // name absolute: it is parsed from the remote root. Below the
        // saved-files folder the levels are those of a local path.
        struct absolute_prefix {
            std::wstring text;
            const wchar_t* separators;
        } prefixes[3] = {
            {L"", folder_separators}, {L"", folder_separators}, {L"", local_separators}};
        if (FAILED(ExplorerParsingPrefix(0, &prefixes[0].text))) prefixes[0].text.clear();
        if (FAILED(ExplorerParsingPrefix(SHGDN_FORADDRESSBAR, &prefixes[1].text)))
            prefixes[1].text.clear();
        if (FAILED(LocalParsingPrefix(&prefixes[2].text))) prefixes[2].text.clear();
        const wchar_t* separators = folder_separators;
        for (const auto& [prefix, own_separators] : prefixes) {
            if (!starts_with_level(rest, prefix, own_separators)) continue;
            separators = own_separators;
            result = m_pidlRoot;
            try {
                current = m_client->get_root_directory();
            } catch (const vfs::exception&) {
                return E_FAIL;
            }
            used = static_cast<ULONG>(prefix.size() + 1);
            if (eaten) *eaten = used;
            absolute = true;
            only_prefix = rest.size() == prefix.size();
            rest.erase(0, std::min(rest.size(), prefix.size() + 1));
            break;
        }

        std::vector<std::wstring> levels;
        SFGAOF last_attributes = 0;
        const bool other = folder_rules::in_other_host();
        if (only_prefix) {
            // Exactly the prefix: the root itself.
            if (!current) return E_FAIL;
            last_attributes = folder_rules::attributes_of(make_pidl_data(current), other);
        } else {
            const auto split = split_levels(rest, separators);
            if (!split) return E_INVALIDARG;
            levels = *split;
        }

        for (size_t i = 0; i < levels.size(); ++i) {
            const std::wstring& level = levels[i];
            auto folder = boost::dynamic_pointer_cast<vfs::directory>(current);
            if (!folder) return E_FAIL;
            try {
                current = folder->get_item(level, false);
                const PIDLDATA record = make_pidl_data(current);
                result += CItemIdList(record);
                last_attributes = folder_rules::attributes_of(record, other);
            } catch (const vfs::item_not_found_exception&) {
                // Only the last name may be made, and only when asked for;
                // it must be a name a local file can have.
                if (i + 1 != levels.size() || !creation_asked(context)) return E_FAIL;
                if (!local_names::is_acceptable(level)) return E_INVALIDARG;
                if (!fits_item_id(level)) return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
                result += CItemIdList(new_file_record(level));
                last_attributes = 0;
                current.reset();
                // The local file sits at the item's place below the folder's
                // root; a relative name starts at this folder's place.
                std::vector<std::wstring> names =
                    absolute ? std::vector<std::wstring>() : names_of(m_location);
                for (const std::wstring& part : names_of(result)) names.push_back(part);
                const std::wstring temp = shell_utils::GetFilterTempFolder();
                if (!temp.empty()) {
                    const auto local = local_names::join_inside(temp, names);
                    if (!local) return E_FAIL;
                    save_as_list::record(*local);
                }
            } catch (const vfs::exception&) {
                return E_FAIL;
            }
            used += static_cast<ULONG>(level.size() + 1);
            if (eaten) *eaten = used;
        }

        *list = result.CreatePidl();
        if (!*list) return E_OUTOFMEMORY;
        if (attributes) *attributes &= last_attributes;
        return S_OK;
    });
}

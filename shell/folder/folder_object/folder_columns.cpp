// The folder's columns in Explorer's details view, their texts per item and
// the typed values Explorer asks for by property key.
#include <iterator>

#include "folder/folder_object/shell_folder_impl.h"
#include "folder/module/com_guard.h"
#include "folder/module/display_format.h"
#include "folder/module/folder_strings.h"
#include "folder/module/site_message_box.h"
#include "vfs/directory.h"
#include "vfs/file.h"

namespace {

struct column {
    UINT heading;
    int width;  // characters
    int alignment;
    SHCOLSTATEF state;
    PROPERTYKEY key;
};

const column columns[] = {
    {IDS_COLUMN_NAME, 20, LVCFMT_LEFT, SHCOLSTATE_TYPE_STR | SHCOLSTATE_ONBYDEFAULT,
     PKEY_ItemNameDisplay},
    {IDS_COLUMN_TYPE, 15, LVCFMT_LEFT, SHCOLSTATE_TYPE_STR | SHCOLSTATE_ONBYDEFAULT,
     PKEY_ItemTypeText},
    {IDS_COLUMN_SIZE, 10, LVCFMT_RIGHT, SHCOLSTATE_TYPE_INT | SHCOLSTATE_ONBYDEFAULT, PKEY_Size},
    {IDS_COLUMN_DATE_ACCESSED, 15, LVCFMT_LEFT, SHCOLSTATE_TYPE_DATE, PKEY_DateAccessed},
    {IDS_COLUMN_DATE_MODIFIED, 15, LVCFMT_LEFT, SHCOLSTATE_TYPE_DATE | SHCOLSTATE_ONBYDEFAULT,
     PKEY_DateModified},
};
constexpr UINT column_count = std::size(columns);

HRESULT hand_out(const std::wstring& text, STRRET* out) {
    out->uType = STRRET_WSTR;
    return SHStrDupW(text.c_str(), &out->pOleStr);
}

// The extension of a name from its last "." on; empty without one.
std::wstring extension_of(const std::wstring& name) {
    const size_t dot = name.rfind(L'.');
    return dot == std::wstring::npos ? std::wstring() : name.substr(dot);
}

// Builds the value, then hands it over in the type Explorer expects.
class typed_value {
public:
    typed_value() { VariantInit(&value_); }
    ~typed_value() { VariantClear(&value_); }
    typed_value(const typed_value&) = delete;
    typed_value& operator=(const typed_value&) = delete;

    HRESULT text(const std::wstring& text) {
        value_.vt = VT_BSTR;
        value_.bstrVal = SysAllocString(text.c_str());
        return value_.bstrVal ? S_OK : E_OUTOFMEMORY;
    }
    void number(std::int64_t number) {
        value_.vt = VT_I8;
        value_.llVal = number;
    }
    void date(double date) {
        value_.vt = VT_R8;
        value_.dblVal = date;
    }
    HRESULT hand_over(VARTYPE type, VARIANT* out) {
        return VariantChangeType(out, &value_, 0, type);
    }

private:
    VARIANT value_;
};

}  // namespace

HRESULT CShellFolderImpl::GetDefaultSearchGUID(GUID*) {
    return E_NOTIMPL;
}

HRESULT CShellFolderImpl::EnumSearches(IEnumExtraSearch** searches) {
    if (searches) *searches = nullptr;
    return E_NOTIMPL;
}

HRESULT CShellFolderImpl::GetDefaultColumn(DWORD, ULONG* sort, ULONG* display) {
    if (!sort || !display) return E_POINTER;
    *sort = 0;
    *display = 0;
    return S_OK;
}

HRESULT CShellFolderImpl::GetDefaultColumnState(UINT column, SHCOLSTATEF* flags) {
    if (!flags) return E_POINTER;
    if (column >= column_count) return E_INVALIDARG;
    *flags = columns[column].state;
    return S_OK;
}

HRESULT CShellFolderImpl::MapColumnToSCID(UINT column, SHCOLUMNID* key) {
    if (!key) return E_POINTER;
    if (column >= column_count) return E_INVALIDARG;
    *key = columns[column].key;
    return S_OK;
}

HRESULT CShellFolderImpl::GetDetailsOf(PCUITEMID_CHILD list, UINT column, SHELLDETAILS* details) {
    if (!details) return E_POINTER;
    details->fmt = LVCFMT_LEFT;
    if (column >= column_count) return E_INVALIDARG;
    return shell_com::guarded([&]() -> HRESULT {
        if (!list) {
            details->cxChar = columns[column].width;
            details->fmt = columns[column].alignment;
            return hand_out(shell_utils::LoadShellString(columns[column].heading), &details->str);
        }
        const CItemIdList relative(list, false);
        const PIDLDATA& record = relative.GetLastItem();
        switch (column) {
            case 0:
                return hand_out(pidl_name(record), &details->str);
            case 1:
                return hand_out(pidl_type_name(record), &details->str);
            case 2:
                if (record.size == -1) return E_FAIL;
                details->fmt = LVCFMT_RIGHT;
                return hand_out(
                    shell_utils::FormatSize(static_cast<std::uint64_t>(record.size), 1, 1, false),
                    &details->str);
            case 3:
                if (record.date_accessed == -1.0) return E_FAIL;
                return hand_out(shell_utils::FormatUtcDateAsLocal(record.date_accessed),
                                &details->str);
            default:
                if (record.date_modified == -1.0) return E_FAIL;
                return hand_out(shell_utils::FormatUtcDateAsLocal(record.date_modified),
                                &details->str);
        }
    });
}

HRESULT CShellFolderImpl::GetDetailsEx(PCUITEMID_CHILD list, const SHCOLUMNID* key,
                                       VARIANT* value) {
    // value is only written: whatever it holds on entry is not the
    // caller's to have freed.
    if (!value) return E_POINTER;
    VariantInit(value);
    if (!list || !key) return E_INVALIDARG;
    return shell_com::guarded([&]() -> HRESULT {
        const CItemIdList relative(list, false);
        const PIDLDATA& record = relative.GetLastItem();
        typed_value built;
        HRESULT result = S_OK;
        if (*key == PKEY_ItemNameDisplay) {
            result = built.text(pidl_name(record));
            return SUCCEEDED(result) ? built.hand_over(VT_BSTR, value) : result;
        }
        if (*key == PKEY_ItemTypeText) {
            result = built.text(pidl_type_name(record));
            return SUCCEEDED(result) ? built.hand_over(VT_BSTR, value) : result;
        }
        if (*key == PKEY_ItemType) {
            result = built.text(extension_of(pidl_name(record)));
            return SUCCEEDED(result) ? built.hand_over(VT_BSTR, value) : result;
        }
        if (*key == PKEY_Size || *key == PKEY_DateModified) {
            std::int64_t size = record.size;
            double modified = record.date_modified;
            // The service may know newer values than the record Explorer
            // kept; they are not written back into the record.
            try {
                if (auto folder = boost::dynamic_pointer_cast<vfs::directory>(m_directory)) {
                    auto file = boost::dynamic_pointer_cast<vfs::file>(
                        folder->get_item_by_id(pidl_id(record), false));
                    if (file) {
                        size = file->get_size();
                        modified = ole_date_from_time(file->get_modification_date());
                    }
                }
            } catch (...) {
                // The record's values stand.
            }
            if (*key == PKEY_Size) {
                if (size == -1) return E_FAIL;
                built.number(size);
                return built.hand_over(VT_UI8, value);
            }
            if (modified == -1.0) return E_FAIL;
            built.date(modified);
            return built.hand_over(VT_DATE, value);
        }
        if (*key == PKEY_DateAccessed || *key == PKEY_DateCreated) {
            const double date =
                *key == PKEY_DateAccessed ? record.date_accessed : record.date_created;
            if (date == -1.0) return E_FAIL;
            built.date(date);
            return built.hand_over(VT_DATE, value);
        }
        if (*key == PKEY_PropList_PreviewTitle) {
            result = built.text(L"prop:System.ItemNameDisplay;System.ItemTypeText");
            return SUCCEEDED(result) ? built.hand_over(VT_BSTR, value) : result;
        }
        if (*key == PKEY_PropList_PreviewDetails) {
            result = built.text(L"prop:System.DateModified;System.Size;System.DateAccessed");
            return SUCCEEDED(result) ? built.hand_over(VT_BSTR, value) : result;
        }
        return E_NOTIMPL;
    });
}

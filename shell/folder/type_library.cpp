#include "folder/type_library.h"

#include "utils/shell_extension_ids.h"

const win_atl::type_library& calvimora_type_library() {
    static const win_atl::type_library library{
        shell_ids::LIBID_CalvimoraLib,
        1,
        3,
        0x409,
        L"Calvimora 1.3 Type Library",
        {
            {L"IShellFolderImpl", shell_ids::IID_IShellFolderImpl},
            {L"IDataObjectImpl", shell_ids::IID_IDataObjectImpl},
            {L"IStreamImpl", shell_ids::IID_IStreamImpl},
            {L"IShellOverlayIcon", shell_ids::IID_IShellOverlayIcon},
            {L"IPropertiesDriveDlg", shell_ids::IID_IPropertiesDriveDlg},
            {L"IPropertiesSyncDlg", shell_ids::IID_IPropertiesSyncDlg},
            {L"IShellContextMenu", shell_ids::IID_IShellContextMenu},
        }};
    return library;
}

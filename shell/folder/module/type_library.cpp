#include "folder/module/type_library.h"

#include "utils/class_ids.h"

const win_atl::type_library& calvimora_type_library() {
    static const win_atl::type_library library{
        utils::libid_calvimora_lib,
        1,
        3,
        0x409,
        L"Calvimora 1.3 Type Library",
        {
            {L"IShellFolderImpl", utils::iid_shell_folder_impl},
            {L"IDataObjectImpl", utils::iid_data_object_impl},
            {L"IStreamImpl", utils::iid_stream_impl},
            {L"IShellOverlayIcon", utils::iid_shell_overlay_icon},
            {L"IPropertiesDriveDlg", utils::iid_properties_drive_dlg},
            {L"IPropertiesSyncDlg", utils::iid_properties_sync_dlg},
            {L"IShellContextMenu", utils::iid_shell_context_menu},
        }};
    return library;
}

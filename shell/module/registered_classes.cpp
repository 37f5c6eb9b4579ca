#include "module/registered_classes.h"

#include <string>

#include "folder/module/module.h"
#include "vfs/exceptions.h"
#include "vfs/pc_id.h"

namespace {

const wchar_t* const app_name = L"Calvimora";

std::wstring text_of(REFCLSID clsid) {
    wchar_t text[40];
    StringFromGUID2(clsid, text, 40);
    return text;
}

// A class's script with %CLSID%, %DRIVECLSID% (the folder) and %APP_NAME%.
HRESULT run_sheet_script(UINT id, REFCLSID clsid, BOOL do_register) {
    const std::wstring own = text_of(clsid);
    const std::wstring drive = text_of(utils::clsid_calvimora_folder);
    const _ATL_REGMAP_ENTRY map[] = {{L"CLSID", own.c_str()},
                                     {L"DRIVECLSID", drive.c_str()},
                                     {L"APP_NAME", app_name},
                                     {nullptr, nullptr}};
    return calvimora_module().UpdateRegistryFromResource(id, do_register, map);
}

}  // namespace

std::span<const win_atl::object_map_entry> CCalvimoraModule::object_map() const {
    static const win_atl::object_map_entry entries[] = {
        win_atl::object_entry<CShellFolderImpl>(),   win_atl::object_entry<CPropertiesDriveDlg>(),
        win_atl::object_entry<CPropertiesSyncDlg>(), win_atl::object_entry<CShellContextMenu>(),
        win_atl::object_entry<CShellOverlayIcon>(),  win_atl::object_entry<CDataObjectImpl>(),
    };
    return entries;
}

HRESULT CShellFolderImpl::UpdateRegistry(BOOL do_register) {
    if (do_register) {
        try {
            vfs_calvimora::get_or_create_pc_id();
        } catch (...) {
            return E_FAIL;
        }
    }
    const std::wstring own = text_of(GetObjectCLSID());
    const _ATL_REGMAP_ENTRY map[] = {
        {L"CLSID", own.c_str()}, {L"APP_NAME", app_name}, {nullptr, nullptr}};
    return calvimora_module().UpdateRegistryFromResource(IDR_SHELL_FOLDER, do_register, map);
}

HRESULT CDataObjectImpl::UpdateRegistry(BOOL do_register) {
    return run_sheet_script(IDR_DATA_OBJECT, GetObjectCLSID(), do_register);
}

HRESULT CPropertiesDriveDlg::UpdateRegistry(BOOL do_register) {
    return run_sheet_script(IDR_PROPERTIES_DRIVE, GetObjectCLSID(), do_register);
}

HRESULT CPropertiesSyncDlg::UpdateRegistry(BOOL do_register) {
    return run_sheet_script(IDR_PROPERTIES_SYNC, GetObjectCLSID(), do_register);
}

HRESULT CShellContextMenu::UpdateRegistry(BOOL do_register) {
    return calvimora_module().UpdateRegistryFromResource(IDR_SHELL_CONTEXT_MENU, do_register);
}

HRESULT CShellOverlayIcon::UpdateRegistry(BOOL do_register) {
    return calvimora_module().UpdateRegistryFromResource(IDR_SHELL_OVERLAY_ICON, do_register);
}

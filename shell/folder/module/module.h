// Room folder/module, above folder/item_ids and below folder/icons (the
// order of the rooms: shell/CMakeLists.txt): the module object, the log-on
// session, the extension's shared helpers, and the table of makers through
// which the rooms of the folder reach the windows of ui/ (ui_makers.h).
//
// The extension's module: the DLL module of the class library with the
// clipboard formats the extension registers when it is loaded, its object
// map, its registration and a lock for its worker threads.
#pragma once

#include <span>

#include "win/atl_base.h"
#include "win/clipboard.h"

class CCalvimoraModule : public CAtlDllModuleT<CCalvimoraModule> {
public:
    // The resource id of the application id's registry script.
    static constexpr UINT IDR_APPID = 103;

    // The formats, in the order they are registered.
    enum clipboard_format {
        format_shell_idlist_array,             // "Shell IDList Array"
        format_file_contents,                  // "FileContents"
        format_paste_succeeded,                // "Paste Succeeded"
        format_file_group_descriptor,          // "FileGroupDescriptorW"
        format_performed_drop_effect,          // "Performed DropEffect"
        format_preferred_drop_effect,          // "Preferred DropEffect"
        format_logical_performed_drop_effect,  // "Logical Performed DropEffect"
        format_persist_on_flush,               // "OleClipboardPersistOnFlush"
        format_calvimora_data_object,          // "Calvimora_DataObject"
        format_target_clsid,                   // "TargetCLSID"
        format_count
    };

    explicit CCalvimoraModule(HMODULE module = win_module::this_module());

    CLIPFORMAT Format(clipboard_format which) const { return formats_[which]; }

    // The classes outside callers can create; they belong to every room of
    // the extension, so the list lives above them all
    // (shell/module/registered_classes.cpp).
    std::span<const win_atl::object_map_entry> object_map() const override;
    HRESULT AddCommonRGSReplacements(CRegObject& registrar) override;

    // Registration in the system locale: the application id's script, then
    // every class of the map and the type library. Removal in the reverse
    // order. The first failure is returned; the thread's locale is restored
    // on every path.
    HRESULT DllRegisterServer();
    HRESULT DllUnregisterServer();

    // Held by each worker thread of the extension for as long as it runs:
    // the threads are no COM objects, and the process reference they start
    // with does not keep the module loaded.
    class worker_reference {
    public:
        worker_reference() { win_atl::lock_module(); }
        ~worker_reference() { win_atl::unlock_module(); }
        worker_reference(const worker_reference&) = delete;
        worker_reference& operator=(const worker_reference&) = delete;
    };

private:
    CLIPFORMAT formats_[format_count];
};

// The extension's module object.
CCalvimoraModule& calvimora_module();
